#pragma once

#include <array>

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

// Everything the program says about one category, read by the lister, its
// options and the symbol list window alike.
struct CategoryInfo {
    SymbolCategory category; // also the filter button's tag and the image index
    char letter;             // kestrel-list's --show letter; none for the header
    const char* jsonName;    // kestrel-list's "category" value and table cell
    const char* displayName; // the filter button's hint
    const char* glyph;       // the Qt resource of its image; none for the header
    const char* button;      // the filter button's object name; none for the header
};

// The four categories a user can show or hide, indexed by category value.
inline constexpr std::array<CategoryInfo, kCategoryCount> kFilterCategories{{
    {catDeclaration, 'D', "declaration", "Declarations", ":/kestrel/declaration", "btnD"},
    {catProcedure, 'P', "procedure", "Procedures", ":/kestrel/procedure", "btnP"},
    {catFunction, 'F', "function", "Functions", ":/kestrel/function", "btnF"},
    {catBookmark, 'B', "bookmark", "Bookmarks", ":/kestrel/bookmark", "btnB"},
}};

// The unit, library or project line and the IMPLEMENTATION line: always
// shown, without an image.
inline constexpr CategoryInfo kHeaderCategory{.category = catHeader,
                                              .letter = '\0',
                                              .jsonName = "header",
                                              .displayName = "Headers",
                                              .glyph = nullptr,
                                              .button = nullptr};

constexpr const CategoryInfo& CategoryInfoOf(SymbolCategory category) {
    return category >= 0 && category < kCategoryCount ? kFilterCategories[category]
                                                      : kHeaderCategory;
}

} // namespace kestrel
