#pragma once

#include "SymbolRow.h"

#include <cstdint>
#include <string_view>

namespace kestrel {

// A symbol row whose texts are views: into the line the classifier was given,
// or into storage of the classifier's own that the next row of the same
// thread may reuse. Valid until the next line is classified; whoever keeps a
// row copies its texts (ToSymbolRow, or a block of its own). The caption is
// not held: it is FormatLineCaption(line).
struct SymbolRowView {
    int32_t line = 0;
    std::string_view name;
    std::string_view className;
    std::string_view details;
    SymbolCategory category = catHeader;
    RoutineKind routine = RoutineKind::None;
    bool classRoutine = false;
};

// A view of a row that holds its texts.
inline SymbolRowView ViewOfRow(const SymbolRow& row) {
    return {row.line,     row.name,    row.className,   row.details,
            row.category, row.routine, row.classRoutine};
}

} // namespace kestrel
