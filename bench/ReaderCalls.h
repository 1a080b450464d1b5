#pragma once

#include "ToolsApi.h"

#include <cstdint>

namespace kestrel {

// Asks `reader` for every character in turn, one per call, and counts the
// line feeds; gives how many characters it read. Kept in a file of its own
// that knows the reader only by its interface, so that the calls stay calls
// into the host, as an add-in makes them.
int64_t CountLineFeedsByCalls(TIEditReader& reader, int32_t& lineFeeds);

} // namespace kestrel
