#include "ReadFile.h"

#include "FileDescriptor.h"
#include "OpenFile.h"

#include <cerrno>

namespace kestrel {

namespace {

FileRead Failed(int error) {
    return {ReadEnd::Failed, FileKind::Other, error};
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
    std::function<bool(size_t)> heard;
    if (policy.progress) {
        heard = [&policy, total](size_t done) { return policy.progress(done, total); };
    }
    read.end = ReadToEnd(fd, bytes.Reused(), total, limit, heard);
    if (read.end == ReadEnd::Failed) {
        read.error = errno;
    }
    return read;
}

} // namespace kestrel
