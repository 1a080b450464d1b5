#pragma once

#include "SymbolRow.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::lsp {

// What a unit's text declares and where, read token by token: the type
// declarations that hold members (`Name = class … end`, and object, record,
// interface and helper types), every routine heading, the sections, the
// units it uses, and the comments and regions that span lines. Offsets are
// byte offsets into the text. Reads any text: what it cannot make sense of
// it passes over, and a type or routine body that never ends is closed where
// the code around it plainly carries on, so it never swallows the rest.
struct SourceStructure {
    static constexpr size_t kNone = static_cast<size_t>(-1);

    enum class TypeKind : uint8_t { Class, Object, Record, Interface, Helper };

    struct TypeSpan {
        std::string name;
        size_t nameStart = 0;
        size_t nameEnd = 0;
        size_t end = kNone;  // after its closing `end`; kNone when it has none
        bool broken = false; // closed where the code around it carried on
        TypeKind kind = TypeKind::Class;
        std::string detail; // the type's opening words: `class(TShape)`
        int parent = -1;    // the type it is nested in
        bool operator==(const TypeSpan&) const = default;
    };

    struct Routine {
        RoutineKind kind = RoutineKind::Procedure;
        std::string name;
        std::string qualifier; // `TOuter.TInner` of `TOuter.TInner.Name`, else empty
        size_t start = 0;      // the heading's first word (`class` included)
        size_t end = 0;        // after the heading's `;` (or its last word)
        size_t nameStart = 0;
        size_t nameEnd = 0;
        std::string parameters; // the parameter list, folded and without blanks, to tell overloads
        int owner = -1;         // the type that declares it
        bool body = false;      // an implementation, not a declaration
        size_t bodyEnd = kNone; // after the body's closing `end`
        bool operator==(const Routine&) const = default;
    };

    struct Span {
        size_t start = 0;
        size_t end = 0;
        bool operator==(const Span&) const = default;
    };

    // A token as the reader saw it; `word` is the reader's own code for a
    // word it acts on.
    struct Token {
        enum Kind : uint8_t { Name, Symbol, Literal };
        size_t start = 0;
        size_t end = 0;
        uint32_t column = 0; // of a line's first token
        Kind kind = Symbol;
        uint8_t word = 0;
        bool firstOnLine = false;
        // A symbol's character, or kPair for one of two characters (`:=`).
        char symbol = 0;
        static constexpr char kPair = 1;
    };

    // Where the reader may start again after a change later in the text:
    // at the first token of a line, with no type or routine open. What it
    // had read and found up to there is all it needs.
    struct Checkpoint {
        Token token;     // the line's first token
        Token previous;  // the token before it, which the reader looks back at
        size_t read = 0; // how far it had read the text: the horizon of what it knew
        std::vector<size_t> openRegions;
        size_t comments = 0;
        size_t regions = 0;
        size_t types = 0;
        size_t routines = 0;
        size_t uses = 0;
        size_t interfaceStart = kNone;
        size_t implementationStart = kNone;
        size_t sectionsEnd = kNone;
    };

    std::vector<TypeSpan> types;
    std::vector<Routine> routines;
    size_t interfaceStart = kNone;       // the INTERFACE keyword
    size_t implementationStart = kNone;  // the IMPLEMENTATION keyword
    size_t sectionsEnd = kNone;          // INITIALIZATION, FINALIZATION, BEGIN or `end.` after them
    std::vector<std::string> uses;       // the units named in `uses` clauses, folded
    std::vector<Span> comments;          // brace and (* *) comments of several lines
    std::vector<Span> regions;           // `{$region}` to `{$endregion}`
    std::vector<Checkpoint> checkpoints; // in text order

    // The type path of a type: `TOuter.TInner`.
    std::string TypePath(int type) const;
};

// Whether a reading keeps the checkpoints that a reading after a change
// starts from; a reading used once (as the workspace index's) goes without.
enum class Checkpoints : bool { Kept, None };

// What a reading gives: all of the structure, or the types' names, kinds,
// nesting and spans alone (no details, and of the rest only what was found
// before the last type closed), which is what an outline without details
// takes.
enum class StructureParts : bool { All, TypeSpans };

SourceStructure ReadSourceStructure(std::string_view text,
                                    Checkpoints checkpoints = Checkpoints::Kept,
                                    StructureParts parts = StructureParts::All);

// After a change, the server reads a document again in three layers: the
// scanner's rows (OutlineRows), this structure, and the outline tree with
// its answer made from both (OutlineAnswers). Each follows one rule: read
// again from the last checkpoint before the change whose state is equal in
// the old and the new text, until the states agree again past the change,
// then take the rest of the old reading, shifted by the bytes and lines the
// change added or removed. The state is what decides how the text after it
// is read: the scanner's state at a line's start; here the tokens about a
// checkpoint, the sections found and the regions open, with no type or
// routine open.
//
// The structure of `text` after a change to the text `old` was read from:
// bytes [start, oldEnd) of that text were replaced by [start, newEnd) of
// this one. Gives what ReadSourceStructure gives.
SourceStructure ReadSourceStructure(std::string_view text, SourceStructure&& old, size_t start,
                                    size_t oldEnd, size_t newEnd);

// ASCII letters lowered: Pascal names ignore case.
std::string FoldName(std::string_view name);
bool SameName(std::string_view a, std::string_view b);

// A character of a Pascal name (ASCII letters, digits, underscore).
inline bool IsNameChar(char c) {
    static constexpr auto kNameChars = [] {
        std::array<bool, 256> chars{};
        for (int c = 0; c < 256; ++c) {
            chars[static_cast<size_t>(c)] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                            (c >= '0' && c <= '9') || c == '_';
        }
        return chars;
    }();
    return kNameChars[static_cast<unsigned char>(c)];
}

// The last name of a dotted path: `TInner` of `TOuter.TInner`.
inline std::string_view LastPart(std::string_view path) {
    const size_t dot = path.rfind('.');
    return dot == std::string_view::npos ? path : path.substr(dot + 1);
}

} // namespace kestrel::lsp
