#include "ProtocolJson.h"

#include <cmath>

namespace kestrel::lsp {

namespace {

[[noreturn]] void ThrowInvalid(QLatin1StringView key, const char* expected) {
    throw RequestError{InvalidParams, QStringLiteral("'%1' must be %2").arg(key, expected)};
}

void AppendNumber(std::string& out, int64_t value) {
    char digits[24];
    char* end = digits + sizeof digits;
    char* p = end;
    uint64_t rest = value < 0 ? 0 : static_cast<uint64_t>(value);
    do {
        *--p = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    out.append(p, end - p);
}

void AppendRange(std::string& out, int64_t line, int64_t from, int64_t to) {
    out += "{\"start\":{\"line\":";
    AppendNumber(out, line);
    out += ",\"character\":";
    AppendNumber(out, from);
    out += "},\"end\":{\"line\":";
    AppendNumber(out, line);
    out += ",\"character\":";
    AppendNumber(out, to);
    out += "}}";
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
        AppendRange(out, line, 0, document.CharacterOf(line, document.LineEnd(line), encoding));
        out += ",\"selectionRange\":";
        AppendRange(out, line, document.CharacterOf(line, symbol.selectionStart, encoding),
                    document.CharacterOf(line, symbol.selectionEnd, encoding));
        if (!symbol.children.empty()) {
            out += ",\"children\":";
            AppendSymbols(out, symbol.children, document, encoding);
        }
        out += '}';
    }
    out += ']';
}

} // namespace

QJsonObject ObjectMember(const QJsonObject& object, QLatin1StringView key) {
    const QJsonValue value = object.value(key);
    if (!value.isObject()) {
        ThrowInvalid(key, "an object");
    }
    return value.toObject();
}

QString StringMember(const QJsonObject& object, QLatin1StringView key) {
    const QJsonValue value = object.value(key);
    if (!value.isString()) {
        ThrowInvalid(key, "a string");
    }
    return value.toString();
}

int64_t IntegerMember(const QJsonObject& object, QLatin1StringView key) {
    const QJsonValue value = object.value(key);
    const double number = value.toDouble(-1);
    // Protocol integers fit in 31 bits; a larger one is not a position.
    if (!value.isDouble() || number < 0 || number > 2147483647.0 || std::floor(number) != number) {
        ThrowInvalid(key, "a non-negative integer");
    }
    return static_cast<int64_t>(number);
}

TextPosition PositionMember(const QJsonObject& object, QLatin1StringView key) {
    const QJsonObject position = ObjectMember(object, key);
    return {IntegerMember(position, QLatin1StringView("line")),
            IntegerMember(position, QLatin1StringView("character"))};
}

TextRange RangeMember(const QJsonObject& object, QLatin1StringView key) {
    const QJsonObject range = ObjectMember(object, key);
    return {PositionMember(range, QLatin1StringView("start")),
            PositionMember(range, QLatin1StringView("end"))};
}

QJsonObject PositionJson(TextPosition position) {
    return {{QLatin1StringView("line"), static_cast<qint64>(position.line)},
            {QLatin1StringView("character"), static_cast<qint64>(position.character)}};
}

QJsonObject RangeJson(const TextRange& range) {
    return {{QLatin1StringView("start"), PositionJson(range.start)},
            {QLatin1StringView("end"), PositionJson(range.end)}};
}

QByteArray DocumentSymbolsJson(const std::vector<OutlineSymbol>& outline,
                               const TextDocument& document, PositionEncoding encoding) {
    std::string out;
    AppendSymbols(out, outline, document, encoding);
    return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
}

void AppendJsonString(std::string& out, std::string_view utf8) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    size_t plain = 0; // start of the run not yet copied
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c != '"' && c != '\\') {
            continue;
        }
        out.append(utf8.data() + plain, i - plain);
        plain = i + 1;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
            break;
        }
    }
    out.append(utf8.data() + plain, utf8.size() - plain);
    out += '"';
}

QJsonObject WorkspaceEditJson(const QString& uri, const std::vector<TextEdit>& edits) {
    QJsonArray changes;
    for (const TextEdit& edit : edits) {
        changes.append(
            QJsonObject{{QLatin1StringView("range"), RangeJson(edit.range)},
                        {QLatin1StringView("newText"), QString::fromUtf8(edit.newText)}});
    }
    return {{QLatin1StringView("changes"), QJsonObject{{uri, changes}}}};
}

} // namespace kestrel::lsp
