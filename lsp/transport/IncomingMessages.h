#pragma once

#include "protocol/Json.h"
#include "protocol/Protocol.h"
#include "transport/JsonRpcChannel.h"
#include "transport/MessageFraming.h"

#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace kestrel::lsp {

// One message from the client, its JSON-RPC envelope read and checked: a
// request, a notification, a response to a request of ours, one whose
// envelope is unsound (to be answered with `error`, or dropped), or in
// place of a message too large to take, what little was read of it.
struct IncomingMessage {
    enum class Kind { Request, Notification, Response, Unsound, Refused } kind = Kind::Unsound;
    std::shared_ptr<const JsonDocument> json;
    std::string id = "null"; // a request's id as JSON text, to answer with
    // The error the message is answered with before anything else is done
    // with it (a response that is neither a result nor an error gets one).
    std::optional<RequestError> error;
    std::string method;
    const Json* params = nullptr; // its params object; an empty object for none
    bool cancelled = false;       // a `$/cancelRequest` among the same frames names it
    std::optional<RefusedMessage> refused;
};

// Reads the frames that arrived together into messages, in order. Frames
// that are not JSON objects are answered with the error they call for
// through `channel` at once, and leave no message; the other envelopes'
// errors are left to be answered in their turn.
std::vector<IncomingMessage> ReadMessages(std::vector<Frame> frames, JsonRpcChannel& channel);

} // namespace kestrel::lsp
