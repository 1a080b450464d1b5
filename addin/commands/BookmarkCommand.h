#pragma once

#include "ToolsApi.h"

namespace kestrel {

// "Insert bookmark": writes the bookmark marker at the cursor of the current
// file's first view, as one edit, filling the gap with blanks when the
// cursor stands beyond its line's end. Does nothing without `services`.
void InsertBookmark(TIToolServices* services);

} // namespace kestrel
