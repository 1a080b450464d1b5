#pragma once

#include "SymbolCategory.h"

#include <cstdint>
#include <string>

namespace kestrel {

// One entry of the symbol list: the texts are the source's bytes, undecoded.
struct SymbolRow {
    int32_t line = 0;
    std::string caption; // the line number, zero-filled to five digits
    std::string name;
    std::string className;
    std::string details;
    SymbolCategory category = catHeader;

    bool operator==(const SymbolRow&) const = default;
};

} // namespace kestrel
