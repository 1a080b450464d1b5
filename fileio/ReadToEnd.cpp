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

ReadEnd Fail(size_t& size, ReadEnd end) {
    size = 0;
    return end;
}

} // namespace

ReadEnd ReadIntoFront(int fd, std::string& storage, size_t& size, size_t expected, size_t limit,
                      const std::function<bool(size_t read)>& progress) {
    size = 0;
    try {
        // One byte more than expected lets the read that finds the end need
        // no growth, and one byte past the limit tells a source of exactly
        // the limit from a longer one. Room the storage has already is
        // taken as it stands, up to that byte past the limit.
        const size_t first = expected > 0 ? expected + 1 : kFirstStreamBytes;
        size_t room = std::min(std::max(first, storage.size()), limit + 1);
        if (storage.size() < room) {
            storage.resize(room);
        }
        for (;;) {
            if (size == room) {
                if (size > limit) {
                    return Fail(size, ReadEnd::TooLarge);
                }
                room = size <= limit / 2 ? size * 2 : limit + 1;
                if (storage.size() < room) {
                    storage.resize(room);
                }
            }
            const size_t wanted = std::min(kLongestRead, room - size);
            const ssize_t n = ::read(fd, storage.data() + size, wanted);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return Fail(size, ReadEnd::Failed);
            }
            if (n == 0) {
                break;
            }
            size += static_cast<size_t>(n);
            if (progress && !progress(size)) {
                return Fail(size, ReadEnd::Cancelled);
            }
            // A short read that brings in the size the file reported meets
            // the end of a regular file: the read that would find nothing
            // more is spared.
            if (expected > 0 && size == expected && static_cast<size_t>(n) < wanted) {
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        return Fail(size, ReadEnd::TooLarge);
    } catch (const std::length_error&) {
        return Fail(size, ReadEnd::TooLarge);
    }
    return ReadEnd::Complete;
}

ReadEnd ReadToEnd(int fd, std::string& bytes, size_t expected, size_t limit,
                  const std::function<bool(size_t read)>& progress) {
    size_t size = 0;
    const ReadEnd end = ReadIntoFront(fd, bytes, size, expected, limit, progress);
    // Shortening keeps errno, which says why a read failed.
    bytes.resize(size);
    return end;
}

} // namespace kestrel
