#include "FileIdentity.h"

#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

namespace {

std::optional<FileIdentity> IfRegular(const struct stat& status) {
    if (!S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

} // namespace

std::optional<FileIdentity> RegularFileIdentity(const std::string& path) {
    if (path == "-") {
        return RegularFileIdentity(STDIN_FILENO);
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return IfRegular(status);
}

std::optional<FileIdentity> RegularFileIdentity(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return std::nullopt;
    }
    return IfRegular(status);
}

} // namespace kestrel
