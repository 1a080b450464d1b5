#pragma once

#include "BookmarkEdits.h"
#include "Outline.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace kestrel::lsp {

// JSON-RPC and protocol error codes.
enum ErrorCode : int {
    ParseError = -32700,
    InvalidRequest = -32600,
    MethodNotFound = -32601,
    InvalidParams = -32602,
    InternalError = -32603,
    ServerNotInitialized = -32002,
    RequestFailed = -32803,
    RequestCancelled = -32800,
};

// A request that cannot be answered: the error response's code and text.
struct RequestError {
    ErrorCode code;
    QString message;
};

// Members of request parameters, checked: each throws RequestError
// (InvalidParams) naming the member when it is missing or of another type.
QJsonObject ObjectMember(const QJsonObject& object, QLatin1StringView key);
QString StringMember(const QJsonObject& object, QLatin1StringView key);
int64_t IntegerMember(const QJsonObject& object, QLatin1StringView key);
TextPosition PositionMember(const QJsonObject& object, QLatin1StringView key);
TextRange RangeMember(const QJsonObject& object, QLatin1StringView key);

QJsonObject PositionJson(TextPosition position);
QJsonObject RangeJson(const TextRange& range);

// `DocumentSymbol[]` for an outline of `document`, as compact JSON text.
// Written directly rather than through QJsonObject: a large unit's outline
// has tens of thousands of entries, and this is the answer editors wait for.
QByteArray DocumentSymbolsJson(const std::vector<OutlineSymbol>& outline,
                               const TextDocument& document, PositionEncoding encoding);

// Appends `utf8` as a JSON string literal.
void AppendJsonString(std::string& out, std::string_view utf8);

// A `WorkspaceEdit` that makes `edits` to the document at `uri`.
QJsonObject WorkspaceEditJson(const QString& uri, const std::vector<TextEdit>& edits);

} // namespace kestrel::lsp
