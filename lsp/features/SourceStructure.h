#pragma once

#include "SymbolRow.h"

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
    };

    struct Span {
        size_t start = 0;
        size_t end = 0;
    };

    std::vector<TypeSpan> types;
    std::vector<Routine> routines;
    size_t interfaceStart = kNone;      // the INTERFACE keyword
    size_t implementationStart = kNone; // the IMPLEMENTATION keyword
    size_t sectionsEnd = kNone;         // INITIALIZATION, FINALIZATION, BEGIN or `end.` after them
    std::vector<std::string> uses;      // the units named in `uses` clauses, folded
    std::vector<Span> comments;         // brace and (* *) comments of several lines
    std::vector<Span> regions;          // `{$region}` to `{$endregion}`

    // The type path of a type: `TOuter.TInner`.
    std::string TypePath(int type) const;
};

SourceStructure ReadSourceStructure(std::string_view text);

// ASCII letters lowered: Pascal names ignore case.
std::string FoldName(std::string_view name);
bool SameName(std::string_view a, std::string_view b);

// A character of a Pascal name (ASCII letters, digits, underscore).
inline bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The last name of a dotted path: `TInner` of `TOuter.TInner`.
inline std::string_view LastPart(std::string_view path) {
    const size_t dot = path.rfind('.');
    return dot == std::string_view::npos ? path : path.substr(dot + 1);
}

} // namespace kestrel::lsp
