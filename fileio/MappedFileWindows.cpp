#include "MappedFile.h"

#include <cerrno>

namespace kestrel {

// Windows keeps a mapped file from being cut short or replaced while it is
// mapped, which would get in the way of the user's own programs: files are
// read there instead.
bool MappedFile::Map(int, size_t size) {
    Unmap();
    if (size == 0) {
        return true;
    }
    errno = ENOSYS;
    return false;
}

void MappedFile::Unmap() {
    begin_ = nullptr;
    size_ = mappedSize_ = 0;
}

bool MappedFile::CutShort() const {
    return false;
}

} // namespace kestrel
