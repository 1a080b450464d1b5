#include "transport/JsonRpcChannel.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace kestrel::lsp {

namespace {

QLatin1StringView Key(const char* key) {
    return QLatin1StringView(key);
}

QByteArray Compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

QByteArray JsonText(const QJsonValue& value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.sliced(1, array.size() - 2);
}

void JsonRpcChannel::Write(const QByteArray& body) {
    std::lock_guard lock(sendMutex_);
    send_(body);
}

void JsonRpcChannel::Notify(const QString& method, const QJsonObject& params) {
    Write(Compact({{Key("jsonrpc"), QStringLiteral("2.0")},
                   {Key("method"), method},
                   {Key("params"), params}}));
}

void JsonRpcChannel::Request(const QString& method, const QJsonObject& params, Answered answered) {
    QString id;
    {
        std::lock_guard lock(awaitedMutex_);
        id = QStringLiteral("kestrel-%1").arg(++lastRequest_);
        awaited_.insert(id, std::move(answered));
    }
    Write(Compact({{Key("jsonrpc"), QStringLiteral("2.0")},
                   {Key("id"), id},
                   {Key("method"), method},
                   {Key("params"), params}}));
}

bool JsonRpcChannel::TakeAnswer(const QJsonObject& response) {
    const QString id = response.value(Key("id")).toString();
    Answered answered;
    {
        std::lock_guard lock(awaitedMutex_);
        answered = awaited_.take(id);
    }
    if (!answered) {
        return false;
    }
    answered(!response.contains(Key("error")));
    return true;
}

void JsonRpcChannel::Reply(const QJsonValue& id, const QByteArray& result) {
    QByteArray response;
    response.reserve(result.size() + 48);
    response += R"({"jsonrpc":"2.0","id":)";
    response += JsonText(id);
    response += R"(,"result":)";
    response += result;
    response += '}';
    Write(response);
}

void JsonRpcChannel::ReplyError(const QJsonValue& id, int code, const QString& message) {
    Write(Compact({{Key("jsonrpc"), QStringLiteral("2.0")},
                   {Key("id"), id},
                   {Key("error"), QJsonObject{{Key("code"), code}, {Key("message"), message}}}}));
}

} // namespace kestrel::lsp
