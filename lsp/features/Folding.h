#pragma once

#include "documents/TextDocument.h"
#include "features/SourceStructure.h"

#include <vector>

namespace kestrel::lsp {

// A range of lines the editor may fold.
struct FoldingRange {
    enum class Kind { Code, Comment, Region };
    int64_t startLine = 0;
    int64_t endLine = 0;
    Kind kind = Kind::Code;
    bool operator==(const FoldingRange&) const = default;
};

// Routines from heading to the closing `end`, types from name to `end`,
// comments of several lines, `{$region}` to `{$endregion}`, and the
// interface and implementation sections; by first line.
std::vector<FoldingRange> FoldingRanges(const TextDocument& document,
                                        const SourceStructure& structure);

} // namespace kestrel::lsp
