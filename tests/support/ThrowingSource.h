#pragma once

#include "MemorySource.h"

#include <stdexcept>
#include <string_view>

namespace testing {

// Serves a fixed text, counts the requests, and throws on one position, as
// a failing host reader does.
class ThrowingSource final : public kestrel::CharacterSource {
public:
    ThrowingSource(std::string_view bytes, int32_t throwAt) : inner_(bytes), throwAt_(throwAt) {}
    int32_t GetText(int32_t position, char* destination, int32_t count) override {
        ++requests;
        if (position == throwAt_) {
            throw std::runtime_error("read failed");
        }
        return inner_.GetText(position, destination, count);
    }
    int requests = 0;

private:
    kestrel::MemorySource inner_;
    int32_t throwAt_;
};

} // namespace testing
