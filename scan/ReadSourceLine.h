#pragma once

#include "SourceScanState.h"

#include <string>

namespace kestrel {

// Reads the next logical line: brace comments are left out of the text, and
// a line whose comment text contains "{//*" comes back with that comment
// text in front of it. Returns the empty text, with AtEnd set, at the end of
// the buffer; characters of an unfinished last line are dropped.
std::string ReadSourceLine(SourceScanState& state);

// The same, into `text`, whose storage is reused from line to line.
void ReadSourceLine(SourceScanState& state, std::string& text);

} // namespace kestrel
