#include "OpenFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

int OpenForReading(const std::string& path, bool wait) {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | (wait ? 0 : O_NONBLOCK));
}

int CreateForWriting(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

namespace {

// The kind of the open file `fd` whose status is `info`: a device that is a
// terminal is told apart.
FileKind KindOf(int fd, const struct stat& info) {
    const FileKind kind = KindOfMode(info.st_mode);
    return kind == FileKind::Device && ::isatty(fd) == 1 ? FileKind::Terminal : kind;
}

void SetVersion(const struct stat& info, FileVersion& version) {
    version.size = info.st_size;
    version.modified = int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
}

} // namespace

bool StateOfOpenFile(int fd, FileKind& kind, FileVersion& version, bool position) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return false;
    }
    kind = KindOf(fd, info);
    SetVersion(info, version);
    version.position = position && kind == FileKind::Regular ? ::lseek(fd, 0, SEEK_CUR) : 0;
    return true;
}

} // namespace kestrel
