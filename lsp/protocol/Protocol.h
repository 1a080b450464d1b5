#pragma once

// The protocol's wire types, each beside its JSON writing (the parameters'
// reading is in Params.h). The types themselves are plain: the features use
// them without any JSON.
#include "protocol/Json.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
    std::string message;
};

// A request's result as JSON text. Shared, so that an answer kept from
// before goes out without a copy.
struct JsonResult {
    JsonResult(std::string text) : text(std::make_shared<const std::string>(std::move(text))) {}
    JsonResult(const char* text) : JsonResult(std::string(text)) {}
    JsonResult(std::shared_ptr<const std::string> text) : text(std::move(text)) {}
    std::shared_ptr<const std::string> text;
};

// The parameters of `window/logMessage` and `window/showMessage`.
std::string MessageParams(int type, std::string_view message);
// Their message types.
inline constexpr int kErrorMessage = 1;
inline constexpr int kWarningMessage = 2;
inline constexpr int kInfoMessage = 3;

// The code action kind of the bookmark actions.
inline constexpr std::string_view kBookmarkActionKind = "refactor.rewrite";

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
std::string_view EncodingName(PositionEncoding encoding);

// The `initialize` result: what the server offers, its name and version.
void WriteInitializeResult(JsonWriter& writer, const ClientCapabilities& client,
                           std::string_view version);

void WritePosition(JsonWriter& writer, TextPosition position);
void WriteRange(JsonWriter& writer, const TextRange& range);
// A `WorkspaceEdit` that makes `edits` to the document at `uri`.
void WriteWorkspaceEdit(JsonWriter& writer, std::string_view uri,
                        const std::vector<TextEdit>& edits);

// Writers of compact JSON text straight into a string, for answers too large
// to go through a writer quickly (outlines of tens of thousands of
// entries).
void AppendNumber(std::string& out, int64_t value);
void AppendRange(std::string& out, const TextRange& range);
void AppendLocation(std::string& out, const Location& location);

} // namespace kestrel::lsp
