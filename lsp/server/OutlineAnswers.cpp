#include "server/OutlineAnswers.h"

#include <algorithm>

namespace kestrel::lsp {

namespace {

void CollectLines(const std::vector<OutlineSymbol>& symbols, std::vector<int64_t>& lines) {
    for (const OutlineSymbol& symbol : symbols) {
        lines.push_back(symbol.line);
        CollectLines(symbol.children, lines);
    }
}

// Moves the entries after a change to the lines they now stand on; the
// change held none of them. Their bytes stay as they were (see Entry).
void MoveLines(std::vector<OutlineSymbol>& symbols, int64_t fromLine, int64_t lines) {
    for (OutlineSymbol& symbol : symbols) {
        if (symbol.line >= fromLine) {
            symbol.line += lines;
        }
        MoveLines(symbol.children, fromLine, lines);
    }
}

void Flatten(std::vector<OutlineSymbol>& symbols, std::vector<OutlineSymbol*>& out) {
    for (OutlineSymbol& symbol : symbols) {
        out.push_back(&symbol);
        Flatten(symbol.children, out);
    }
}

// Finds again where the entries on lines [first, last) stand on their
// lines, whose rows are the old ones: the row's own entries give those of
// routines, Class entries, headers and bookmarks, the structure those of
// types. False when an entry cannot be matched.
bool PlaceAgain(std::vector<OutlineSymbol>& outline, const TextDocument& document,
                const OutlineRows& rows, const SourceStructure& structure, int64_t first,
                int64_t last) {
    std::vector<OutlineSymbol*> all;
    Flatten(outline, all);
    for (OutlineSymbol* symbol : all) {
        if (symbol->line < first || symbol->line >= last) {
            continue;
        }
        const OutlineSymbol* found = nullptr;
        if (IsType(symbol->kind) && symbol->role != OutlineRole::Group) {
            for (const SourceStructure::TypeSpan& type : structure.types) {
                if (type.name == symbol->name && document.LineOf(type.nameStart) == symbol->line) {
                    if (found != nullptr) {
                        return false; // two of that name on the line
                    }
                    symbol->selectionStart = type.nameStart;
                    symbol->selectionEnd = type.nameEnd;
                    found = symbol;
                }
            }
            if (found == nullptr) {
                return false;
            }
            continue;
        }
        const auto row = std::partition_point(
            rows.Rows().begin(), rows.Rows().end(),
            [symbol](const OutlineRows::Row& row) { return row.line < symbol->line; });
        if (row == rows.Rows().end() || row->line != symbol->line) {
            return false;
        }
        std::vector<OutlineSymbol> fresh = RowEntries(document, *row);
        std::vector<OutlineSymbol*> entries;
        Flatten(fresh, entries);
        for (const OutlineSymbol* entry : entries) {
            const bool same = symbol->role == OutlineRole::Group ? entry->role == OutlineRole::Group
                              : IsRoutine(symbol->kind)          ? IsRoutine(entry->kind)
                                                                 : entry->kind == symbol->kind;
            if (same && entry->name == symbol->name) {
                found = entry;
                break;
            }
        }
        if (found == nullptr) {
            return false;
        }
        symbol->selectionStart = found->selectionStart;
        symbol->selectionEnd = found->selectionEnd;
    }
    return true;
}

} // namespace

std::shared_ptr<const std::string> OutlineAnswers::Answer(const TextDocument& document,
                                                          const SourceStructure& structure,
                                                          PositionEncoding encoding) {
    // The tree and its answer, made from the rows.
    const auto complete = [&](Entry& entry) {
        entry.outline = BuildOutline(document, entry.rows, structure);
        entry.answer = OutlineJson(entry.outline, document, encoding);
        entry.symbolLines.clear();
        CollectLines(entry.outline, entry.symbolLines);
        std::sort(entry.symbolLines.begin(), entry.symbolLines.end());
        entry.types = TypeShapes(document, structure);
        entry.encoding = encoding;
    };
    // Whether the change left the tree as it was, but for the lines and
    // bytes after it: no entry on a line read again, no row there before or
    // now, the types as they were with their lines moved.
    const auto onlyMoved = [&](Entry& entry, const OutlineRows::Reread& reread) {
        const int64_t oldLast = reread.last - reread.lineShift;
        const auto onReread =
            std::lower_bound(entry.symbolLines.begin(), entry.symbolLines.end(), reread.first);
        if (!reread.incremental || !reread.rowless || entry.encoding != encoding ||
            entry.answer.IsEmpty() ||
            (onReread != entry.symbolLines.end() && *onReread < oldLast)) {
            return false;
        }
        return MoveTypeShapes(entry.types, document, structure, [&](int64_t line) {
            return line < reread.first ? line
                   : line >= oldLast   ? line + reread.lineShift
                                       : int64_t{-1};
        });
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
            const bool moved = onlyMoved(entry, reread);
            // The same rows on the same lines: the entries on the lines read
            // again only stand elsewhere on them.
            const bool placed =
                !moved && reread.incremental && reread.sameRows && entry.encoding == encoding &&
                !entry.answer.IsEmpty() &&
                MoveTypeShapes(entry.types, document, structure, [](int64_t line) { return line; });
            if (!moved && !placed) {
                complete(entry);
                return entry;
            }
            const int64_t oldLast = reread.last - reread.lineShift;
            if (reread.lineShift != 0) {
                MoveLines(entry.outline, oldLast, reread.lineShift);
            }
            if (placed && !PlaceAgain(entry.outline, document, entry.rows, structure, reread.first,
                                      reread.last)) {
                complete(entry);
                return entry;
            }
            if (moved && reread.lineShift == 0) {
                return entry; // not one character of the answer changed
            }
            for (int64_t& line : entry.symbolLines) {
                line += line >= oldLast ? reread.lineShift : 0;
            }
            if (!entry.answer.Rewrite(entry.outline, document, reread.first, reread.last)) {
                complete(entry);
            }
            return entry;
        });
    return entry->answer.Json();
}

} // namespace kestrel::lsp
