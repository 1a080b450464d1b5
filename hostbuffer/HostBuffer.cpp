#include "HostBuffer.h"

#include "SourceMarks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace kestrel {

namespace {

// Number of CR LF pairs in `bytes` (each LF of a buffer follows a CR only
// where the pair is counted). Branch-free, so that it runs at memory speed on
// files of many megabytes.
size_t CountLineEnds(std::string_view bytes) {
    size_t n = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t i = 1; i < bytes.size(); ++i) {
        n += static_cast<size_t>((p[i] == '\n') & (p[i - 1] == '\r'));
    }
    return n;
}

// Length of the common start of `a` and `b`, compared a block at a time.
size_t CommonPrefix(std::string_view a, std::string_view b) {
    constexpr size_t kBlock = 4096;
    const size_t limit = std::min(a.size(), b.size());
    size_t at = 0;
    while (limit - at >= kBlock && std::memcmp(a.data() + at, b.data() + at, kBlock) == 0) {
        at += kBlock;
    }
    while (at < limit && a[at] == b[at]) {
        ++at;
    }
    return at;
}

// Length of the common end of `a` and `b`, at most `limit` bytes.
size_t CommonSuffix(std::string_view a, std::string_view b, size_t limit) {
    constexpr size_t kBlock = 4096;
    const char* aEnd = a.data() + a.size();
    const char* bEnd = b.data() + b.size();
    size_t n = 0;
    while (limit - n >= kBlock && std::memcmp(aEnd - n - kBlock, bEnd - n - kBlock, kBlock) == 0) {
        n += kBlock;
    }
    while (n < limit &&
           aEnd[-1 - static_cast<std::ptrdiff_t>(n)] == bEnd[-1 - static_cast<std::ptrdiff_t>(n)]) {
        ++n;
    }
    return n;
}

} // namespace

bool HostBuffer::PrefersBareLineFeeds() const {
    const auto bare = std::count(bareLineFeeds.begin(), bareLineFeeds.end(), true);
    return bare * 2 > static_cast<std::ptrdiff_t>(bareLineFeeds.size());
}

HostBuffer BufferFromFileBytes(std::string_view fileBytes) {
    HostBuffer buffer;
    buffer.hadByteOrderMark = StripByteOrderMark(fileBytes);
    buffer.encoding = DetectEncoding(fileBytes);
    const size_t lineFeeds =
        static_cast<size_t>(std::count(fileBytes.begin(), fileBytes.end(), '\n'));
    buffer.bytes.reserve(fileBytes.size() + lineFeeds);
    buffer.bareLineFeeds.reserve(lineFeeds);
    size_t start = 0;
    for (;;) {
        const size_t lf = fileBytes.find('\n', start);
        if (lf == std::string_view::npos) {
            buffer.bytes.append(fileBytes.substr(start));
            break;
        }
        const bool bare = lf == 0 || fileBytes[lf - 1] != '\r';
        buffer.bytes.append(fileBytes.substr(start, lf - start));
        if (bare) {
            buffer.bytes.push_back('\r');
        }
        buffer.bytes.push_back('\n');
        buffer.bareLineFeeds.push_back(bare);
        start = lf + 1;
    }
    return buffer;
}

std::string FileBytesFromBuffer(const HostBuffer& buffer, std::string_view current) {
    std::string out;
    FileBytesFromBuffer(buffer, current, out);
    return out;
}

void FileBytesFromBuffer(const HostBuffer& buffer, std::string_view current, std::string& out) {
    out.clear();
    const size_t most = current.size() + kUtf8ByteOrderMark.size();
    if (out.capacity() < most) {
        // Room for some typing, for when the memory is reused.
        out.reserve(most + most / 256);
    }
    if (buffer.hadByteOrderMark) {
        out += kUtf8ByteOrderMark;
    }
    // A file without bare LFs gets CR LF everywhere, edited or not: the
    // buffer as it is.
    const auto& bareLineFeeds = buffer.bareLineFeeds;
    if (std::find(bareLineFeeds.begin(), bareLineFeeds.end(), true) == bareLineFeeds.end()) {
        out.append(current);
        return;
    }
    // The unedited head and tail of the buffer keep their own line ends; the
    // region between them is new text.
    const std::string_view loaded = buffer.bytes;
    const size_t head = CommonPrefix(loaded, current);
    const size_t tail =
        CommonSuffix(loaded, current, std::min(loaded.size(), current.size()) - head);
    // A pair cut by an edge belongs to the edited region: a pair is in the
    // head where its LF is, in the tail where its CR is.
    const size_t tailStart = current.size() - tail;
    const size_t tailEnds = CountLineEnds(current.substr(tailStart));
    const size_t loadedEnds = bareLineFeeds.size();
    const bool preferBare = buffer.PrefersBareLineFeeds();

    // The buffer is copied in runs; a run ends only where a CR LF becomes a
    // bare LF, by leaving out its CR.
    size_t run = 0;
    size_t ordinal = 0;
    // Ordinal of the first pair in the tail, once reached.
    size_t tailOrdinal = SIZE_MAX;
    for (size_t lf = current.find('\n'); lf != std::string_view::npos;
         lf = current.find('\n', lf + 1)) {
        if (lf == 0 || current[lf - 1] != '\r') {
            continue;
        }
        bool bare = preferBare;
        if (lf < head && ordinal < loadedEnds) {
            bare = bareLineFeeds[ordinal];
        } else if (lf - 1 >= tailStart) {
            if (tailOrdinal == SIZE_MAX) {
                tailOrdinal = ordinal;
            }
            // Counted from the end, the tail's pairs are the loaded buffer's.
            const size_t fromEnd = tailEnds - (ordinal - tailOrdinal);
            if (fromEnd <= loadedEnds) {
                bare = bareLineFeeds[loadedEnds - fromEnd];
            }
        }
        if (bare) {
            out.append(current.substr(run, lf - 1 - run));
            run = lf;
        }
        ++ordinal;
    }
    out.append(current.substr(run));
}

} // namespace kestrel
