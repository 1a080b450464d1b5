#include "FileReading.h"

#include "ErrnoText.h"

#include <QCoreApplication>
#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace workbench {

using kestrel::FileKind;
using kestrel::ReadEnd;

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("FileReading", text);
}

QString ErrnoText(int error) {
    return QString::fromLocal8Bit(kestrel::ErrnoText(error));
}

// Why a file of this kind is not opened, or empty for a regular file.
QString RefusalForKind(FileKind kind) {
    switch (kind) {
    case FileKind::Regular:
        return {};
    case FileKind::Folder:
        return Tr("it is a folder, not a file");
    case FileKind::Fifo:
        return Tr("it is a named pipe (FIFO), not a regular file");
    case FileKind::Terminal:
    case FileKind::Device:
        return Tr("it is a device, not a regular file");
    case FileKind::Socket:
        return Tr("it is a socket, not a regular file");
    case FileKind::Other:
        break;
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
    facts.refusal = RefusalForKind(kestrel::KindOfMode(info.st_mode));
    facts.size = info.st_size;
    // Root may write anything, so a file with no write bit at all counts as
    // marked read-only too.
    facts.readOnlyOnDisk = ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0 ||
                           (info.st_mode & 0222) == 0;
    return facts;
}

kestrel::FileRead ReadEditorFile(const QString& path, kestrel::FileBytes& bytes,
                                 const kestrel::ReadPolicy::Progress& progress) {
    return kestrel::ReadFile(QFile::encodeName(path).toStdString(), {.progress = progress}, bytes);
}

QString ReadFailureText(const kestrel::FileRead& read) {
    switch (read.end) {
    case ReadEnd::Complete:
        break;
    case ReadEnd::Failed:
        return ErrnoText(read.error);
    case ReadEnd::Refused:
        return RefusalForKind(read.kind);
    case ReadEnd::TooLarge:
        return Tr("it is too large to hold in memory");
    case ReadEnd::Cancelled:
        return Tr("opening was cancelled");
    case ReadEnd::Changed:
        return Tr("it changed while it was read (another program is writing it); try again");
    }
    return {};
}

} // namespace workbench
