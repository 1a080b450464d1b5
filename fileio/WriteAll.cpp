#include "WriteAll.h"

#include <cerrno>
#include <unistd.h>

namespace kestrel {

namespace {

// `write` writes at most `size` bytes from `data` at `done` bytes in, and
// returns what write(2) or pwrite(2) returned.
template <class Write> bool WriteEvery(std::string_view bytes, Write write) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(bytes.data() + done, bytes.size() - done, done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

bool WriteAll(int fd, std::string_view bytes) {
    return WriteEvery(
        bytes, [fd](const char* data, size_t size, size_t) { return ::write(fd, data, size); });
}

#ifndef _WIN32
bool WriteAllAt(int fd, std::string_view bytes, off_t at) {
    return WriteEvery(bytes, [fd, at](const char* data, size_t size, size_t done) {
        return ::pwrite(fd, data, size, at + static_cast<off_t>(done));
    });
}
#endif

} // namespace kestrel
