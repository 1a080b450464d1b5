#pragma once

#include "ToolsApi.h"

#include <cstdint>

namespace kestrel {

// "Kestrel": lists the current file's symbols in the symbol list window and
// returns the line the user chose there, or 0 when the window was closed
// without a choice or never opened (no code editor window, no `services`,
// a refused file, a host object missing).
int32_t ChooseSymbolLine(TIToolServices* services);

} // namespace kestrel
