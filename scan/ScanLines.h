#pragma once

#include "ReadSourceLine.h"

#include <concepts>
#include <cstdint>
#include <utility>

namespace kestrel {

// Reads `reader` line by line from its start, numbering lines from 1, and
// hands each text with its number to `onLine`, including the empty text of
// the call that meets the end of the buffer. `Reader` is anything with a
// character source's GetText, asked for one character per call.
template <class Reader, class OnLine> void ScanCharacterLines(Reader& reader, OnLine&& onLine) {
    SourceScanState state;
    int32_t line = 0;
    std::string text;
    while (!state.AtEnd) {
        ++line;
        ReadSourceLine(reader, state, text);
        onLine(std::as_const(text), line);
    }
}

// The same for a character source, through its virtual GetText.
template <class OnLine> void ScanLines(CharacterSource& source, OnLine&& onLine) {
    ScanCharacterLines(source, std::forward<OnLine>(onLine));
}

// Something other than a character source that characters are read from
// the same way: the editor host's reader itself, say, which is then called
// directly rather than through a character source.
template <class Reader>
concept CharacterReader = !std::derived_from<Reader, CharacterSource> &&
                          requires(Reader & reader, int32_t position, char* destination) {
    { reader.GetText(position, destination, position) } -> std::convertible_to<int32_t>;
};

template <CharacterReader Reader, class OnLine> void ScanLines(Reader& reader, OnLine&& onLine) {
    ScanCharacterLines(reader, std::forward<OnLine>(onLine));
}

} // namespace kestrel
