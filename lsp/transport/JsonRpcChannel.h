#pragma once

#include "protocol/Json.h"

#include <functional>
#include <initializer_list>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kestrel::lsp {

// The one way out to the client: every JSON-RPC message the server sends is
// written here, one message at a time whichever thread sends it. It also
// keeps the server's own requests until the client answers them. Ids and
// parameters are given as JSON text.
class JsonRpcChannel {
public:
    // Writes one message body to the client (framing it is the caller's).
    // The body comes in parts, one after another: a result of megabytes is
    // sent where it stands, not copied behind the envelope around it.
    using Send = std::function<void(std::span<const std::string_view> body)>;
    using Answered = std::function<void(bool accepted)>;

    explicit JsonRpcChannel(Send send) : send_(std::move(send)) {}
    JsonRpcChannel(const JsonRpcChannel&) = delete;
    JsonRpcChannel& operator=(const JsonRpcChannel&) = delete;

    void Notify(std::string_view method, std::string_view params);
    // Sends a request; `answered` hears whether the client's answer was a
    // success, when it comes.
    void Request(std::string_view method, std::string_view params, Answered answered);
    // Hands a response from the client to the request it answers; false
    // when it answers no request of ours.
    bool TakeAnswer(const Json& response);

    // Answers the client's request `id` with `result`, compact JSON text.
    void Reply(std::string_view id, std::string_view result);
    void ReplyError(std::string_view id, int code, std::string_view message);

private:
    void Write(std::initializer_list<std::string_view> body);

    Send send_;
    std::mutex sendMutex_;
    std::mutex awaitedMutex_;
    int lastRequest_ = 0;
    std::unordered_map<std::string, Answered> awaited_; // our requests by id
};

// A body's parts as one text.
std::string JoinedBody(std::span<const std::string_view> body);

} // namespace kestrel::lsp
