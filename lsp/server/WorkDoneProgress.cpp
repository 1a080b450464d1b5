#include "server/WorkDoneProgress.h"

#include "server/CountedNoun.h"

namespace kestrel::lsp {

template <class Write> void WorkDoneProgress::SendProgress(Write&& write) {
    channel_.Notify("$/progress", JsonText([&](JsonWriter& w) {
                        w.StartObject();
                        WriteKey(w, "token");
                        WriteString(w, token_);
                        WriteKey(w, "value");
                        w.StartObject();
                        write(w);
                        w.EndObject();
                        w.EndObject();
                    }));
}

WorkDoneProgress::WorkDoneProgress(JsonRpcChannel& channel, std::string token, std::string title)
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
        const std::string message =
            std::to_string(done) + '/' + CountedNoun(static_cast<int64_t>(total), "file", "files");
        SendProgress([&](JsonWriter& w) {
            WriteKey(w, "kind");
            WriteString(w, "report");
            WriteKey(w, "percentage");
            w.Int(percentage);
            WriteKey(w, "message");
            WriteString(w, message);
        });
    }
}

void WorkDoneProgress::End(size_t files, size_t symbols) {
    std::lock_guard lock(mutex_);
    if (ended_) {
        return;
    }
    ended_ = true;
    endMessage_ = CountedNoun(static_cast<int64_t>(files), "file", "files") + ", " +
                  CountedNoun(static_cast<int64_t>(symbols), "symbol", "symbols");
    if (tokenState_ == Token::Accepted) {
        if (!beginSent_) {
            SendBegin();
        }
        SendEnd();
    }
}

void WorkDoneProgress::SendBegin() {
    beginSent_ = true;
    SendProgress([this](JsonWriter& w) {
        WriteKey(w, "kind");
        WriteString(w, "begin");
        WriteKey(w, "title");
        WriteString(w, title_);
        WriteKey(w, "cancellable");
        w.Bool(false);
        WriteKey(w, "percentage");
        w.Int(percentage_);
    });
}

void WorkDoneProgress::SendEnd() {
    SendProgress([this](JsonWriter& w) {
        WriteKey(w, "kind");
        WriteString(w, "end");
        WriteKey(w, "message");
        WriteString(w, endMessage_);
    });
}

} // namespace kestrel::lsp
