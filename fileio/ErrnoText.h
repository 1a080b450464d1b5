#pragma once

#include <string>

namespace kestrel {

// The system's text for an errno value ("No such file or directory"). Safe
// to call from several threads at once, unlike strerror.
std::string ErrnoText(int error);

} // namespace kestrel
