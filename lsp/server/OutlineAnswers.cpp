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

// Moves the entries after a change to where their lines and bytes now
// stand; the change held none of them.
void Move(std::vector<OutlineSymbol>& symbols, int64_t fromLine, int64_t lines,
          std::ptrdiff_t bytes) {
    for (OutlineSymbol& symbol : symbols) {
        if (symbol.line >= fromLine) {
            symbol.line += lines;
            symbol.selectionStart =
                static_cast<size_t>(static_cast<std::ptrdiff_t>(symbol.selectionStart) + bytes);
            symbol.selectionEnd =
                static_cast<size_t>(static_cast<std::ptrdiff_t>(symbol.selectionEnd) + bytes);
        }
        Move(symbol.children, fromLine, lines, bytes);
    }
}

} // namespace

QByteArray OutlineAnswers::Answer(const TextDocument& document, const SourceStructure& structure,
                                  PositionEncoding encoding) {
    // The tree and its answer, made from the rows.
    const auto complete = [&](Entry& entry) {
        entry.outline = BuildOutline(document, entry.rows, structure);
        entry.answer = DocumentSymbolsJson(entry.outline, document, encoding);
        entry.symbolLines.clear();
        CollectLines(entry.outline, entry.symbolLines);
        std::sort(entry.symbolLines.begin(), entry.symbolLines.end());
        entry.types = TypeShapes(document, structure);
        entry.encoding = encoding;
    };
    // Whether the change left the tree as it was, but for the lines and
    // bytes after it: no entry on a line read again, no row there before or
    // now, the types as they were with their lines moved.
    const auto onlyMoved = [&](const Entry& entry, const OutlineRows::Reread& reread,
                               const std::vector<TypeShape>& types) {
        const int64_t oldLast = reread.last - reread.lineShift;
        const auto onReread =
            std::lower_bound(entry.symbolLines.begin(), entry.symbolLines.end(), reread.first);
        if (!reread.incremental || !reread.rowless || entry.encoding != encoding ||
            entry.answer.isEmpty() ||
            (onReread != entry.symbolLines.end() && *onReread < oldLast) ||
            types.size() != entry.types.size()) {
            return false;
        }
        const auto moved = [&](int64_t line) {
            return line < reread.first ? line
                   : line >= oldLast   ? line + reread.lineShift
                                       : int64_t{-1};
        };
        for (size_t t = 0; t < types.size(); ++t) {
            TypeShape old = entry.types[t];
            old.firstLine = moved(old.firstLine);
            old.lastLine = moved(old.lastLine);
            if (old != types[t]) {
                return false;
            }
        }
        return true;
    };
    const auto entry = entries_.Get(
        document,
        [&] {
            Entry entry{OutlineRows(document), {}, {}, {}, {}, encoding};
            complete(entry);
            return entry;
        },
        [&](Entry&& old, const TextDocument::Change& change) {
            Entry entry = std::move(old);
            entry.rows = OutlineRows(document, std::move(entry.rows), change);
            const OutlineRows::Reread& reread = entry.rows.LastReread();
            std::vector<TypeShape> types = TypeShapes(document, structure);
            if (!onlyMoved(entry, reread, types)) {
                complete(entry);
                return entry;
            }
            const int64_t oldLast = reread.last - reread.lineShift;
            Move(entry.outline, oldLast, reread.lineShift,
                 static_cast<std::ptrdiff_t>(change.newEnd) -
                     static_cast<std::ptrdiff_t>(change.oldEnd));
            if (reread.lineShift == 0) {
                return entry; // not one character of the answer changed
            }
            for (int64_t& line : entry.symbolLines) {
                line += line >= oldLast ? reread.lineShift : 0;
            }
            entry.types = std::move(types);
            entry.answer = DocumentSymbolsJson(entry.outline, document, encoding);
            return entry;
        });
    return entry->answer;
}

} // namespace kestrel::lsp
