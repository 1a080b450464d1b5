#pragma once

#include "CharacterSource.h"

#include <algorithm>
#include <string_view>

namespace kestrel {

// A character source over bytes held in memory (not owned).
class MemorySource final : public CharacterSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}

    int32_t GetText(int32_t position, char* destination, int32_t count) override {
        if (position < 0 || count <= 0 || static_cast<size_t>(position) >= bytes_.size()) {
            return 0;
        }
        if (count == 1) { // the scanner's only request
            *destination = bytes_[static_cast<size_t>(position)];
            return 1;
        }
        const size_t n = std::min(static_cast<size_t>(count), bytes_.size() - position);
        std::copy_n(bytes_.data() + position, n, destination);
        return static_cast<int32_t>(n);
    }

private:
    std::string_view bytes_;
};

} // namespace kestrel
