#include "server/LanguageServer.h"

#include "features/BookmarkEdits.h"
#include "features/Outline.h"
#include "protocol/answers/SymbolAnswers.h"

#include <algorithm>
#include <chrono>

namespace kestrel::lsp {

namespace {

constexpr std::string_view kServerVersion = KESTREL_VERSION;

// Whether an action of `kind` passes the client's `only` filter: a kind
// matches itself and every kind below it (`refactor` takes
// `refactor.rewrite`).
bool KindWanted(const std::optional<std::vector<std::string>>& only, std::string_view kind) {
    return !only || std::any_of(only->begin(), only->end(), [kind](const std::string& wanted) {
        return kind == wanted || (kind.starts_with(wanted) && kind.size() > wanted.size() &&
                                  kind[wanted.size()] == '.');
    });
}

void WriteCodeAction(JsonWriter& w, std::string_view title, std::string_view uri,
                     const std::vector<TextEdit>& edits) {
    w.StartObject();
    WriteKey(w, "title");
    WriteString(w, title);
    WriteKey(w, "kind");
    WriteString(w, kBookmarkActionKind);
    WriteKey(w, "edit");
    WriteWorkspaceEdit(w, uri, edits);
    w.EndObject();
}

} // namespace

template <class Params, class Result>
void LanguageServer::BindRequest(std::string method,
                                 Result (LanguageServer::*handler)(const Params&)) {
    requests_.emplace(std::move(method), [this, handler](const Json& json) {
        Params params;
        Read(json, params);
        return JsonResult((this->*handler)(params));
    });
}

template <class Params>
void LanguageServer::BindNotification(std::string method,
                                      void (LanguageServer::*handler)(const Params&)) {
    notifications_.emplace(std::move(method), [this, handler](const Json& json) {
        Params params;
        Read(json, params);
        (this->*handler)(params);
    });
}

LanguageServer::LanguageServer(Send send, SourceTreeWalk walk)
    : channel_(std::move(send)), workspace_(channel_, std::move(walk)) {
    BindRequest("initialize", &LanguageServer::Initialize);
    BindRequest("shutdown", &LanguageServer::Shutdown);
    BindRequest("textDocument/documentSymbol", &LanguageServer::DocumentSymbols);
    BindRequest("textDocument/codeAction", &LanguageServer::CodeActions);
    BindRequest("textDocument/declaration", &LanguageServer::Counterparts);
    BindRequest("textDocument/implementation", &LanguageServer::Counterparts);
    BindRequest("textDocument/definition", &LanguageServer::Definition);
    BindRequest("textDocument/hover", &LanguageServer::Hover);
    BindRequest("textDocument/foldingRange", &LanguageServer::FoldingRanges);
    BindRequest("workspace/symbol", &LanguageServer::WorkspaceSymbols);
    BindRequest("kestrel/rows", &LanguageServer::Rows);
    BindNotification("initialized", &LanguageServer::Initialized);
    BindNotification("textDocument/didOpen", &LanguageServer::DidOpen);
    BindNotification("textDocument/didChange", &LanguageServer::DidChange);
    BindNotification("textDocument/didClose", &LanguageServer::DidClose);
    BindNotification("textDocument/didSave", &LanguageServer::DidSave);
    BindNotification("$/setTrace", &LanguageServer::SetTrace);
    BindNotification("workspace/didChangeWatchedFiles", &LanguageServer::DidChangeWatchedFiles);
    BindNotification("workspace/didChangeWorkspaceFolders",
                     &LanguageServer::DidChangeWorkspaceFolders);
    // `$/cancelRequest` is taken care of as the messages are read; it and
    // any other notification need nothing here.
}

void LanguageServer::Handle(std::vector<Frame> frames) {
    for (const IncomingMessage& message : ReadMessages(std::move(frames), channel_)) {
        if (exitRequested_) {
            return;
        }
        HandleMessage(message);
    }
}

void LanguageServer::HandleMessage(const IncomingMessage& message) {
    if (message.error) {
        channel_.ReplyError(message.id, message.error->code, message.error->message);
    }
    switch (message.kind) {
    case IncomingMessage::Kind::Unsound:
        return;
    case IncomingMessage::Kind::Refused:
        TakeRefused(*message.refused);
        return;
    case IncomingMessage::Kind::Response:
        channel_.TakeAnswer(*message.json);
        return;
    case IncomingMessage::Kind::Notification:
        try {
            Notification(message.method, *message.params);
        } catch (const RequestError&) {
            // A notification has no answer; a malformed one is dropped.
        }
        return;
    case IncomingMessage::Kind::Request:
        break;
    }
    if (message.cancelled) {
        channel_.ReplyError(message.id, RequestCancelled, "cancelled");
        return;
    }
    const auto started = std::chrono::steady_clock::now();
    try {
        channel_.Reply(message.id, *Request(message.method, *message.params).text);
    } catch (const RequestError& error) {
        channel_.ReplyError(message.id, error.code, error.message);
    } catch (const std::exception& error) {
        channel_.ReplyError(message.id, InternalError, error.what());
    }
    if (trace_ != TraceLevel::Off) {
        const std::chrono::duration<double, std::milli> elapsed =
            std::chrono::steady_clock::now() - started;
        Trace(message.method + " answered in " + std::to_string(elapsed.count()) + " ms");
    }
}

JsonResult LanguageServer::Request(const std::string& method, const Json& params) {
    if (method == "initialize" && initialized_) {
        throw RequestError{InvalidRequest, "already initialized"};
    }
    if (method != "initialize" && !initialized_) {
        throw RequestError{ServerNotInitialized, "initialize first"};
    }
    if (shutdown_) {
        throw RequestError{InvalidRequest, "the server is shutting down"};
    }
    const auto found = requests_.find(method);
    if (found == requests_.end()) {
        throw RequestError{MethodNotFound, "unknown method " + method};
    }
    return found->second(params);
}

void LanguageServer::Notification(const std::string& method, const Json& params) {
    if (method == "exit") {
        exitRequested_ = true;
        return;
    }
    if (!initialized_ || shutdown_) {
        return;
    }
    if (const auto found = notifications_.find(method); found != notifications_.end()) {
        found->second(params);
    }
}

std::string LanguageServer::Initialize(const InitializeParams& params) {
    encoding_ = params.client.encoding;
    navigator_.SetEncoding(encoding_);
    SetTraceLevel(params.trace);
    workspace_.Initialize(params);
    initialized_ = true;
    return JsonText(
        [&](JsonWriter& w) { WriteInitializeResult(w, params.client, kServerVersion); });
}

std::string LanguageServer::Shutdown(const NoParams&) {
    shutdown_ = true;
    return "null";
}

void LanguageServer::Initialized(const NoParams&) {
    workspace_.Start();
}

std::shared_ptr<const TextDocument> LanguageServer::Document(const std::string& uri) const {
    std::string error;
    auto document = documents_.Get(uri, error);
    if (!document) {
        throw RequestError{RequestFailed, error};
    }
    return document;
}

JsonResult LanguageServer::DocumentSymbols(const TextDocumentParams& params) {
    const auto document = Document(params.uri);
    // Editors ask again for a text they have not changed (on focus, on
    // save): that answer is the last one.
    return outlines_.Answer(*document, *navigator_.StructureOf(*document), encoding_);
}

std::string LanguageServer::Rows(const TextDocumentParams& params) {
    return ListRowsJson(*Document(params.uri));
}

std::string LanguageServer::Counterparts(const TextDocumentPositionParams& params) {
    return navigator_.Counterparts(params);
}

std::string LanguageServer::Definition(const TextDocumentPositionParams& params) {
    return navigator_.Definition(params);
}

std::string LanguageServer::Hover(const TextDocumentPositionParams& params) {
    return navigator_.Hover(params);
}

std::string LanguageServer::FoldingRanges(const TextDocumentParams& params) {
    return navigator_.FoldingRanges(params);
}

std::string LanguageServer::WorkspaceSymbols(const WorkspaceSymbolParams& params) {
    return workspace_.Symbols(params, documents_);
}

std::string LanguageServer::CodeActions(const CodeActionParams& params) {
    const auto document = Document(params.uri);
    // No line is longer than a message can be: padding out to a column past
    // that would only build a huge answer.
    if (params.range.start.character > static_cast<int64_t>(MessageFramer::kMaxBody)) {
        throw RequestError{InvalidParams, "column " + std::to_string(params.range.start.character) +
                                              " lies past the longest line the server holds (" +
                                              std::to_string(MessageFramer::kMaxBody) + " bytes)"};
    }
    return JsonText([&](JsonWriter& w) {
        w.StartArray();
        if (KindWanted(params.only, kBookmarkActionKind)) {
            if (auto insert = InsertBookmarkEdit(*document, params.range.start, encoding_)) {
                WriteCodeAction(w, "Insert bookmark", params.uri, {std::move(*insert)});
            }
            const std::vector<TextEdit> removals =
                RemoveBookmarkEdits(*document, params.range.start.line, encoding_);
            if (!removals.empty()) {
                WriteCodeAction(w, "Remove bookmark", params.uri, removals);
            }
        }
        w.EndArray();
    });
}

void LanguageServer::DidOpen(const DidOpenParams& params) {
    documents_.Open(params.uri, params.text, params.version);
    workspace_.DocumentChanged(params.uri);
}

void LanguageServer::DidChange(const DidChangeParams& params) {
    const std::string& uri = params.uri;
    // A change that cannot be applied exactly puts the document out of step
    // rather than leave a guess; a later whole text puts it back in step.
    bool wentOutOfStep = false;
    const auto outOfStep = [&](std::string why) {
        wentOutOfStep = documents_.MarkOutOfStep(uri, std::move(why)) || wentOutOfStep;
    };
    if (!params.changesGiven) {
        outOfStep("a change came without its contentChanges");
    }
    for (const ContentChange& change : params.changes) {
        if (!change.unreadable.empty()) {
            outOfStep("a change could not be read: " + change.unreadable);
            continue;
        }
        wentOutOfStep =
            documents_.Change(uri, change.range, change.text, encoding_, params.version) ==
                DocumentStore::ChangeResult::WentOutOfStep ||
            wentOutOfStep;
    }
    if (wentOutOfStep && !documents_.OutOfStep(uri).empty()) {
        ReportOutOfStep(uri);
    }
    workspace_.DocumentChanged(uri);
}

void LanguageServer::DidClose(const TextDocumentParams& params) {
    documents_.Close(params.uri);
    workspace_.DocumentClosed(params.uri);
}

void LanguageServer::DidSave(const DidSaveParams& params) {
    if (params.text && documents_.IsOpen(params.uri)) {
        documents_.Change(params.uri, std::nullopt, *params.text, encoding_, 0);
        workspace_.DocumentChanged(params.uri);
    }
}

void LanguageServer::DidChangeWatchedFiles(const DidChangeWatchedFilesParams& params) {
    workspace_.DidChangeWatchedFiles(params);
}

void LanguageServer::DidChangeWorkspaceFolders(const DidChangeWorkspaceFoldersParams& params) {
    workspace_.DidChangeWorkspaceFolders(params);
}

void LanguageServer::TakeRefused(const RefusedMessage& refused) {
    if (!initialized_ || shutdown_ || refused.uri.empty()) {
        return;
    }
    const std::string why = "its text was not taken: " + refused.why;
    if (refused.method == "textDocument/didOpen") {
        documents_.Refuse(refused.uri, why);
        ReportOutOfStep(refused.uri);
    } else if (refused.method == "textDocument/didChange" &&
               documents_.MarkOutOfStep(refused.uri, why)) {
        ReportOutOfStep(refused.uri);
    }
}

void LanguageServer::ReportOutOfStep(const std::string& uri) {
    const std::string params = MessageParams(
        kErrorMessage, "kestrel-lsp: " + uri + " is out of step with the editor (" +
                           documents_.OutOfStep(uri) +
                           "). It gets no outline and no code actions until the editor sends "
                           "its whole text again or reopens it.");
    channel_.Notify("window/logMessage", params);
    if (!outOfStepShown_) {
        outOfStepShown_ = true;
        channel_.Notify("window/showMessage", params);
    }
}

void LanguageServer::SetTrace(const SetTraceParams& params) {
    SetTraceLevel(params.value);
}

void LanguageServer::SetTraceLevel(std::string_view value) {
    trace_ = value == "verbose"    ? TraceLevel::Verbose
             : value == "messages" ? TraceLevel::Messages
                                   : TraceLevel::Off;
}

void LanguageServer::Trace(std::string_view message) {
    if (trace_ == TraceLevel::Off) {
        return;
    }
    channel_.Notify("$/logTrace", JsonText([message](JsonWriter& w) {
                        w.StartObject();
                        WriteKey(w, "message");
                        WriteString(w, message);
                        w.EndObject();
                    }));
}

} // namespace kestrel::lsp
