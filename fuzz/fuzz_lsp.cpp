// Arbitrary bytes as the server's standard input: the framing cuts them at
// places the input chooses, and every frame goes through the dispatcher.
// Every answer must be a well-framed JSON object.
#include "protocol/Json.h"
#include "server/LanguageServer.h"
#include "transport/MessageFraming.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrel::lsp;
    if (size == 0) {
        return 0;
    }
    // The first byte picks the size of the reads, so frames split anywhere.
    const size_t chunk = 1 + data[0] % 64;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    size -= 1;

    // Workspace folders that the input names are not walked: the target is
    // the framing and the dispatcher, not the file system.
    LanguageServer server(
        [](std::span<const std::string_view> parts) {
            const std::string body = JoinedBody(parts);
            JsonDocument json;
            std::string error;
            if (!ParseJson(body, json, error) || !json.IsObject()) {
                std::abort();
            }
        },
        [](const std::string&, const SourceTreeVisitor&, const std::atomic<bool>&) {});
    // A small limit, so that refusing a large body is reached too.
    MessageFramer framer(4096);
    std::vector<Frame> frames;
    for (size_t at = 0; at < size && !server.ExitRequested(); at += chunk) {
        framer.Feed(bytes + at, std::min(chunk, size - at), frames);
        server.Handle(frames);
        frames.clear();
        if (framer.Pending() > 4096 + MessageFramer::kMaxHeader + chunk) {
            std::abort(); // memory must stay bounded
        }
    }
    return 0;
}
