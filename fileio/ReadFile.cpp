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
// bytes may be part old, part new: the bytes read are not the size it
// reported or, with `recheck`, its size or modification time moved. Files
// that report no size (those of /proc) are taken as read.
bool ChangedWhileRead(int fd, const FileVersion& before, const FileBytes& bytes, bool recheck) {
    const int64_t start = before.position >= 0 ? before.position : 0;
    const int64_t expected = start <= before.size ? before.size - start : 0;
    if (before.size > 0 && static_cast<int64_t>(bytes.Size()) != expected) {
        return true;
    }
    if (!recheck) {
        return false;
    }
    FileKind kind = FileKind::Other;
    FileVersion after;
    return !StateOfOpenFile(fd, kind, after, false) || after.size != before.size ||
           after.modified != before.modified;
}

} // namespace

FileRead ReadFile(const std::string& path, const ReadPolicy& policy, FileBytes& bytes) {
    const FileDescriptor fd(OpenForReading(path, policy.streams));
    if (!fd.IsOpen()) {
        const int error = errno;
        bytes.Emptied();
        return Failed(error);
    }
    return ReadOpenFile(fd.Get(), policy, bytes, true);
}

FileRead ReadOpenFile(int fd, const ReadPolicy& policy, FileBytes& bytes, bool atStart) {
    // Every end but a read leaves no bytes; a read writes over the front of
    // the last file's.
    const auto without = [&bytes](FileRead read) {
        bytes.Emptied();
        return read;
    };
    FileRead read{ReadEnd::Complete, FileKind::Other, 0};
    // A regular file's state before the read, to tell a change during it.
    FileVersion before;
    if (!StateOfOpenFile(fd, read.kind, before, !atStart)) {
        return without(Failed(errno));
    }
    const bool regular = read.kind == FileKind::Regular;
    const size_t size = regular ? static_cast<size_t>(before.size) : 0;
    read.size = size;
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
    std::function<bool(size_t)> heard;
    if (policy.progress) {
        heard = [&policy, total](size_t done) { return policy.progress(done, total); };
    }
    read.end = ReadIntoFront(fd, bytes.Reused(), bytes.size_, total, limit, heard);
    if (read.end == ReadEnd::Failed) {
        read.error = errno;
    }
    if (regular && read.end == ReadEnd::Complete &&
        ChangedWhileRead(fd, before, bytes, policy.recheck)) {
        read.end = ReadEnd::Changed;
        return without(read);
    }
    return read;
}

} // namespace kestrel
