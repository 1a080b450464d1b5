#include "features/Folding.h"

#include <algorithm>

namespace kestrel::lsp {

std::vector<FoldingRange> FoldingRanges(const TextDocument& document,
                                        const SourceStructure& structure) {
    constexpr size_t kNone = SourceStructure::kNone;
    std::vector<FoldingRange> ranges;
    // From the line of `start` to the line of the last byte before `end`.
    const auto add = [&](size_t start, size_t end, FoldingRange::Kind kind) {
        const int64_t first = document.LineOf(start);
        const int64_t last = document.LineOf(end > start ? end - 1 : start);
        if (last > first) {
            ranges.push_back({first, last, kind});
        }
    };
    // From the line of `start` to the line before the one of `next`.
    const auto addSection = [&](size_t start, size_t next) {
        const int64_t first = document.LineOf(start);
        const int64_t last = next == kNone ? document.LineCount() - 1 : document.LineOf(next) - 1;
        if (last > first) {
            ranges.push_back({first, last, FoldingRange::Kind::Code});
        }
    };
    for (const SourceStructure::Routine& routine : structure.routines) {
        if (routine.body && routine.bodyEnd != kNone) {
            add(routine.start, routine.bodyEnd, FoldingRange::Kind::Code);
        }
    }
    for (const SourceStructure::TypeSpan& type : structure.types) {
        if (!type.broken && type.end != kNone) {
            add(type.nameStart, type.end, FoldingRange::Kind::Code);
        }
    }
    for (const SourceStructure::Span& comment : structure.comments) {
        add(comment.start, comment.end, FoldingRange::Kind::Comment);
    }
    for (const SourceStructure::Span& region : structure.regions) {
        add(region.start, region.end, FoldingRange::Kind::Region);
    }
    if (structure.interfaceStart != kNone) {
        addSection(structure.interfaceStart, structure.implementationStart != kNone
                                                 ? structure.implementationStart
                                                 : structure.sectionsEnd);
    }
    if (structure.implementationStart != kNone) {
        addSection(structure.implementationStart, structure.sectionsEnd);
    }
    std::stable_sort(
        ranges.begin(), ranges.end(),
        [](const FoldingRange& a, const FoldingRange& b) { return a.startLine < b.startLine; });
    return ranges;
}

} // namespace kestrel::lsp
