#pragma once

#include "ToolsApi.h"

#include <optional>
#include <string>

namespace kestrel {

// The host's current file when a command may work on it: not a form file
// (".DFM" anywhere in the name, any case), and open or openable. Otherwise
// the user is told why and there is no name.
std::optional<std::string> AcceptCurrentFile(TIToolServices* services);

} // namespace kestrel
