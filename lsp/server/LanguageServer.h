#pragma once

#include "documents/DocumentStore.h"
#include "protocol/Params.h"
#include "protocol/Protocol.h"
#include "server/Navigator.h"
#include "server/OutlineAnswers.h"
#include "server/Workspace.h"
#include "transport/IncomingMessages.h"
#include "transport/JsonRpcChannel.h"
#include "transport/MessageFraming.h"

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrel::lsp {

// The dispatcher: answers the client's messages, one JSON-RPC body at a
// time, and sends its answers through `send` as message bodies. Each method
// is bound once to a handler that takes its typed parameters.
class LanguageServer {
public:
    using Send = JsonRpcChannel::Send;

    // `send` is called from the server's background threads too, one
    // message at a time. `walk` lists a workspace folder's sources.
    explicit LanguageServer(Send send, SourceTreeWalk walk = WalkSourceTree);

    // Handles frames in the order they arrived. A request that a
    // `$/cancelRequest` among the same frames cancels is answered as
    // cancelled instead of being worked on.
    void Handle(std::vector<Frame> frames);

    // Set by the `exit` notification.
    bool ExitRequested() const { return exitRequested_; }
    // The exit code: 0 once `shutdown` was answered, 1 otherwise.
    int ExitCode() const { return shutdown_ ? 0 : 1; }

private:
    using RequestHandler = std::function<JsonResult(const Json& params)>;
    using NotificationHandler = std::function<void(const Json& params)>;

    // Binds `method` to a member that takes its parameters read into `Params`.
    template <class Params, class Result>
    void BindRequest(std::string method, Result (LanguageServer::*handler)(const Params&));
    template <class Params>
    void BindNotification(std::string method, void (LanguageServer::*handler)(const Params&));

    void HandleMessage(const IncomingMessage& message);
    JsonResult Request(const std::string& method, const Json& params);
    void Notification(const std::string& method, const Json& params);

    std::string Initialize(const InitializeParams& params);
    std::string Shutdown(const NoParams& params);
    JsonResult DocumentSymbols(const TextDocumentParams& params);
    std::string CodeActions(const CodeActionParams& params);
    std::string Rows(const TextDocumentParams& params);
    std::string Counterparts(const TextDocumentPositionParams& params);
    std::string Definition(const TextDocumentPositionParams& params);
    std::string Hover(const TextDocumentPositionParams& params);
    std::string FoldingRanges(const TextDocumentParams& params);
    std::string WorkspaceSymbols(const WorkspaceSymbolParams& params);
    void Initialized(const NoParams& params);
    void DidOpen(const DidOpenParams& params);
    void DidChange(const DidChangeParams& params);
    void DidClose(const TextDocumentParams& params);
    void DidSave(const DidSaveParams& params);
    void DidChangeWatchedFiles(const DidChangeWatchedFilesParams& params);
    void DidChangeWorkspaceFolders(const DidChangeWorkspaceFoldersParams& params);
    void SetTrace(const SetTraceParams& params);
    // A didOpen or didChange too large to take: its document is out of step.
    void TakeRefused(const RefusedMessage& refused);
    // Logs that a document went out of step, and shows it the first time.
    void ReportOutOfStep(const std::string& uri);
    void SetTraceLevel(std::string_view value);

    std::shared_ptr<const TextDocument> Document(const std::string& uri) const;

    // A `$/logTrace` line, while the client has tracing on.
    void Trace(std::string_view message);

    JsonRpcChannel channel_;
    std::unordered_map<std::string, RequestHandler> requests_;
    std::unordered_map<std::string, NotificationHandler> notifications_;
    OutlineAnswers outlines_;
    DocumentStore documents_;
    PositionEncoding encoding_ = PositionEncoding::Utf16;
    enum class TraceLevel { Off, Messages, Verbose } trace_ = TraceLevel::Off;
    bool initialized_ = false;
    bool shutdown_ = false;
    bool exitRequested_ = false;
    bool outOfStepShown_ = false;
    // Last, so that its threads end before anything they use goes.
    Workspace workspace_;
    Navigator navigator_{documents_, workspace_};
};

} // namespace kestrel::lsp
