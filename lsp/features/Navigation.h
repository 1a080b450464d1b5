#pragma once

#include "documents/TextDocument.h"
#include "features/SourceStructure.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrel::lsp {

// The routine whose heading holds `offset` (from its first word to the end
// of the line its heading ends on), or -1.
int RoutineAt(const TextDocument& document, const SourceStructure& structure, size_t offset);

// The other side of a routine: the declarations of an implementation (in
// its type, or among the unit's declared routines), the implementations of
// a declaration. Of overloads, those with the same parameter list; when
// none has it, all of them.
std::vector<int> Counterparts(const SourceStructure& structure, int routine);

// The name under the cursor, and the one before it with a dot between
// (`TShape` of `TShape.Create`).
struct Identifier {
    std::string_view name;
    std::string_view qualifier;
    size_t start = 0;
    size_t end = 0;
};
// Nothing (an empty name) when `offset` is on no name.
Identifier IdentifierAt(std::string_view text, size_t offset);

// The unit name that a file's path gives, folded as `uses` clauses are:
// the file's name without its extension, dots and all
// (`System.SysUtils.pas` is `system.sysutils`).
std::string UnitOfPath(std::string_view path);

// A routine's heading as one line: the words from its first to its `;`,
// comments left out and blanks made single.
std::string HeadingText(std::string_view text, const SourceStructure::Routine& routine);

} // namespace kestrel::lsp
