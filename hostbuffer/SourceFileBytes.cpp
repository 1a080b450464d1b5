#include "SourceFileBytes.h"

#include "FileDescriptor.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

namespace {

// Storage above this is given back after each file rather than kept.
constexpr size_t kKeptCapacity = size_t{16} << 20;

} // namespace

FileResult SourceFileBytes::Read(const std::string& path) {
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd.IsOpen()) {
        bytes_.clear();
        return {std::strerror(errno)};
    }
    return ReadDescriptor(fd.Get());
}

FileResult SourceFileBytes::ReadStandardInput() {
    return ReadDescriptor(STDIN_FILENO);
}

FileResult SourceFileBytes::ReadDescriptor(int fd) {
    bytes_.clear();
    if (bytes_.capacity() > kKeptCapacity) {
        std::string().swap(bytes_);
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
    switch (ReadToEnd(fd, bytes_, regular ? static_cast<size_t>(info.st_size) : 0,
                      regular ? SIZE_MAX / 2 : kMaxStreamBytes)) {
    case ReadEnd::Complete:
        return {};
    case ReadEnd::Failed:
        return {std::strerror(errno)};
    case ReadEnd::TooLarge:
    case ReadEnd::Cancelled:
        break;
    }
    return {regular ? "too large to hold in memory"
                    : "too large (more than 256 MiB from a pipe or terminal)"};
}

} // namespace kestrel
