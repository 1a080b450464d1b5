#include "SourceFileBytes.h"

#include "FileDescriptor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

namespace {

// Storage above this is given back after each file rather than kept.
constexpr size_t kKeptCapacity = size_t{16} << 20;
constexpr size_t kFirstStreamCapacity = size_t{64} << 10;

} // namespace

FileResult SourceFileBytes::Read(const std::string& path) {
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (fd.Get() < 0) {
        size_ = 0;
        return {std::strerror(errno)};
    }
    return ReadDescriptor(fd.Get());
}

FileResult SourceFileBytes::ReadStandardInput() {
    return ReadDescriptor(STDIN_FILENO);
}

bool SourceFileBytes::Reserve(size_t capacity) {
    if (capacity <= capacity_) {
        return true;
    }
    std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity]);
    if (!grown) {
        return false;
    }
    if (size_ != 0) {
        std::memcpy(grown.get(), data_.get(), size_);
    }
    data_ = std::move(grown);
    capacity_ = capacity;
    return true;
}

FileResult SourceFileBytes::ReadDescriptor(int fd) {
    size_ = 0;
    if (capacity_ > kKeptCapacity) {
        data_.reset();
        capacity_ = 0;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return {std::strerror(errno)};
    }
    const bool regular = S_ISREG(info.st_mode);
    const bool stream = S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) || ::isatty(fd) == 1;
    if (S_ISDIR(info.st_mode)) {
        return {"Is a directory"};
    }
    if (!regular && !stream) {
        return {"not a regular file"};
    }
    // A regular file's size is a hint only (it may change while it is read,
    // and some report none): one byte more lets the read that finds the end
    // need no growth.
    const size_t limit = regular ? SIZE_MAX / 2 : kMaxStreamBytes;
    if (!Reserve(regular ? static_cast<size_t>(info.st_size) + 1 : kFirstStreamCapacity)) {
        return {"too large to hold in memory"};
    }
    for (;;) {
        if (size_ == capacity_) {
            if (size_ > limit) {
                size_ = 0;
                return {"too large (more than 256 MiB from a pipe or terminal)"};
            }
            // One byte past the limit tells a stream of exactly the limit
            // from a longer one.
            if (!Reserve(capacity_ <= limit / 2 ? capacity_ * 2 : limit + 1)) {
                size_ = 0;
                return {"too large to hold in memory"};
            }
        }
        const ssize_t n = ::read(fd, data_.get() + size_, capacity_ - size_);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            size_ = 0;
            return {std::strerror(error)};
        }
        if (n == 0) {
            return {};
        }
        size_ += static_cast<size_t>(n);
    }
}

} // namespace kestrel
