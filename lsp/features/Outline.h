#pragma once

#include "documents/TextDocument.h"
#include "features/SourceStructure.h"

#include <string>
#include <vector>

namespace kestrel::lsp {

// One entry of a document's outline. Its range is the whole line of its
// heading; the selection is the name within that line.
// What an entry stands for, beyond its kind.
enum class OutlineRole : uint8_t {
    Definition,  // a routine with its body, a unit, a bookmark
    Declaration, // a type's declaration, or a routine's heading without its body
    Group,       // the methods of a class implemented in the implementation section
};

struct OutlineSymbol {
    std::string name; // UTF-8, never empty
    std::string detail;
    SymbolKind kind = SymbolKind::Function;
    OutlineRole role = OutlineRole::Definition;
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
// The types that `structure` found (classes, objects, records, interfaces,
// helpers) stand where they are declared, holding the headings and
// bookmarks inside them and the types nested in them.
std::vector<OutlineSymbol> BuildOutline(const TextDocument& document,
                                        const SourceStructure& structure);
std::vector<OutlineSymbol> BuildOutline(const TextDocument& document);

} // namespace kestrel::lsp
