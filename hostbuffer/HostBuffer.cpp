#include "HostBuffer.h"

#include "FileDescriptor.h"
#include "ReadToEnd.h"
#include "SourceMarks.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

namespace {

std::string ErrnoText() {
    return std::strerror(errno);
}

// Number of CR LF pairs in `bytes` (each LF of a buffer follows a CR only
// where the pair is counted).
size_t CountLineEnds(std::string_view bytes) {
    size_t n = 0;
    for (size_t i = 1; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && bytes[i - 1] == '\r') {
            ++n;
        }
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
    // The unedited head and tail of the buffer keep their own line ends; the
    // region between them is new text.
    const std::string_view loaded = buffer.bytes;
    const size_t limit = std::min(loaded.size(), current.size());
    size_t head = 0;
    while (head < limit && loaded[head] == current[head]) {
        ++head;
    }
    size_t tail = 0;
    while (tail < limit - head &&
           loaded[loaded.size() - 1 - tail] == current[current.size() - 1 - tail]) {
        ++tail;
    }
    // A pair cut by an edge belongs to the edited region.
    const size_t headEnds = CountLineEnds(current.substr(0, head));
    const size_t tailEnds = CountLineEnds(current.substr(current.size() - tail));
    const size_t loadedEnds = buffer.bareLineFeeds.size();
    const bool preferBare = buffer.PrefersBareLineFeeds();

    std::string out;
    out.reserve(current.size() + 3);
    if (buffer.hadByteOrderMark) {
        out += kUtf8ByteOrderMark;
    }
    const size_t totalEnds = CountLineEnds(current);
    size_t ordinal = 0;
    size_t start = 0;
    for (;;) {
        const size_t lf = current.find('\n', start);
        if (lf == std::string_view::npos) {
            out.append(current.substr(start));
            break;
        }
        if (lf == 0 || current[lf - 1] != '\r') {
            out.append(current.substr(start, lf + 1 - start));
            start = lf + 1;
            continue;
        }
        bool bare = preferBare;
        if (ordinal < headEnds && ordinal < loadedEnds) {
            bare = buffer.bareLineFeeds[ordinal];
        } else if (totalEnds - ordinal <= tailEnds && totalEnds - ordinal <= loadedEnds) {
            bare = buffer.bareLineFeeds[loadedEnds - (totalEnds - ordinal)];
        }
        out.append(current.substr(start, lf - 1 - start));
        out += bare ? "\n" : "\r\n";
        ++ordinal;
        start = lf + 1;
    }
    return out;
}

FileResult ReadFileBytes(const std::string& path, std::string& bytes) {
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.IsOpen()) {
        return {ErrnoText()};
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
        return {ErrnoText()};
    }
    if (S_ISDIR(info.st_mode)) {
        return {"Is a directory"};
    }
    const size_t expected = S_ISREG(info.st_mode) ? static_cast<size_t>(info.st_size) : 0;
    switch (ReadToEnd(fd.Get(), bytes, expected, SIZE_MAX / 2)) {
    case ReadEnd::Complete:
        return {};
    case ReadEnd::Failed:
        return {ErrnoText()};
    case ReadEnd::TooLarge:
    case ReadEnd::Cancelled:
        break;
    }
    return {"too large to hold in memory"};
}

} // namespace kestrel
