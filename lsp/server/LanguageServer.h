#pragma once

#include "documents/DocumentStore.h"
#include "protocol/Protocol.h"
#include "server/Navigator.h"
#include "server/OutlineAnswers.h"
#include "server/Workspace.h"
#include "transport/JsonRpcChannel.h"
#include "transport/MessageFraming.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QSet>

#include <functional>
#include <vector>

namespace kestrel::lsp {

// The dispatcher: answers the client's messages, one JSON-RPC body at a
// time, and sends its answers through `send` as message bodies.
class LanguageServer {
public:
    using Send = JsonRpcChannel::Send;

    // `send` is called from the server's background threads too, one
    // message at a time. `walk` lists a workspace folder's sources.
    explicit LanguageServer(Send send, SourceTreeWalk walk = WalkSourceTree);

    // Handles frames in the order they arrived. A request that a
    // `$/cancelRequest` among the same frames cancels is answered as
    // cancelled instead of being worked on.
    void Handle(const std::vector<Frame>& frames);

    // Set by the `exit` notification.
    bool ExitRequested() const { return exitRequested_; }
    // The exit code: 0 once `shutdown` was answered, 1 otherwise.
    int ExitCode() const { return shutdown_ ? 0 : 1; }

private:
    struct Message {
        QJsonObject json;
        QJsonValue id; // undefined for a notification
        QString method;
        std::optional<RefusedMessage> refused; // in place of a message too large to take
    };

    void HandleMessage(const Message& message, const QSet<QString>& cancelled);
    // The result of a request, as JSON text.
    QByteArray Request(const QString& method, const QJsonObject& params);
    void Notification(const QString& method, const QJsonObject& params);

    QJsonValue Initialize(const QJsonObject& params);
    QByteArray DocumentSymbols(const QJsonObject& params);
    QJsonValue CodeActions(const QJsonObject& params);
    void DidOpen(const QJsonObject& params);
    void DidChange(const QJsonObject& params);
    void DidSave(const QJsonObject& params);
    // A didOpen or didChange too large to take: its document is out of step.
    void TakeRefused(const RefusedMessage& refused);
    // Logs that a document went out of step, and shows it the first time.
    void ReportOutOfStep(const QString& uri);
    void SetTrace(const QJsonObject& params);

    std::shared_ptr<const TextDocument> Document(const QJsonObject& params, QString& uri) const;

    // A `$/logTrace` line, while the client has tracing on.
    void Trace(const QString& message);

    JsonRpcChannel channel_;
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
