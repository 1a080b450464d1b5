#pragma once

namespace kestrel {

// The kind of a symbol row. 0 to 3 are also the filter buttons' tags and the
// category image indexes; a header row has no image.
enum SymbolCategory : int {
    catHeader = -1,
    catDeclaration = 0,
    catProcedure = 1,
    catFunction = 2,
    catBookmark = 3,
};

inline constexpr int kCategoryCount = 4;

} // namespace kestrel
