#include "transport/MessageFraming.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace kestrel::lsp {

namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kContentLength = "content-length";

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == y;
           });
}

} // namespace

void MessageFramer::Feed(const char* data, size_t size, std::vector<Frame>& frames) {
    while (size > 0 && lost_.empty()) {
        if (skipping_ > 0) {
            const size_t dropped = std::min(skipping_, size);
            skipped_->Feed(data, dropped);
            skipping_ -= dropped;
            data += dropped;
            size -= dropped;
            if (skipping_ == 0) {
                frames.push_back(
                    {{}, {}, RefusedMessage{refusedWhy_, skipped_->Method(), skipped_->Uri()}});
                skipped_.reset();
            }
            continue;
        }
        if (bodyLength_ >= 0) {
            const size_t wanted = static_cast<size_t>(bodyLength_) - buffer_.size();
            const size_t taken = std::min(wanted, size);
            buffer_.append(data, taken);
            data += taken;
            size -= taken;
            if (static_cast<int64_t>(buffer_.size()) == bodyLength_) {
                frames.push_back({std::move(buffer_), {}, {}});
                buffer_ = std::string();
                bodyLength_ = -1;
            }
            continue;
        }
        // Reading a header block: take bytes up to its end, or all of them.
        const size_t before = buffer_.size();
        buffer_.append(data, size);
        const size_t end = buffer_.find(kHeaderEnd, before < 3 ? 0 : before - 3);
        if (end == std::string::npos) {
            data += size;
            size = 0;
            if (static_cast<size_t>(buffer_.size()) > kMaxHeader) {
                // Keep only what may begin the header block's end.
                if (!overlongHeader_) {
                    frames.push_back({{}, "header block too long", {}});
                    overlongHeader_ = true;
                }
                buffer_.erase(0, buffer_.size() - 3);
            }
            continue;
        }
        const size_t consumed = end + kHeaderEnd.size() - before;
        data += consumed;
        size -= consumed;
        buffer_.resize(end + kHeaderEnd.size());
        if (overlongHeader_) {
            overlongHeader_ = false;
            buffer_.clear();
            continue;
        }
        TakeHeader(frames);
    }
}

// Reads the header block in `buffer_`, and sets up the body it announces.
bool MessageFramer::TakeHeader(std::vector<Frame>& frames) {
    const std::string header = std::exchange(buffer_, std::string());
    int64_t length = -1;
    bool malformed = false;
    std::string_view rest = header;
    while (!rest.empty()) {
        const size_t lineEnd = rest.find('\n');
        const std::string_view field = Trimmed(rest.substr(0, lineEnd));
        rest = lineEnd == std::string_view::npos ? std::string_view() : rest.substr(lineEnd + 1);
        if (field.empty()) {
            continue;
        }
        const size_t colon = field.find(':');
        if (colon == std::string_view::npos) {
            malformed = true;
            continue;
        }
        if (!SameIgnoringCase(Trimmed(field.substr(0, colon)), kContentLength)) {
            continue; // Content-Type and any other field
        }
        const std::string_view value = Trimmed(field.substr(colon + 1));
        // Up to 19 digits, which any 64-bit count holds.
        if (value.empty() || value.size() > 19 ||
            !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            frames.push_back({{}, "invalid Content-Length", {}});
            return false;
        }
        uint64_t parsed = 0;
        for (const char c : value) {
            parsed = parsed * 10 + static_cast<uint64_t>(c - '0');
        }
        if (parsed > kMaxSkip) {
            lost_ = "Content-Length " + std::to_string(parsed) +
                    " is more than the server will read; the messages after it cannot be found";
            return false;
        }
        if (parsed > maxBody_) {
            refusedWhy_ = "Content-Length " + std::to_string(parsed) + " is over the limit of " +
                          std::to_string(maxBody_) + " bytes";
            frames.push_back({{}, refusedWhy_, {}});
            skipping_ = static_cast<size_t>(parsed);
            skipped_.emplace();
            return false;
        }
        length = static_cast<int64_t>(parsed);
    }
    if (length < 0) {
        frames.push_back({{}, malformed ? "malformed header" : "missing Content-Length", {}});
        return false;
    }
    bodyLength_ = length;
    // Room for the whole body at once (it is within the limit): a body of
    // megabytes grown a piece at a time would be copied again at each step.
    buffer_.reserve(static_cast<size_t>(length));
    if (length == 0) {
        frames.push_back({{}, {}, {}});
        bodyLength_ = -1;
    }
    return true;
}

std::string FrameHeader(size_t size) {
    return "Content-Length: " + std::to_string(size) + "\r\n\r\n";
}

std::string FrameMessage(std::string_view body) {
    std::string framed = FrameHeader(body.size());
    framed += body;
    return framed;
}

} // namespace kestrel::lsp
