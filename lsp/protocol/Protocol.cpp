#include "protocol/Protocol.h"

#include "TextEncoding.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <cmath>

namespace kestrel::lsp {

namespace {

QLatin1StringView Key(const char* key) {
    return QLatin1StringView(key);
}

[[noreturn]] void ThrowInvalid(QLatin1StringView key, const char* expected) {
    throw RequestError{InvalidParams, QStringLiteral("'%1' must be %2").arg(key, expected)};
}

bool Offers(const QJsonValue& encodings, QLatin1StringView wanted) {
    const QJsonArray offered = encodings.toArray();
    return std::any_of(offered.begin(), offered.end(),
                       [wanted](const QJsonValue& value) { return value.toString() == wanted; });
}

constexpr QLatin1StringView kUtf8("utf-8");
constexpr QLatin1StringView kUtf16("utf-16");

} // namespace

ClientCapabilities ReadClientCapabilities(const QJsonObject& initializeParams) {
    const QJsonObject capabilities = initializeParams.value(Key("capabilities")).toObject();
    ClientCapabilities client;
    // 3.17 clients offer encodings under `general`, some older ones under
    // `offsetEncoding`.
    const QJsonValue general =
        capabilities.value(Key("general")).toObject().value(Key("positionEncodings"));
    const QJsonValue legacy = capabilities.value(Key("offsetEncoding"));
    client.encoding = Offers(general, kUtf8) || Offers(legacy, kUtf8) ? PositionEncoding::Utf8
                                                                      : PositionEncoding::Utf16;
    client.legacyOffsetEncoding = legacy.isArray();
    client.workDoneProgress =
        capabilities.value(Key("window")).toObject().value(Key("workDoneProgress")).toBool();
    client.watchesFiles = capabilities.value(Key("workspace"))
                              .toObject()
                              .value(Key("didChangeWatchedFiles"))
                              .toObject()
                              .value(Key("dynamicRegistration"))
                              .toBool();
    return client;
}

QLatin1StringView EncodingName(PositionEncoding encoding) {
    return encoding == PositionEncoding::Utf8 ? kUtf8 : kUtf16;
}

QJsonObject InitializeResultJson(const ClientCapabilities& client, QLatin1StringView version) {
    const QLatin1StringView encoding = EncodingName(client.encoding);
    const QJsonObject capabilities{
        {Key("positionEncoding"), encoding},
        {Key("textDocumentSync"),
         QJsonObject{{Key("openClose"), true},
                     {Key("change"), 2}, // incremental
                     {Key("save"), QJsonObject{{Key("includeText"), false}}}}},
        {Key("documentSymbolProvider"), QJsonObject{{Key("label"), QStringLiteral("Kestrel")}}},
        {Key("codeActionProvider"),
         QJsonObject{{Key("codeActionKinds"), QJsonArray{kBookmarkActionKind}}}},
        {Key("workspaceSymbolProvider"), true},
        {Key("declarationProvider"), true},
        {Key("implementationProvider"), true},
        {Key("definitionProvider"), true},
        {Key("hoverProvider"), true},
        {Key("foldingRangeProvider"), true},
        {Key("workspace"),
         QJsonObject{{Key("workspaceFolders"),
                      QJsonObject{{Key("supported"), true}, {Key("changeNotifications"), true}}}}},
    };
    QJsonObject result{
        {Key("capabilities"), capabilities},
        {Key("serverInfo"),
         QJsonObject{{Key("name"), QStringLiteral("kestrel-lsp")}, {Key("version"), version}}},
    };
    if (client.legacyOffsetEncoding) {
        result.insert(Key("offsetEncoding"), encoding);
    }
    return result;
}

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
        ThrowInvalid(key, "an integer from 0 to 2147483647");
    }
    return static_cast<int64_t>(number);
}

TextPosition PositionMember(const QJsonObject& object, QLatin1StringView key) {
    const QJsonObject position = ObjectMember(object, key);
    return {IntegerMember(position, Key("line")), IntegerMember(position, Key("character"))};
}

TextRange RangeMember(const QJsonObject& object, QLatin1StringView key) {
    const QJsonObject range = ObjectMember(object, key);
    return {PositionMember(range, Key("start")), PositionMember(range, Key("end"))};
}

QJsonObject PositionJson(TextPosition position) {
    return {{Key("line"), static_cast<qint64>(position.line)},
            {Key("character"), static_cast<qint64>(position.character)}};
}

QJsonObject RangeJson(const TextRange& range) {
    return {{Key("start"), PositionJson(range.start)}, {Key("end"), PositionJson(range.end)}};
}

QJsonObject WorkspaceEditJson(const QString& uri, const std::vector<TextEdit>& edits) {
    QJsonArray changes;
    for (const TextEdit& edit : edits) {
        changes.append(QJsonObject{{Key("range"), RangeJson(edit.range)},
                                   {Key("newText"), QString::fromUtf8(edit.newText)}});
    }
    return {{Key("changes"), QJsonObject{{uri, changes}}}};
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

void AppendRange(std::string& out, const TextRange& range) {
    out += "{\"start\":{\"line\":";
    AppendNumber(out, range.start.line);
    out += ",\"character\":";
    AppendNumber(out, range.start.character);
    out += "},\"end\":{\"line\":";
    AppendNumber(out, range.end.line);
    out += ",\"character\":";
    AppendNumber(out, range.end.character);
    out += "}}";
}

void AppendLocation(std::string& out, const Location& location) {
    out += "{\"uri\":";
    AppendJsonString(out, location.uri);
    out += ",\"range\":";
    AppendRange(out, location.range);
    out += '}';
}

} // namespace kestrel::lsp
