#include "server/SymbolAnswers.h"

#include "TextEncoding.h"

namespace kestrel::lsp {

namespace {

// The range of `line` from byte `from` to byte `to`.
TextRange LineRange(const TextDocument& document, int64_t line, size_t from, size_t to,
                    PositionEncoding encoding) {
    return {{line, document.CharacterOf(line, from, encoding)},
            {line, document.CharacterOf(line, to, encoding)}};
}

void AppendSymbols(std::string& out, const std::vector<OutlineSymbol>& symbols,
                   const TextDocument& document, PositionEncoding encoding) {
    out += '[';
    bool first = true;
    for (const OutlineSymbol& symbol : symbols) {
        out += first ? "{\"name\":" : ",{\"name\":";
        first = false;
        AppendJsonString(out, symbol.name);
        if (!symbol.detail.empty()) {
            out += ",\"detail\":";
            AppendJsonString(out, symbol.detail);
        }
        out += ",\"kind\":";
        AppendNumber(out, static_cast<int>(symbol.kind));
        const int64_t line = symbol.line;
        out += ",\"range\":";
        AppendRange(out, LineRange(document, line, document.LineStart(line), document.LineEnd(line),
                                   encoding));
        out += ",\"selectionRange\":";
        AppendRange(
            out, LineRange(document, line, symbol.selectionStart, symbol.selectionEnd, encoding));
        if (!symbol.children.empty()) {
            out += ",\"children\":";
            AppendSymbols(out, symbol.children, document, encoding);
        }
        out += '}';
    }
    out += ']';
}

QByteArray Bytes(const std::string& out) {
    return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
}

} // namespace

QByteArray DocumentSymbolsJson(const std::vector<OutlineSymbol>& outline,
                               const TextDocument& document, PositionEncoding encoding) {
    std::string out;
    AppendSymbols(out, outline, document, encoding);
    return Bytes(out);
}

QByteArray WorkspaceSymbolsJson(const std::vector<SymbolMatch>& matches) {
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
    return Bytes(out);
}

} // namespace kestrel::lsp
