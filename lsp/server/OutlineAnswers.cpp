#include "server/OutlineAnswers.h"

#include "server/SymbolAnswers.h"

#include <algorithm>

namespace kestrel::lsp {

namespace {

void CollectLines(const std::vector<OutlineSymbol>& symbols, std::vector<int64_t>& lines) {
    for (const OutlineSymbol& symbol : symbols) {
        lines.push_back(symbol.line);
        CollectLines(symbol.children, lines);
    }
}

} // namespace

QByteArray OutlineAnswers::Answer(const TextDocument& document, const SourceStructure& structure,
                                  PositionEncoding encoding) {
    // The tree and its answer, made from the rows.
    const auto complete = [&](Entry& entry) {
        const std::vector<OutlineSymbol> outline = BuildOutline(document, entry.rows, structure);
        entry.answer = DocumentSymbolsJson(outline, document, encoding);
        entry.symbolLines.clear();
        CollectLines(outline, entry.symbolLines);
        std::sort(entry.symbolLines.begin(), entry.symbolLines.end());
        entry.types = TypeShapes(document, structure);
        entry.encoding = encoding;
    };
    const auto entry = entries_.Get(
        document,
        [&] {
            Entry entry{OutlineRows(document), {}, {}, {}, encoding};
            complete(entry);
            return entry;
        },
        [&](Entry&& old, const TextDocument::Change& change) {
            Entry entry = std::move(old);
            entry.rows = OutlineRows(document, std::move(entry.rows), change);
            const OutlineRows::Reread& reread = entry.rows.LastReread();
            const auto onReread =
                std::lower_bound(entry.symbolLines.begin(), entry.symbolLines.end(), reread.first);
            if (!reread.same || entry.encoding != encoding || entry.answer.isEmpty() ||
                (onReread != entry.symbolLines.end() && *onReread < reread.last)) {
                complete(entry);
                return entry;
            }
            std::vector<TypeShape> types = TypeShapes(document, structure);
            if (types != entry.types) {
                complete(entry);
            }
            return entry;
        });
    return entry->answer;
}

} // namespace kestrel::lsp
