#include "transport/MessageFraming.h"

#include <algorithm>
#include <utility>

namespace kestrel::lsp {

namespace {

constexpr QByteArrayView kHeaderEnd = "\r\n\r\n";
constexpr QByteArrayView kContentLength = "content-length";

} // namespace

void MessageFramer::Feed(const char* data, size_t size, std::vector<Frame>& frames) {
    while (size > 0 && lost_.isEmpty()) {
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
            buffer_.append(data, static_cast<qsizetype>(taken));
            data += taken;
            size -= taken;
            if (buffer_.size() == bodyLength_) {
                frames.push_back({std::move(buffer_), {}, {}});
                buffer_ = QByteArray();
                bodyLength_ = -1;
            }
            continue;
        }
        // Reading a header block: take bytes up to its end, or all of them.
        const qsizetype before = buffer_.size();
        buffer_.append(data, static_cast<qsizetype>(size));
        const qsizetype end = buffer_.indexOf(kHeaderEnd, std::max<qsizetype>(before - 3, 0));
        if (end < 0) {
            data += size;
            size = 0;
            if (static_cast<size_t>(buffer_.size()) > kMaxHeader) {
                // Keep only what may begin the header block's end.
                if (!overlongHeader_) {
                    frames.push_back({{}, QStringLiteral("header block too long"), {}});
                    overlongHeader_ = true;
                }
                buffer_.remove(0, buffer_.size() - 3);
            }
            continue;
        }
        const qsizetype consumed = end + kHeaderEnd.size() - before;
        data += consumed;
        size -= static_cast<size_t>(consumed);
        buffer_.truncate(end + kHeaderEnd.size());
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
    const QByteArray header = std::exchange(buffer_, QByteArray());
    qsizetype length = -1;
    bool malformed = false;
    for (const QByteArray& line : header.split('\n')) {
        const QByteArray field = line.trimmed();
        if (field.isEmpty()) {
            continue;
        }
        const qsizetype colon = field.indexOf(':');
        if (colon < 0) {
            malformed = true;
            continue;
        }
        if (field.first(colon).trimmed().toLower() != kContentLength) {
            continue; // Content-Type and any other field
        }
        const QByteArray value = field.sliced(colon + 1).trimmed();
        bool ok = !value.isEmpty() && std::all_of(value.begin(), value.end(),
                                                  [](char c) { return c >= '0' && c <= '9'; });
        const qulonglong parsed = ok ? value.toULongLong(&ok) : 0;
        if (!ok || value.size() > 19) {
            frames.push_back({{}, QStringLiteral("invalid Content-Length"), {}});
            return false;
        }
        if (parsed > kMaxSkip) {
            lost_ = QStringLiteral("Content-Length %1 is more than the server will read; the "
                                   "messages after it cannot be found")
                        .arg(parsed);
            return false;
        }
        if (parsed > maxBody_) {
            refusedWhy_ = QStringLiteral("Content-Length %1 is over the limit of %2 bytes")
                              .arg(parsed)
                              .arg(maxBody_);
            frames.push_back({{}, refusedWhy_, {}});
            skipping_ = static_cast<size_t>(parsed);
            skipped_.emplace();
            return false;
        }
        length = static_cast<qsizetype>(parsed);
    }
    if (length < 0) {
        frames.push_back({{},
                          malformed ? QStringLiteral("malformed header")
                                    : QStringLiteral("missing Content-Length"),
                          {}});
        return false;
    }
    bodyLength_ = length;
    if (length == 0) {
        frames.push_back({{}, {}, {}});
        bodyLength_ = -1;
    }
    return true;
}

QByteArray FrameMessage(const QByteArray& body) {
    QByteArray framed = "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
    framed += body;
    return framed;
}

} // namespace kestrel::lsp
