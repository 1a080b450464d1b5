#pragma once

#include <string_view>

namespace kestrel::lsp {

// Whether `text` may declare a type that holds members: false only when no
// `=` in it is followed, past blanks, by a word that can open one (`class`,
// `object`, `record`, `interface`, `dispinterface`, `type`, `packed`) or by
// a comment. A text it says no to gives a structure reading no types, so a
// reading that wants the types alone can be left out; a quick pass over the
// bytes, where the reading is slow.
bool MayDeclareTypes(std::string_view text);

} // namespace kestrel::lsp
