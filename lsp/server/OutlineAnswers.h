#pragma once

#include "documents/RevisionCache.h"
#include "features/Outline.h"

#include <QByteArray>

#include <vector>

namespace kestrel::lsp {

// The documentSymbol answers of the latest documents. An unchanged text
// gets its last answer. After a change the scanner's rows are read again
// only where it changed. When the types kept their shape and either no
// entry stands on a line read again, or those lines gave the same rows on
// the same lines, the tree is the last one: the entries after the change
// moved by the lines and bytes it added or removed, those on the lines read
// again placed on them anew. When nothing moved by a line and no entry was
// on those lines, the last answer still holds; else the answer is written
// again from that tree. Otherwise the tree and its answer are made anew.
class OutlineAnswers {
public:
    QByteArray Answer(const TextDocument& document, const SourceStructure& structure,
                      PositionEncoding encoding);

private:
    struct Entry {
        OutlineRows rows;
        std::vector<OutlineSymbol> outline;
        QByteArray answer;
        std::vector<int64_t> symbolLines; // the lines that hold entries, in order
        std::vector<TypeShape> types;
        PositionEncoding encoding = PositionEncoding::Utf16;
    };
    static constexpr size_t kKept = 4;
    RevisionCache<Entry> entries_{kKept};
};

} // namespace kestrel::lsp
