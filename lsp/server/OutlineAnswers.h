#pragma once

#include "documents/RevisionCache.h"
#include "features/Outline.h"
#include "protocol/answers/OutlineJson.h"

#include <memory>
#include <string>
#include <vector>

namespace kestrel::lsp {

// The documentSymbol answers of the latest documents. An unchanged text
// gets its last answer. After a change the scanner's rows are read again
// only where it changed. When the types kept their shape and either no
// entry stands on a line read again, or those lines gave the same rows on
// the same lines, the tree is the last one: the entries after the change
// moved by the lines it added or removed, those on the lines read
// again placed on them anew. When nothing moved by a line and no entry was
// on those lines, the last answer still holds; else the last answer is
// copied with the ranges of the entries that moved or were placed anew
// written again. Otherwise the tree and its answer are made anew.
class OutlineAnswers {
public:
    std::shared_ptr<const std::string> Answer(const TextDocument& document,
                                              const SourceStructure& structure,
                                              PositionEncoding encoding);

private:
    struct Entry {
        OutlineRows rows;
        // The tree the answer was written from. Its entries' lines follow
        // every change; their bytes are those of when each was last placed,
        // and are read only when an entry is placed anew, which sets them.
        std::vector<OutlineSymbol> outline;
        OutlineJson answer;
        std::vector<int64_t> symbolLines; // the lines that hold entries, in order
        std::vector<TypeShape> types;
        PositionEncoding encoding = PositionEncoding::Utf16;
    };
    static constexpr size_t kKept = 4;
    RevisionCache<Entry> entries_{kKept};
};

} // namespace kestrel::lsp
