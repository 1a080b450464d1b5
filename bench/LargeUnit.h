#pragma once

#include <string>

namespace kestrel {

// A realistic Pascal unit of about `bytes` bytes with CR LF line ends:
// class declarations, method bodies, comments spanning lines, bookmarks.
std::string MakeLargeUnit(size_t bytes);

} // namespace kestrel
