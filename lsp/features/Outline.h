#pragma once

#include "documents/TextDocument.h"
#include "features/SourceStructure.h"

#include "SymbolRowView.h"

#include <functional>
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

// The rows the scanner gives for a document, in extended headings, each
// with its line as the protocol counts lines; and the scanner's state at the
// start of every line, so that after a change only the lines from the first
// changed one until that state agrees again are read anew.
class OutlineRows {
public:
    struct Row {
        int64_t line = 0;
        SymbolRow row;
    };

    explicit OutlineRows(const TextDocument& document);

    // Reads the rows of `document` into `onRow` one by one, each with its
    // line, without keeping them (a reading used once: the index's). A
    // row's texts last until `onRow` returns.
    using RowHandler = std::function<void(const SymbolRowView& row, int64_t line)>;
    static void ForEachRow(const TextDocument& document, const RowHandler& onRow);
    // The rows of `document` after `change` to the text `old` was read from.
    OutlineRows(const TextDocument& document, OutlineRows&& old,
                const TextDocument::Change& change);

    const std::vector<Row>& Rows() const { return rows_; }

    // The lines read again after a change, [first, last); how many lines
    // the change added (removed, when negative), so that the old lines from
    // `last - lineShift` on are now at `last` on; whether those lines made
    // no rows, before or now; whether they made the same rows on the same
    // lines; and whether it was a change at all (not a whole reading).
    struct Reread {
        int64_t first = 0;
        int64_t last = 0;
        int64_t lineShift = 0;
        bool rowless = false;
        bool sameRows = false;
        bool incremental = false;
    };
    const Reread& LastReread() const { return reread_; }

private:
    // Reads from line `first`, in the state kept for it, to the end or, when
    // `old` is given, until a line after `stable` (a byte offset) starts
    // in the state that old line `line - lineShift` started in. Puts the
    // rows into `rows`, and gives the line it stopped at.
    int64_t Scan(const TextDocument& document, int64_t first, size_t stable,
                 const std::vector<uint8_t>* old, int64_t lineShift, std::vector<Row>& rows);
    // The same, each row into `onRow`.
    int64_t Scan(const TextDocument& document, int64_t first, size_t stable,
                 const std::vector<uint8_t>* old, int64_t lineShift, const RowHandler& onRow);
    OutlineRows() = default;

    std::vector<Row> rows_;
    Reread reread_;
    // The state at the start of each line: kInComment, kInImplementation.
    // Empty when the scanner's lines are not the protocol's (a lone CR).
    std::vector<uint8_t> states_;
    static constexpr uint8_t kInComment = 1;
    static constexpr uint8_t kInImplementation = 2;
};

// What the outline takes from a type of the structure: two texts whose rows
// and type shapes agree have the same outline but for the entries on the
// lines that changed.
struct TypeShape {
    std::string name;
    std::string detail;
    SourceStructure::TypeKind kind = SourceStructure::TypeKind::Class;
    int parent = -1;
    int64_t firstLine = 0;
    int64_t lastLine = 0;
    bool operator==(const TypeShape&) const = default;
};
std::vector<TypeShape> TypeShapes(const TextDocument& document, const SourceStructure& structure);
// Whether `structure`'s types are those of `shapes` with each line moved by
// `moved` (which gives -1 for a line that is gone); if so, `shapes` takes the
// moved lines. Compared in place: a large unit has thousands of types, and
// an edit rarely changes one.
bool MoveTypeShapes(std::vector<TypeShape>& shapes, const TextDocument& document,
                    const SourceStructure& structure, const std::function<int64_t(int64_t)>& moved);

// The document as the scanner sees it, in extended headings, made into a
// tree: the unit, library, project or program line holds what comes before
// IMPLEMENTATION; the IMPLEMENTATION line holds the routines after it, those
// of a class under a Class entry of that name; bookmarks stand where they
// are (after a method, in its class), named by the text after their marker.
// The types that `structure` found (classes, objects, records, interfaces,
// helpers) stand where they are declared, holding the headings and
// bookmarks inside them and the types nested in them.
std::vector<OutlineSymbol> BuildOutline(const TextDocument& document, const OutlineRows& rows,
                                        const SourceStructure& structure);

// The entries that one row makes on its own (a routine of a class inside
// its Class entry): where they stand on their line does not depend on the
// rows around it.
std::vector<OutlineSymbol> RowEntries(const TextDocument& document, const OutlineRows::Row& row);
std::vector<OutlineSymbol> BuildOutline(const TextDocument& document,
                                        const SourceStructure& structure);
std::vector<OutlineSymbol> BuildOutline(const TextDocument& document);
// The same entries, the types' without their details (the workspace index
// takes none).
std::vector<OutlineSymbol> BuildOutlineWithoutDetails(const TextDocument& document);

} // namespace kestrel::lsp
