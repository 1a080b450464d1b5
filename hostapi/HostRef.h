#pragma once

#include <utility>

namespace kestrel {

// Holds one host object and gives it back (Release) when the guard goes out
// of scope, also when an exception passes. Guards declared in the order the
// objects are obtained release them latest first.
template <class T> class HostRef {
public:
    HostRef() = default;
    explicit HostRef(T* object) : object_(object) {}
    HostRef(const HostRef&) = delete;
    HostRef& operator=(const HostRef&) = delete;
    HostRef(HostRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    HostRef& operator=(HostRef&& other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~HostRef() { Reset(); }

    // Gives the held object back now.
    void Reset() {
        if (T* object = std::exchange(object_, nullptr)) {
            object->Release();
        }
    }

    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

} // namespace kestrel
