#include "MappedFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

MappedFile::~MappedFile() {
    if (mapping_ != nullptr) {
        ::munmap(mapping_, mappedSize_);
    }
}

FileResult MappedFile::Open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {std::strerror(errno)};
    }
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (regular && info.st_size > 0) {
        void* p = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ,
                         MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (p != MAP_FAILED) {
            ::close(fd);
            mapping_ = p;
            mappedSize_ = static_cast<size_t>(info.st_size);
            bytes_ = std::string_view(static_cast<const char*>(p), mappedSize_);
            return {};
        }
    }
    ::close(fd);
    FileResult result = ReadFileBytes(path, fallback_);
    bytes_ = fallback_;
    return result;
}

} // namespace kestrel
