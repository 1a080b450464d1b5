#include "FileReading.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace workbench {

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("FileReading", text);
}

QString ErrnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Why a file of this type is not opened, or empty for a regular file.
QString RefusalForType(mode_t mode) {
    if (S_ISREG(mode)) {
        return {};
    }
    if (S_ISDIR(mode)) {
        return Tr("it is a folder, not a file");
    }
    if (S_ISFIFO(mode)) {
        return Tr("it is a named pipe (FIFO), not a regular file");
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return Tr("it is a device, not a regular file");
    }
    if (S_ISSOCK(mode)) {
        return Tr("it is a socket, not a regular file");
    }
    return Tr("it is not a regular file");
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int Get() const { return fd_; }

private:
    int fd_;
};

} // namespace

FileFacts InspectFile(const QString& path) {
    FileFacts facts;
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        facts.refusal = ErrnoText(errno);
        return facts;
    }
    facts.refusal = RefusalForType(info.st_mode);
    facts.size = info.st_size;
    // Root may write anything, so a file with no write bit at all counts as
    // marked read-only too.
    facts.readOnlyOnDisk = ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0 ||
                           (info.st_mode & 0222) == 0;
    return facts;
}

bool ReadRegularFile(const QString& path, std::string& bytes, QString& error,
                     const ReadProgress& progress) {
    // Non-blocking, so that a FIFO put in the file's place since it was
    // inspected is refused instead of waited on.
    const FileDescriptor fd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.Get() < 0) {
        error = ErrnoText(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
        error = ErrnoText(errno);
        return false;
    }
    if (error = RefusalForType(info.st_mode); !error.isEmpty()) {
        return false;
    }
    const auto total = static_cast<size_t>(info.st_size);
    constexpr size_t kChunk = size_t{1} << 22;
    bytes.clear();
    bytes.resize(total + 1); // one more byte notices a file that grows
    size_t size = 0;
    for (;;) {
        if (size == bytes.size()) {
            bytes.resize(bytes.size() * 2);
        }
        const ssize_t n =
            ::read(fd.Get(), bytes.data() + size, std::min(kChunk, bytes.size() - size));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = ErrnoText(errno);
            bytes.clear();
            return false;
        }
        if (n == 0) {
            break;
        }
        size += static_cast<size_t>(n);
        if (progress && !progress(static_cast<int64_t>(size), static_cast<int64_t>(total))) {
            error = Tr("opening was cancelled");
            bytes.clear();
            return false;
        }
    }
    bytes.resize(size);
    return true;
}

} // namespace workbench
