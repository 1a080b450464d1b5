#include "transport/IncomingMessages.h"

#include "protocol/Protocol.h"

#include <charconv>

namespace kestrel::lsp {

namespace {

// A cancellation names its request by id; the key keeps number ids and
// string ids apart, and takes 1 and 1.0 as the same number.
std::string IdKey(const Json& id) {
    // Appended, not "s" + string: GCC 12 at -O3 takes that insert for an
    // overlapping copy and warns (-Wrestrict), which breaks a -Werror build.
    std::string key(1, id.IsString() ? 's' : 'n');
    if (id.IsString()) {
        return key.append(StringOf(&id));
    }
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, id.GetDouble()).ptr;
    return key.append(digits, end);
}

bool IsId(const Json* id) {
    return id && (id->IsString() || id->IsNumber());
}

const Json& EmptyObject() {
    static const Json kEmpty(rapidjson::kObjectType);
    return kEmpty;
}

// Checks one message's envelope.
IncomingMessage Envelope(std::shared_ptr<const JsonDocument> document) {
    IncomingMessage message;
    const Json& json = *document;
    const Json* id = Member(json, "id");
    const bool isRequest = id != nullptr;
    if (isRequest && !IsId(id)) {
        message.error = RequestError{InvalidRequest, "invalid id"};
        return message;
    }
    if (isRequest) {
        message.id = JsonText(*id);
    }
    const Json* method = Member(json, "method");
    if (!method) {
        if (!isRequest || (!Member(json, "result") && !Member(json, "error"))) {
            message.error = RequestError{InvalidRequest, "no method"};
        }
        if (isRequest) {
            // The client's answer to a request of ours.
            message.kind = IncomingMessage::Kind::Response;
            message.json = std::move(document);
        }
        return message;
    }
    const Json* params = Member(json, "params");
    if (StringOf(Member(json, "jsonrpc")) != "2.0" || !method->IsString() ||
        !(!params || params->IsNull() || params->IsObject() || params->IsArray())) {
        if (isRequest) {
            message.error = RequestError{InvalidRequest, "not a JSON-RPC 2.0 message"};
        }
        return message;
    }
    message.kind = isRequest ? IncomingMessage::Kind::Request : IncomingMessage::Kind::Notification;
    message.method = StringOf(method);
    // Some clients send "params": null for a method without parameters
    // (shutdown, exit), and positional parameters name nothing: both are
    // taken as no parameters.
    message.params = params && params->IsObject() ? params : &EmptyObject();
    message.json = std::move(document);
    return message;
}

} // namespace

std::vector<IncomingMessage> ReadMessages(std::vector<Frame> frames, JsonRpcChannel& channel) {
    std::vector<IncomingMessage> messages;
    messages.reserve(frames.size());
    std::unordered_set<std::string> cancelled;
    std::vector<std::string> requestKeys; // by message, for the requests
    for (Frame& frame : frames) {
        if (frame.refused) {
            IncomingMessage refused;
            refused.kind = IncomingMessage::Kind::Refused;
            refused.refused = frame.refused;
            messages.push_back(std::move(refused));
            requestKeys.emplace_back();
            continue;
        }
        if (frame.IsError()) {
            channel.ReplyError("null", ParseError, frame.error);
            continue;
        }
        // The document keeps the body its strings stand in.
        struct Parsed {
            std::string body;
            JsonDocument json;
        };
        const auto parsed = std::make_shared<Parsed>();
        parsed->body = std::move(frame.body);
        const std::shared_ptr<const JsonDocument> document(parsed, &parsed->json);
        std::string error;
        if (!ParseJsonInPlace(parsed->body, parsed->json, error)) {
            channel.ReplyError("null", ParseError, error);
            continue;
        }
        if (!document->IsObject()) {
            channel.ReplyError("null", InvalidRequest, "not a JSON-RPC message");
            continue;
        }
        const Json* id = Member(*document, "id");
        if (StringOf(Member(*document, "method")) == "$/cancelRequest") {
            const Json* cancelledId = Member(Member(*document, "params"), "id");
            if (IsId(cancelledId)) {
                cancelled.insert(IdKey(*cancelledId));
            }
        }
        requestKeys.push_back(IsId(id) ? IdKey(*id) : std::string());
        messages.push_back(Envelope(std::move(document)));
    }
    for (size_t i = 0; i < messages.size(); ++i) {
        messages[i].cancelled = messages[i].kind == IncomingMessage::Kind::Request &&
                                cancelled.contains(requestKeys[i]);
    }
    return messages;
}

} // namespace kestrel::lsp
