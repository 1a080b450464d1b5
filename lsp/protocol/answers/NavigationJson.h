#pragma once

#include "features/Folding.h"
#include "protocol/Protocol.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrel::lsp {

// The answers of navigation, as JSON text.

// `Location[]`, or `null` when there are none: an editor then says that
// nothing was found rather than showing an empty list.
std::string LocationsJson(const std::vector<Location>& locations);

// A `Hover` of Markdown text over `range`.
std::string HoverJson(std::string_view markdown, const TextRange& range);

// `FoldingRange[]`.
std::string FoldingRangesJson(const std::vector<FoldingRange>& ranges);

} // namespace kestrel::lsp
