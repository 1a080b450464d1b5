#include "FileReading.h"

#include "FileDescriptor.h"
#include "ReadToEnd.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace workbench {

using kestrel::FileDescriptor;
using kestrel::ReadEnd;
using kestrel::ReadToEnd;

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
    const auto heard = [&progress, total](size_t read) {
        return !progress || progress(static_cast<int64_t>(read), static_cast<int64_t>(total));
    };
    switch (ReadToEnd(fd.Get(), bytes, total, SIZE_MAX / 2, heard)) {
    case ReadEnd::Complete:
        return true;
    case ReadEnd::Failed:
        error = ErrnoText(errno);
        break;
    case ReadEnd::TooLarge:
        error = Tr("it is too large to hold in memory");
        break;
    case ReadEnd::Cancelled:
        error = Tr("opening was cancelled");
        break;
    }
    return false;
}

} // namespace workbench
