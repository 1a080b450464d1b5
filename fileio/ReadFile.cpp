#include "ReadFile.h"

#include "FileDescriptor.h"
#include "OpenFile.h"

#include <cerrno>

namespace kestrel {

namespace {

FileRead Failed(int error) {
    return {ReadEnd::Failed, FileKind::Other, error};
}

// Whether another program wrote to the file while it was read, so that the
// bytes may be part old, part new: its size or modification time moved, or
// the bytes read are not the size it reported. Files that report no size
// (those of /proc) are taken as read.
bool ChangedWhileRead(int fd, const struct stat& before, off_t start, const FileBytes& bytes) {
    struct stat after {};
    if (::fstat(fd, &after) != 0) {
        return true;
    }
    const bool timeMoved = after.st_mtim.tv_sec != before.st_mtim.tv_sec ||
                           after.st_mtim.tv_nsec != before.st_mtim.tv_nsec;
    const off_t expected = start >= 0 && start <= before.st_size ? before.st_size - start : 0;
    const bool shortOrLong = before.st_size > 0 && static_cast<off_t>(bytes.Size()) != expected;
    return after.st_size != before.st_size || timeMoved || shortOrLong;
}

} // namespace

FileRead ReadFile(const std::string& path, const ReadPolicy& policy, FileBytes& bytes) {
    const FileDescriptor fd(OpenForReading(path, policy.streams));
    if (!fd.IsOpen()) {
        const int error = errno;
        bytes.Emptied();
        return Failed(error);
    }
    return ReadOpenFile(fd.Get(), policy, bytes);
}

FileRead ReadOpenFile(int fd, const ReadPolicy& policy, FileBytes& bytes) {
    // Every end but a read leaves no bytes; a read writes over the last
    // file's, which ReadToEnd then cuts to size.
    const auto without = [&bytes](FileRead read) {
        bytes.Emptied();
        return read;
    };
    FileRead read{ReadEnd::Complete, FileKind::Other, 0};
    size_t size = 0;
    if (!KindOfOpenFile(fd, read.kind, size)) {
        return without(Failed(errno));
    }
    const bool regular = read.kind == FileKind::Regular;
    if (!regular && !(policy.streams && IsStream(read.kind))) {
        read.end = ReadEnd::Refused;
        return without(read);
    }
    const size_t total = size;
    const size_t limit = regular ? policy.fileLimit : policy.streamLimit;
    if (total > limit) {
        read.end = ReadEnd::TooLarge;
        return without(read);
    }
    // Where a descriptor already open stands: the bytes before are not read.
    const off_t start = regular ? ::lseek(fd, 0, SEEK_CUR) : 0;
    std::function<bool(size_t)> heard;
    if (policy.progress) {
        heard = [&policy, total](size_t done) { return policy.progress(done, total); };
    }
    read.end = ReadToEnd(fd, bytes.Reused(), total, limit, heard);
    if (read.end == ReadEnd::Failed) {
        read.error = errno;
    }
    if (regular && read.end == ReadEnd::Complete && ChangedWhileRead(fd, info, start, bytes)) {
        read.end = ReadEnd::Changed;
        return without(read);
    }
    return read;
}

} // namespace kestrel
