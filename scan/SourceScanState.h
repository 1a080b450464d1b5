#pragma once

#include "CharacterSource.h"

#include <cstdint>

namespace kestrel {

// The state of one scan of a buffer, shared by every ReadSourceLine call of
// that scan. The caller owns it; the reader is borrowed.
struct SourceScanState {
    CharacterSource* Reader = nullptr;
    int32_t Position = 0;   // offset of the next character to request
    bool AtEnd = false;     // set by the call that meets the end of the buffer
    bool InComment = false; // inside a { } comment; carries over line ends
};

} // namespace kestrel
