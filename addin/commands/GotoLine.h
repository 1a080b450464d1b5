#pragma once

#include "ToolsApi.h"

#include <cstdint>

namespace kestrel {

// Puts the cursor of the current file's first view at the start of `line`
// and scrolls that line to the top. Does nothing without `services` or
// without a code editor window.
void GotoLine(TIToolServices* services, int32_t line);

} // namespace kestrel
