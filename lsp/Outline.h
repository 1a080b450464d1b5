#pragma once

#include "TextDocument.h"

#include <string>
#include <vector>

namespace kestrel::lsp {

// The protocol's symbol kinds that the outline uses, by their protocol
// numbers.
enum class SymbolKind : int {
    Module = 2,
    Namespace = 3,
    Class = 5,
    Method = 6,
    Constructor = 9,
    Function = 12,
    Key = 20,
    Operator = 25,
};

// One entry of a document's outline. Its range is the whole line of its
// heading; the selection is the name within that line.
struct OutlineSymbol {
    std::string name; // UTF-8, never empty
    std::string detail;
    SymbolKind kind = SymbolKind::Function;
    int64_t line = 0;          // the heading's line, as the protocol counts lines
    size_t selectionStart = 0; // byte offsets into the document's text
    size_t selectionEnd = 0;
    std::vector<OutlineSymbol> children;
};

// The document as the scanner sees it, in extended headings, made into a
// tree: the unit, library, project or program line holds what comes before
// IMPLEMENTATION; the IMPLEMENTATION line holds the routines after it, those
// of a class under a Class entry of that name; bookmarks stand where they
// are (after a method, in its class), named by the text after their marker.
std::vector<OutlineSymbol> BuildOutline(const TextDocument& document);

} // namespace kestrel::lsp
