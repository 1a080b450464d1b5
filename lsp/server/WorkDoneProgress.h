#pragma once

#include "index/IndexProgress.h"
#include "transport/JsonRpcChannel.h"

#include <mutex>
#include <string>

namespace kestrel::lsp {

// Shows a round of indexing as the client's progress bar: once the client
// has accepted the token (`window/workDoneProgress/create`), sends `$/progress` begin, a report at
// each new percentage, and end, in that order whatever the timing of the indexer. If the client
// refuses the token, nothing is shown.
class WorkDoneProgress final : public IndexProgress {
public:
    WorkDoneProgress(JsonRpcChannel& channel, std::string token, std::string title);

    // The client's answer to `window/workDoneProgress/create` for the
    // token, which its owner sends.
    void TokenAnswered(bool accepted);

    void Begin() override;
    void Report(size_t done, size_t total) override;
    void End(size_t files, size_t symbols) override;

private:
    void SendBegin();
    void SendEnd();
    // Sends `$/progress` with the value that `write` writes.
    template <class Write> void SendProgress(Write&& write);

    JsonRpcChannel& channel_;
    const std::string token_;
    const std::string title_;

    std::mutex mutex_;
    enum class Token { Awaited, Accepted, Refused } tokenState_ = Token::Awaited;
    bool begun_ = false;     // the indexer began
    bool beginSent_ = false; // the client heard of it
    bool ended_ = false;
    int percentage_ = 0;
    std::string endMessage_;
};

} // namespace kestrel::lsp
