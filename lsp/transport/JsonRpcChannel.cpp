#include "transport/JsonRpcChannel.h"

namespace kestrel::lsp {

namespace {

// The start of every message, up to its `id` or `method`.
constexpr std::string_view kVersion = R"({"jsonrpc":"2.0",)";

} // namespace

std::string JoinedBody(std::span<const std::string_view> body) {
    std::string text;
    for (const std::string_view part : body) {
        text += part;
    }
    return text;
}

void JsonRpcChannel::Write(std::initializer_list<std::string_view> body) {
    std::lock_guard lock(sendMutex_);
    send_(std::span(body.begin(), body.size()));
}

void JsonRpcChannel::Notify(std::string_view method, std::string_view params) {
    std::string body(kVersion);
    body += R"("method":)";
    body += JsonText([method](JsonWriter& w) { WriteString(w, method); });
    body += R"(,"params":)";
    body += params;
    body += '}';
    Write({body});
}

void JsonRpcChannel::Request(std::string_view method, std::string_view params, Answered answered) {
    std::string id;
    {
        std::lock_guard lock(awaitedMutex_);
        id = "kestrel-" + std::to_string(++lastRequest_);
        awaited_.emplace(id, std::move(answered));
    }
    std::string body(kVersion);
    body += R"("id":")" + id + R"(","method":)";
    body += JsonText([method](JsonWriter& w) { WriteString(w, method); });
    body += R"(,"params":)";
    body += params;
    body += '}';
    Write({body});
}

bool JsonRpcChannel::TakeAnswer(const Json& response) {
    const std::string id(StringOf(Member(response, "id")));
    Answered answered;
    {
        std::lock_guard lock(awaitedMutex_);
        const auto found = awaited_.find(id);
        if (found == awaited_.end()) {
            return false;
        }
        answered = std::move(found->second);
        awaited_.erase(found);
    }
    answered(Member(response, "error") == nullptr);
    return true;
}

void JsonRpcChannel::Reply(std::string_view id, std::string_view result) {
    std::string head(kVersion);
    head += R"("id":)";
    head += id;
    head += R"(,"result":)";
    Write({head, result, "}"});
}

void JsonRpcChannel::ReplyError(std::string_view id, int code, std::string_view message) {
    std::string response(kVersion);
    response += R"("id":)";
    response += id;
    response += R"(,"error":)";
    response += JsonText([&](JsonWriter& w) {
        w.StartObject();
        WriteKey(w, "code");
        w.Int(code);
        WriteKey(w, "message");
        WriteString(w, message);
        w.EndObject();
    });
    response += '}';
    Write({response});
}

} // namespace kestrel::lsp
