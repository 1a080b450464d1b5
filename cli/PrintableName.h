#pragma once

#include <string>
#include <string_view>

namespace kestrel {

// `name` for a message on a terminal: control characters (which could move
// the cursor, end the line or start an escape sequence) are written as C
// escapes, \r, \n, \t or \xHH; every other byte as it stands.
std::string PrintableName(std::string_view name);

} // namespace kestrel
