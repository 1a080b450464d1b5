#pragma once

#include <cstdint>

namespace kestrel {

// Anything the scanner can read characters from by position: the host's
// editor reader, or a plain buffer in memory.
class CharacterSource {
public:
    // Copies up to `count` characters starting at `position` into
    // `destination` and returns how many it copied. Anything but the count
    // asked for means there is no character there. May throw.
    virtual int32_t GetText(int32_t position, char* destination, int32_t count) = 0;

protected:
    ~CharacterSource() = default;
};

} // namespace kestrel
