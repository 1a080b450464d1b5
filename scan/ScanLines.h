#pragma once

#include "ReadSourceLine.h"

#include <cstdint>
#include <utility>

namespace kestrel {

// Reads `source` line by line from its start, numbering lines from 1, and
// hands each text with its number to `onLine`, including the empty text of
// the call that meets the end of the buffer.
template <class OnLine> void ScanLines(CharacterSource& source, OnLine&& onLine) {
    SourceScanState state;
    state.Reader = &source;
    int32_t line = 0;
    std::string text;
    while (!state.AtEnd) {
        ++line;
        ReadSourceLine(state, text);
        onLine(std::as_const(text), line);
    }
}

} // namespace kestrel
