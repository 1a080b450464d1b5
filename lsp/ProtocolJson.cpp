#include "ProtocolJson.h"

#include <cmath>

namespace kestrel::lsp {

namespace {

[[noreturn]] void ThrowInvalid(QLatin1StringView key, const char* expected) {
    throw RequestError{InvalidParams, QStringLiteral("'%1' must be %2").arg(key, expected)};
}

QJsonObject SymbolJson(const OutlineSymbol& symbol, const TextDocument& document,
                       PositionEncoding encoding) {
    const int64_t line = symbol.line;
    const TextRange whole{{line, 0},
                          {line, document.CharacterOf(line, document.LineEnd(line), encoding)}};
    const TextRange selection{{line, document.CharacterOf(line, symbol.selectionStart, encoding)},
                              {line, document.CharacterOf(line, symbol.selectionEnd, encoding)}};
    QJsonObject json{
        {QLatin1StringView("name"), QString::fromUtf8(symbol.name)},
        {QLatin1StringView("kind"), static_cast<int>(symbol.kind)},
        {QLatin1StringView("range"), RangeJson(whole)},
        {QLatin1StringView("selectionRange"), RangeJson(selection)},
    };
    if (!symbol.detail.empty()) {
        json.insert(QLatin1StringView("detail"), QString::fromUtf8(symbol.detail));
    }
    if (!symbol.children.empty()) {
        json.insert(QLatin1StringView("children"),
                    DocumentSymbolsJson(symbol.children, document, encoding));
    }
    return json;
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

QJsonArray DocumentSymbolsJson(const std::vector<OutlineSymbol>& outline,
                               const TextDocument& document, PositionEncoding encoding) {
    QJsonArray symbols;
    for (const OutlineSymbol& symbol : outline) {
        symbols.append(SymbolJson(symbol, document, encoding));
    }
    return symbols;
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
