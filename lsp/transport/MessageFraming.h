#pragma once

#include "transport/SkippedBodyScan.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::lsp {

// What little was read of a body too large to take, once it has streamed
// past: enough to tell which document lost a didOpen or didChange.
struct RefusedMessage {
    std::string why;    // as the frame's error said it
    std::string method; // empty when not found
    std::string uri;    // the first "uri" member, empty when not found
};

// What the framing makes of the bytes it was given: a message's body, a
// frame it had to refuse (the reason says why), or, after a refused body
// has been skipped, what it held.
struct Frame {
    std::string body;
    std::string error; // empty for a message
    std::optional<RefusedMessage> refused;
    bool IsError() const { return !error.empty(); }
};

// Splits a byte stream into messages framed by a header block that ends in
// an empty line and carries `Content-Length`. Memory stays bounded whatever
// the bytes: a body over `maxBody` is refused at once and skipped as it
// streams past (only its method and document are looked for), and a header
// block over `maxHeader` is dropped up to its end.
class MessageFramer {
public:
    static constexpr size_t kMaxBody = size_t{64} << 20;
    static constexpr size_t kMaxHeader = size_t{8} << 10;
    // A body longer than this is not even skipped: no client sends one, and
    // waiting for that many bytes would leave every later message
    // unanswered. The stream is lost (see Lost()).
    static constexpr size_t kMaxSkip = size_t{1} << 30;

    explicit MessageFramer(size_t maxBody = kMaxBody) : maxBody_(maxBody) {}

    // Takes the next bytes of the stream and appends every frame they
    // complete to `frames`.
    void Feed(const char* data, size_t size, std::vector<Frame>& frames);

    // Why no further message can be found in the stream (a Content-Length
    // over kMaxSkip); empty while messages can be found. Once lost, every
    // byte fed is dropped.
    const std::string& Lost() const { return lost_; }

    // Bytes held for a frame not yet complete.
    size_t Pending() const { return static_cast<size_t>(buffer_.size()); }

private:
    bool TakeHeader(std::vector<Frame>& frames);

    size_t maxBody_;
    std::string buffer_;
    int64_t bodyLength_ = -1;                // the body being read; -1 while reading a header
    size_t skipping_ = 0;                    // bytes of a refused body still to drop
    std::optional<SkippedBodyScan> skipped_; // what the refused body says of itself
    std::string refusedWhy_;
    bool overlongHeader_ = false;
    std::string lost_;
};

// The header block that frames a body of `size` bytes, and the whole frame.
std::string FrameHeader(size_t size);
std::string FrameMessage(std::string_view body);

} // namespace kestrel::lsp
