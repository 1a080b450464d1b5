#include "ReadToEnd.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <stdexcept>
#include <unistd.h>

namespace kestrel {

namespace {

constexpr size_t kFirstStreamBytes = size_t{64} << 10;
// Reads are at most this long, so that progress is heard often enough.
constexpr size_t kLongestRead = size_t{4} << 20;

ReadEnd Fail(std::string& bytes, ReadEnd end) {
    const int error = errno;
    bytes.clear();
    errno = error;
    return end;
}

} // namespace

ReadEnd ReadToEnd(int fd, std::string& bytes, size_t expected, size_t limit,
                  const std::function<bool(size_t read)>& progress) {
    size_t size = 0;
    try {
        // One byte more than expected lets the read that finds the end need
        // no growth, and one byte past the limit tells a source of exactly
        // the limit from a longer one.
        const size_t first = expected > 0 ? expected + 1 : kFirstStreamBytes;
        bytes.resize(std::min(first, limit + 1));
        for (;;) {
            if (size == bytes.size()) {
                if (size > limit) {
                    return Fail(bytes, ReadEnd::TooLarge);
                }
                bytes.resize(size <= limit / 2 ? size * 2 : limit + 1);
            }
            const size_t wanted = std::min(kLongestRead, bytes.size() - size);
            const ssize_t n = ::read(fd, bytes.data() + size, wanted);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return Fail(bytes, ReadEnd::Failed);
            }
            if (n == 0) {
                break;
            }
            size += static_cast<size_t>(n);
            if (progress && !progress(size)) {
                return Fail(bytes, ReadEnd::Cancelled);
            }
            // A short read that brings in the size the file reported meets
            // the end of a regular file: the read that would find nothing
            // more is spared.
            if (expected > 0 && size == expected && static_cast<size_t>(n) < wanted) {
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        return Fail(bytes, ReadEnd::TooLarge);
    } catch (const std::length_error&) {
        return Fail(bytes, ReadEnd::TooLarge);
    }
    bytes.resize(size);
    return ReadEnd::Complete;
}

} // namespace kestrel
