#include "FileReading.h"

#include <QCoreApplication>
#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace workbench {

using kestrel::FileKind;
using kestrel::FileStatus;
using kestrel::ReadEnd;

namespace {

std::string Tr(const char* text) {
    return QCoreApplication::translate("FileReading", text).toStdString();
}

// Why a file of this kind is not opened; success for a regular file.
FileStatus RefusalForKind(FileKind kind) {
    switch (kind) {
    case FileKind::Regular:
        return {};
    case FileKind::Folder:
        return FileStatus::Failure(Tr("it is a folder, not a file"), EISDIR);
    case FileKind::Fifo:
        return FileStatus::Failure(Tr("it is a named pipe (FIFO), not a regular file"));
    case FileKind::Terminal:
    case FileKind::Device:
        return FileStatus::Failure(Tr("it is a device, not a regular file"));
    case FileKind::Socket:
        return FileStatus::Failure(Tr("it is a socket, not a regular file"));
    case FileKind::Other:
        break;
    }
    return FileStatus::Failure(Tr("it is not a regular file"));
}

} // namespace

FileFacts InspectFile(const QString& path) {
    FileFacts facts;
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        facts.openable = FileStatus::FromErrno(errno);
        return facts;
    }
    facts.openable = RefusalForKind(kestrel::KindOfMode(info.st_mode));
    facts.size = info.st_size;
    // Root may write anything, so a file with no write bit at all counts as
    // marked read-only too.
    facts.readOnlyOnDisk = ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0 ||
                           (info.st_mode & 0222) == 0;
    return facts;
}

FileStatus ReadEditorFile(const QString& path, kestrel::FileBytes& bytes,
                          const kestrel::ReadPolicy::Progress& progress) {
    const kestrel::FileRead read =
        kestrel::ReadFile(QFile::encodeName(path).toStdString(), {.progress = progress}, bytes);
    switch (read.end) {
    case ReadEnd::Complete:
        break;
    case ReadEnd::Failed:
        return FileStatus::FromErrno(read.error);
    case ReadEnd::Refused:
        return RefusalForKind(read.kind);
    case ReadEnd::TooLarge:
        return FileStatus::Failure(Tr("it is too large to hold in memory"), EFBIG);
    case ReadEnd::Cancelled:
        return FileStatus::Cancel(Tr("opening was cancelled"));
    case ReadEnd::Changed:
        return FileStatus::Failure(
            Tr("it changed while it was read (another program is writing it); try again"));
    }
    return {};
}

QString MessageOf(const FileStatus& status) {
    return QString::fromStdString(status.Message());
}

} // namespace workbench
