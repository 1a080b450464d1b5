#pragma once

// The parameters of each method the server takes, as typed structs, and
// their reading from JSON. A reader throws RequestError (InvalidParams)
// naming the first member that is missing or of another type, so every
// method answers bad parameters alike.
#include "protocol/Json.h"
#include "protocol/Protocol.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrel::lsp {

struct InitializeParams {
    ClientCapabilities client;
    // The workspace folders' URIs; when the client names none, its root.
    std::vector<std::string> folders;
    std::optional<std::string> rootPath; // a root given only as a path
    std::string trace;
};

// `$/setTrace`.
struct SetTraceParams {
    std::string value;
};

// Any request about one document.
struct TextDocumentParams {
    std::string uri;
};

// A request about a place in a document; the place may be left out.
struct TextDocumentPositionParams {
    std::string uri;
    std::optional<TextPosition> position;
};

struct CodeActionParams {
    std::string uri;
    TextRange range;
    // The kinds the client asks for; none named means all.
    std::optional<std::vector<std::string>> only;
};

struct DidOpenParams {
    std::string uri;
    std::string text;
    int64_t version = 0;
};

// One of a didChange's changes: its text for `range`, or for the whole
// document without one. A change that could not be read says why instead.
struct ContentChange {
    std::optional<TextRange> range;
    std::string text;
    std::string unreadable;
};

struct DidChangeParams {
    std::string uri;
    int64_t version = 0;
    bool changesGiven = false; // `contentChanges` was an array
    std::vector<ContentChange> changes;
};

struct DidSaveParams {
    std::string uri;
    std::optional<std::string> text;
};

struct WorkspaceSymbolParams {
    std::string query;
};

struct DidChangeWatchedFilesParams {
    std::vector<std::string> uris;
};

struct DidChangeWorkspaceFoldersParams {
    std::vector<std::string> added;
    std::vector<std::string> removed;
};

struct NoParams {};

// The readers, one per struct; `params` is the message's params object (an
// empty object where it had none).
void Read(const Json& params, InitializeParams& out);
void Read(const Json& params, SetTraceParams& out);
void Read(const Json& params, TextDocumentParams& out);
void Read(const Json& params, TextDocumentPositionParams& out);
void Read(const Json& params, CodeActionParams& out);
void Read(const Json& params, DidOpenParams& out);
void Read(const Json& params, DidChangeParams& out);
void Read(const Json& params, DidSaveParams& out);
void Read(const Json& params, WorkspaceSymbolParams& out);
void Read(const Json& params, DidChangeWatchedFilesParams& out);
void Read(const Json& params, DidChangeWorkspaceFoldersParams& out);
inline void Read(const Json&, NoParams&) {}

} // namespace kestrel::lsp
