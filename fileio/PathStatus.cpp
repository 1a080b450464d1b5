#include "PathStatus.h"

#include <cerrno>
#include <sys/stat.h>

namespace kestrel {

PathStatus StatusOfPath(const std::string& path) {
    PathStatus status;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        status.error = errno;
        return status;
    }
    status.link = S_ISLNK(info.st_mode);
    if (status.link && ::stat(path.c_str(), &info) != 0) {
        status.error = errno;
        return status;
    }
    status.kind = KindOfMode(info.st_mode);
    return status;
}

} // namespace kestrel
