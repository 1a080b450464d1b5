#pragma once

#include <cstdint>

namespace kestrel {

// Implements the reference count of a host object class `Base` for the
// concrete class `Derived`: the count starts at 1, and the Release that
// brings it to 0 deletes the object.
template <class Derived, class Base> class RefCounted : public Base {
public:
    int32_t AddReference() override { return ++refCount_; }
    int32_t Release() override {
        const int32_t count = --refCount_;
        if (count == 0) {
            delete static_cast<Derived*>(this);
        }
        return count;
    }

protected:
    ~RefCounted() = default;

private:
    int32_t refCount_ = 1;
};

} // namespace kestrel
