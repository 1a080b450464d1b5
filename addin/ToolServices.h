#pragma once

#include "ToolsApi.h"

namespace kestrel {

// The host's services object, stored by the entry point on its first call
// and kept while the add-in is loaded. Null means no host: every command then
// does nothing.
extern TIToolServices* ToolServices;

} // namespace kestrel
