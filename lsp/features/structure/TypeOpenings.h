#pragma once

#include <cstddef>
#include <string_view>

namespace kestrel::lsp {

// Where the last type that holds members may open in `text`: the offset of
// the last `=` that is followed, past blanks, by a word that can open one
// (`class`, `object`, `record`, `interface`, `dispinterface`, `type`,
// `packed`) or by a comment; SourceStructure::kNone when there is none. No
// type opens after it, so a reading for the types alone can end there once
// every type is closed. A quick pass over the bytes, where the reading is
// slow.
size_t LastTypeOpening(std::string_view text);

} // namespace kestrel::lsp
