#pragma once

// The protocol's wire types, each beside its JSON reading and writing. The
// types themselves are plain: the features use them without any JSON.
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

class QJsonObject;

namespace kestrel::lsp {

// How a position's character counts along its line: in UTF-8 bytes or in
// UTF-16 code units, as negotiated with the client.
enum class PositionEncoding { Utf8, Utf16 };

// A position as the protocol gives it: 0-based line and character.
struct TextPosition {
    int64_t line = 0;
    int64_t character = 0;
    bool operator==(const TextPosition&) const = default;
};

// A range of a document in protocol positions: [start, end).
struct TextRange {
    TextPosition start;
    TextPosition end;
    bool operator==(const TextRange&) const = default;
};

// One change to a document in protocol positions.
struct TextEdit {
    TextRange range;
    std::string newText;
};

// A place in some document.
struct Location {
    std::string uri;
    TextRange range;
    bool operator==(const Location&) const = default;
};

// The protocol's symbol kinds that Kestrel uses, by their protocol numbers.
enum class SymbolKind : int {
    Module = 2,
    Namespace = 3,
    Class = 5,
    Method = 6,
    Constructor = 9,
    Interface = 11,
    Function = 12,
    Key = 20,
    Struct = 23,
    Operator = 25,
};

// The kinds a routine's entry has, and those of a type's.
inline bool IsRoutine(SymbolKind kind) {
    return kind == SymbolKind::Function || kind == SymbolKind::Method ||
           kind == SymbolKind::Constructor || kind == SymbolKind::Operator;
}
inline bool IsType(SymbolKind kind) {
    return kind == SymbolKind::Class || kind == SymbolKind::Struct || kind == SymbolKind::Interface;
}

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

// The code action kind of the bookmark actions.
inline constexpr QLatin1StringView kBookmarkActionKind("refactor.rewrite");

// What `initialize` tells of the client.
struct ClientCapabilities {
    // UTF-8 when the client offers it, else UTF-16, which every client takes.
    PositionEncoding encoding = PositionEncoding::Utf16;
    // The client named its encodings under the older `offsetEncoding`, and
    // wants the choice answered there too.
    bool legacyOffsetEncoding = false;
    bool workDoneProgress = false;
    // It watches files for the server once asked to (dynamic registration).
    bool watchesFiles = false;
};
ClientCapabilities ReadClientCapabilities(const QJsonObject& initializeParams);
QLatin1StringView EncodingName(PositionEncoding encoding);

// The `initialize` result: what the server offers, its name and version.
QJsonObject InitializeResultJson(const ClientCapabilities& client, QLatin1StringView version);

// Members of request parameters, checked: each throws RequestError
// (InvalidParams) naming the member when it is missing or of another type.
QJsonObject ObjectMember(const QJsonObject& object, QLatin1StringView key);
QString StringMember(const QJsonObject& object, QLatin1StringView key);
int64_t IntegerMember(const QJsonObject& object, QLatin1StringView key);
TextPosition PositionMember(const QJsonObject& object, QLatin1StringView key);
TextRange RangeMember(const QJsonObject& object, QLatin1StringView key);

QJsonObject PositionJson(TextPosition position);
QJsonObject RangeJson(const TextRange& range);
// A `WorkspaceEdit` that makes `edits` to the document at `uri`.
QJsonObject WorkspaceEditJson(const QString& uri, const std::vector<TextEdit>& edits);

// Writers of compact JSON text straight into a string, for answers too large
// to go through QJsonObject quickly (outlines of tens of thousands of
// entries).
void AppendNumber(std::string& out, int64_t value);
void AppendRange(std::string& out, const TextRange& range);
void AppendLocation(std::string& out, const Location& location);

} // namespace kestrel::lsp
