#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <functional>
#include <mutex>

namespace kestrel::lsp {

// The one way out to the client: every JSON-RPC message the server sends is
// written here, one message at a time whichever thread sends it. It also
// keeps the server's own requests until the client answers them.
class JsonRpcChannel {
public:
    // Writes one message body to the client (framing it is the caller's).
    using Send = std::function<void(const QByteArray& body)>;
    using Answered = std::function<void(bool accepted)>;

    explicit JsonRpcChannel(Send send) : send_(std::move(send)) {}
    JsonRpcChannel(const JsonRpcChannel&) = delete;
    JsonRpcChannel& operator=(const JsonRpcChannel&) = delete;

    void Notify(const QString& method, const QJsonObject& params);
    // Sends a request; `answered` hears whether the client's answer was a
    // success, when it comes.
    void Request(const QString& method, const QJsonObject& params, Answered answered);
    // Hands a response from the client to the request it answers; false
    // when it answers no request of ours.
    bool TakeAnswer(const QJsonObject& response);

    // Answers the client's request `id` with `result`, compact JSON text.
    void Reply(const QJsonValue& id, const QByteArray& result);
    void ReplyError(const QJsonValue& id, int code, const QString& message);

private:
    void Write(const QByteArray& body);

    Send send_;
    std::mutex sendMutex_;
    std::mutex awaitedMutex_;
    int lastRequest_ = 0;
    QHash<QString, Answered> awaited_; // our requests by id
};

// Any JSON value as compact text.
QByteArray JsonText(const QJsonValue& value);

} // namespace kestrel::lsp
