#pragma once

#include "documents/TextDocument.h"

#include <string>
#include <vector>

namespace kestrel::lsp {

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
