#pragma once

// A kestrel-lsp process and the client's side of its pipes, for tests that
// script whole sessions. Requests the server sends are answered as a client
// that accepts them would, and every message the server sends is kept.
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QUrl>
#include <functional>

class LspSession {
public:
    static constexpr int kWaitMs = 20000;

    // `childSetup` runs in the server's process before it starts.
    explicit LspSession(const QString& server, const std::function<void()>& childSetup = {}) {
        if (childSetup) {
            process_.setChildProcessModifier(childSetup);
        }
        process_.start(server, QStringList());
        process_.waitForStarted(kWaitMs);
    }
    ~LspSession() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(kWaitMs);
        }
    }

    static QString FileUri(const QString& path) { return QUrl::fromLocalFile(path).toString(); }

    // A message as it goes over the wire: the Content-Length header, then
    // the body.
    static QByteArray Frame(const QByteArray& body) {
        return "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }
    static QByteArray Frame(QJsonObject message) {
        message.insert("jsonrpc", "2.0");
        return Frame(QJsonDocument(message).toJson(QJsonDocument::Compact));
    }

    // Bytes to the server's input as they are, framed or not.
    void Write(const QByteArray& bytes) {
        process_.write(bytes);
        process_.waitForBytesWritten(kWaitMs);
    }

    // Whether server requests are answered with success (else an error).
    void AcceptRequests(bool accept) { accept_ = accept; }

    void Notify(const QString& method, const QJsonObject& params = {}) {
        Write(Frame(QJsonObject{{"method", method}, {"params", params}}));
    }
    int Send(const QString& method, const QJsonObject& params = {}) {
        Write(Frame(QJsonObject{{"id", ++lastId_}, {"method", method}, {"params", params}}));
        return lastId_;
    }

    // The next message from the server; an empty object after a timeout.
    // Requests from the server are answered on the way.
    QJsonObject Receive(int waitMs = kWaitMs) {
        for (;;) {
            const qsizetype end = pending_.indexOf("\r\n\r\n");
            if (end >= 0) {
                const QByteArray header = pending_.first(end).toLower();
                const qsizetype at = header.indexOf("content-length:");
                const int length = header.mid(at + 15).trimmed().toInt();
                if (pending_.size() >= end + 4 + length) {
                    const QJsonObject message =
                        QJsonDocument::fromJson(pending_.mid(end + 4, length)).object();
                    pending_.remove(0, end + 4 + length);
                    received_.append(message);
                    if (message.contains("method") && message.contains("id")) {
                        Answer(message.value("id"));
                    }
                    return message;
                }
            }
            if (!process_.waitForReadyRead(waitMs)) {
                return {};
            }
            pending_ += process_.readAllStandardOutput();
        }
    }
    // The answer to request `id`.
    QJsonObject Answer(int id) {
        for (QJsonObject message = Receive(); !message.isEmpty(); message = Receive()) {
            if (message.value("id") == QJsonValue(id) && !message.contains("method")) {
                return message;
            }
        }
        return {};
    }
    QJsonValue Result(const QString& method, const QJsonObject& params = {}) {
        return Answer(Send(method, params)).value("result");
    }
    // Reads until a message that `wanted` takes; false after a timeout.
    template <class Predicate> bool WaitFor(Predicate wanted) {
        for (QJsonObject message = Receive(); !message.isEmpty(); message = Receive()) {
            if (wanted(message)) {
                return true;
            }
        }
        return false;
    }

    QJsonObject Initialize(const QJsonObject& params) {
        QJsonObject withDefaults = params;
        withDefaults.insert("processId", QJsonValue::Null);
        const QJsonObject result = Result("initialize", withDefaults).toObject();
        Notify("initialized");
        return result;
    }
    void Open(const QString& uri, const QString& text) {
        Notify("textDocument/didOpen",
               {{"textDocument",
                 QJsonObject{
                     {"uri", uri}, {"languageId", "pascal"}, {"version", 1}, {"text", text}}}});
    }

    QJsonArray Symbols(const QString& uri) {
        return Result("textDocument/documentSymbol", {{"textDocument", QJsonObject{{"uri", uri}}}})
            .toArray();
    }

    // The exit code once the server has ended by itself (after its input
    // closes, when `closeInput`); -1 when it did not end normally.
    int ExitCode(bool closeInput) {
        if (closeInput) {
            process_.closeWriteChannel();
        }
        if (!process_.waitForFinished(kWaitMs) || process_.exitStatus() != QProcess::NormalExit) {
            return -1;
        }
        return process_.exitCode();
    }

    // What the server wrote to standard error since the last call.
    QByteArray ErrorOutput() { return process_.readAllStandardError(); }

    qint64 ProcessId() const { return process_.processId(); }

    // Every message the server sent so far.
    const QList<QJsonObject>& Received() const { return received_; }

private:
    void Answer(const QJsonValue& id) {
        if (accept_) {
            Write(Frame(QJsonObject{{"id", id}, {"result", QJsonValue::Null}}));
        } else {
            Write(Frame(QJsonObject{
                {"id", id},
                {"error", QJsonObject{{"code", -32601}, {"message", "not supported"}}}}));
        }
    }

    QProcess process_;
    QByteArray pending_;
    QList<QJsonObject> received_;
    int lastId_ = 0;
    bool accept_ = true;
};
