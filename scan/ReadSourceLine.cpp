#include "ReadSourceLine.h"

namespace kestrel {

void ReadSourceLine(SourceScanState& state, std::string& text) {
    ReadSourceLine(*state.Reader, state, text);
}

std::string ReadSourceLine(SourceScanState& state) {
    std::string text;
    ReadSourceLine(state, text);
    return text;
}

} // namespace kestrel
