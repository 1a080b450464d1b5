#include "protocol/answers/SymbolAnswers.h"

#include "RowFormatter.h"
#include "ScanRows.h"
#include "TextEncoding.h"
#include "protocol/answers/OutlineJson.h"

namespace kestrel::lsp {

std::string DocumentSymbolsJson(const std::vector<OutlineSymbol>& outline,
                                const TextDocument& document, PositionEncoding encoding) {
    return *OutlineJson(outline, document, encoding).Json();
}

std::string WorkspaceSymbolsJson(const std::vector<SymbolMatch>& matches) {
    std::string out = "[";
    for (const SymbolMatch& match : matches) {
        const IndexedSymbol& symbol = *match.symbol;
        out += out.size() == 1 ? "{\"name\":" : ",{\"name\":";
        AppendJsonString(out, match.file->Text(symbol.name));
        out += ",\"kind\":";
        AppendNumber(out, static_cast<int>(symbol.kind));
        if (symbol.container.length != 0) {
            out += ",\"containerName\":";
            AppendJsonString(out, match.file->Text(symbol.container));
        }
        out += ",\"location\":";
        AppendLocation(out,
                       {match.file->uri, {{symbol.line, symbol.from}, {symbol.line, symbol.to}}});
        out += '}';
    }
    out += ']';
    return out;
}

std::string ListRowsJson(const TextDocument& document) {
    // The lister's own writer, so that the rows are the lister's to the
    // byte; each ends in a line break, which JSON takes as a blank.
    std::string out = "[";
    TextLineReader reader(document.Text());
    ScanRows(reader, ReservedWords(), Headings::Classic, [&out](SymbolRow&& row) {
        if (out.size() > 1) {
            out += ',';
        }
        AppendJsonRow(out, row, TextEncoding::Utf8, {});
    });
    out += ']';
    return out;
}

} // namespace kestrel::lsp
