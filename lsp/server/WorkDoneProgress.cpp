#include "server/WorkDoneProgress.h"

#include "server/CountedNoun.h"

namespace kestrel::lsp {

WorkDoneProgress::WorkDoneProgress(JsonRpcChannel& channel, QString token, QString title)
    : channel_(channel), token_(std::move(token)), title_(std::move(title)) {}

void WorkDoneProgress::TokenAnswered(bool accepted) {
    std::lock_guard lock(mutex_);
    if (tokenState_ != Token::Awaited) {
        return;
    }
    tokenState_ = accepted ? Token::Accepted : Token::Refused;
    if (accepted && begun_) {
        SendBegin();
        if (ended_) {
            SendEnd();
        }
    }
}

void WorkDoneProgress::Begin() {
    std::lock_guard lock(mutex_);
    begun_ = true;
    if (tokenState_ == Token::Accepted) {
        SendBegin();
    }
}

void WorkDoneProgress::Report(size_t done, size_t total) {
    const int percentage = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    std::lock_guard lock(mutex_);
    if (percentage <= percentage_ || ended_) {
        return;
    }
    percentage_ = percentage;
    if (tokenState_ == Token::Accepted && beginSent_) {
        SendProgress(QJsonObject({{"kind", "report"},
                                  {"percentage", percentage},
                                  {"message", QStringLiteral("%1/%2").arg(done).arg(CountedNoun(
                                                  static_cast<qint64>(total), "file", "files"))}}));
    }
}

void WorkDoneProgress::End(size_t files, size_t symbols) {
    std::lock_guard lock(mutex_);
    if (ended_) {
        return;
    }
    ended_ = true;
    endMessage_ = CountedNoun(static_cast<qint64>(files), "file", "files") + QStringLiteral(", ") +
                  CountedNoun(static_cast<qint64>(symbols), "symbol", "symbols");
    if (tokenState_ == Token::Accepted) {
        if (!beginSent_) {
            SendBegin();
        }
        SendEnd();
    }
}

void WorkDoneProgress::SendBegin() {
    beginSent_ = true;
    SendProgress(QJsonObject({{"kind", "begin"},
                              {"title", title_},
                              {"cancellable", false},
                              {"percentage", percentage_}}));
}

void WorkDoneProgress::SendEnd() {
    SendProgress(QJsonObject({{"kind", "end"}, {"message", endMessage_}}));
}

void WorkDoneProgress::SendProgress(const QJsonObject& value) {
    channel_.Notify(QStringLiteral("$/progress"), {{"token", token_}, {"value", value}});
}

} // namespace kestrel::lsp
