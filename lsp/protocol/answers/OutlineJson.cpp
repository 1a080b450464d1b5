#include "protocol/answers/OutlineJson.h"

#include "TextEncoding.h"

namespace kestrel::lsp {

OutlineJson::OutlineJson(const std::vector<OutlineSymbol>& outline, const TextDocument& document,
                         PositionEncoding encoding)
    : encoding_(encoding) {
    std::string out;
    Append(out, outline, document);
    json_ = std::make_shared<const std::string>(std::move(out));
}

namespace {

// An entry's `range` (its whole line) and `selectionRange` (its name).
void AppendRanges(std::string& out, int64_t line, int64_t lineEnd, int64_t selectionStart,
                  int64_t selectionEnd) {
    AppendRange(out, {{line, 0}, {line, lineEnd}});
    out += ",\"selectionRange\":";
    AppendRange(out, {{line, selectionStart}, {line, selectionEnd}});
}

} // namespace

OutlineJson::Ranges OutlineJson::RangesOf(const OutlineSymbol& symbol,
                                          const TextDocument& document) const {
    const int64_t line = symbol.line;
    Ranges ranges;
    ranges.line = line;
    ranges.lineEnd = document.CharacterOf(line, document.LineEnd(line), encoding_);
    ranges.selectionStart = document.CharacterOf(line, symbol.selectionStart, encoding_);
    ranges.selectionEnd = document.CharacterOf(line, symbol.selectionEnd, encoding_);
    return ranges;
}

void OutlineJson::Append(std::string& out, const std::vector<OutlineSymbol>& symbols,
                         const TextDocument& document) {
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
        out += ",\"range\":";
        Ranges ranges = RangesOf(symbol, document);
        ranges.at = out.size();
        AppendRanges(out, ranges.line, ranges.lineEnd, ranges.selectionStart, ranges.selectionEnd);
        ranges.end = out.size();
        ranges_.push_back(ranges);
        if (!symbol.children.empty()) {
            out += ",\"children\":";
            Append(out, symbol.children, document);
        }
        out += '}';
    }
    out += ']';
}

bool OutlineJson::Rewrite(const std::vector<OutlineSymbol>& outline, const TextDocument& document,
                          int64_t first, int64_t last) {
    const std::string& json = *json_;
    std::string out;
    out.reserve(json.size() + json.size() / 32);
    size_t index = 0;
    size_t copied = 0;        // the old text up to here is in `out`
    std::ptrdiff_t moved = 0; // how far the old text after it now stands from where it stood
    std::string written;
    const auto visit = [&](const auto& self, const std::vector<OutlineSymbol>& symbols) -> bool {
        for (const OutlineSymbol& symbol : symbols) {
            if (index == ranges_.size()) {
                return false;
            }
            Ranges& old = ranges_[index++];
            const bool placed = symbol.line >= first && symbol.line < last;
            if (!placed && symbol.line == old.line) {
                old.at = static_cast<size_t>(static_cast<std::ptrdiff_t>(old.at) + moved);
                old.end = static_cast<size_t>(static_cast<std::ptrdiff_t>(old.end) + moved);
            } else {
                // A moved entry's line has the text it had, so its characters stand.
                Ranges now = old;
                if (placed) {
                    now = RangesOf(symbol, document);
                } else {
                    now.line = symbol.line;
                }
                written.clear();
                AppendRanges(written, now.line, now.lineEnd, now.selectionStart, now.selectionEnd);
                out.append(json, copied, old.at - copied);
                now.at = out.size();
                out += written;
                now.end = static_cast<size_t>(out.size());
                copied = old.end;
                moved = static_cast<std::ptrdiff_t>(now.end) - static_cast<std::ptrdiff_t>(old.end);
                old = now;
            }
            if (!self(self, symbol.children)) {
                return false;
            }
        }
        return true;
    };
    if (!visit(visit, outline) || index != ranges_.size()) {
        *this = OutlineJson(); // half rewritten: of no use
        return false;
    }
    out.append(json, copied);
    json_ = std::make_shared<const std::string>(std::move(out));
    return true;
}

} // namespace kestrel::lsp
