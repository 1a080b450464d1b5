#pragma once

#include "SymbolCategory.h"

#include <cstdint>
#include <string>

namespace kestrel {

// The word that opens a routine heading. Only the extended headings of the
// classifier record it; the add-in's rows leave it at None.
enum class RoutineKind : unsigned char {
    None,
    Procedure,
    Function,
    Constructor,
    Destructor,
    Operator
};

// One entry of the symbol list: the texts are the source's bytes, undecoded.
struct SymbolRow {
    int32_t line = 0;
    std::string caption; // the line number, zero-filled to five digits
    std::string name;
    std::string className;
    std::string details;
    SymbolCategory category = catHeader;
    RoutineKind routine = RoutineKind::None;
    bool classRoutine = false; // `class procedure` and the like (extended headings only)

    bool operator==(const SymbolRow&) const = default;
};

} // namespace kestrel
