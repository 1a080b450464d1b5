#pragma once

#include "documents/RevisionCache.h"
#include "features/Outline.h"

#include <QByteArray>

#include <vector>

namespace kestrel::lsp {

// The documentSymbol answers of the latest documents. An unchanged text
// gets its last answer. After a change the scanner's rows are read again
// only where it changed; when that left every entry as it was (the same
// rows on the same lines, types of the same shape, no entry on a line read
// again), the last answer still holds, else the tree and its JSON are made
// anew.
class OutlineAnswers {
public:
    QByteArray Answer(const TextDocument& document, const SourceStructure& structure,
                      PositionEncoding encoding);

private:
    struct Entry {
        OutlineRows rows;
        QByteArray answer;
        std::vector<int64_t> symbolLines; // the lines that hold entries, in order
        std::vector<TypeShape> types;
        PositionEncoding encoding = PositionEncoding::Utf16;
    };
    static constexpr size_t kKept = 4;
    RevisionCache<Entry> entries_{kKept};
};

} // namespace kestrel::lsp
