#include "LibraryCheck.h"

#include "ErrnoText.h"
#include <QCoreApplication>
#include <QFile>
#include <cstring>
#include <elf.h>
#include <link.h>
#include <sys/stat.h>
#include <vector>

namespace workbench {

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("LibraryCheck", text);
}

// This process's own ELF header, which the library must match.
const ElfW(Ehdr) & OwnHeader() {
    static const ElfW(Ehdr) header = [] {
        ElfW(Ehdr) h{};
        QFile self(QStringLiteral("/proc/self/exe"));
        if (self.open(QIODevice::ReadOnly)) {
            self.read(reinterpret_cast<char*>(&h), sizeof h);
        }
        return h;
    }();
    return header;
}

} // namespace

QString CheckLibrary(const QString& path) {
    QFile file(path);
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return QString::fromStdString(kestrel::ErrnoText(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return Tr("it is not a regular file");
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return file.errorString();
    }
    const auto size = static_cast<uint64_t>(info.st_size);
    ElfW(Ehdr) header{};
    if (file.read(reinterpret_cast<char*>(&header), sizeof header) != sizeof header ||
        std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) {
        return Tr("it is not an ELF shared library");
    }
    const ElfW(Ehdr)& own = OwnHeader();
    if (header.e_ident[EI_CLASS] != own.e_ident[EI_CLASS] ||
        header.e_ident[EI_DATA] != own.e_ident[EI_DATA] || header.e_machine != own.e_machine) {
        return Tr("it is built for another architecture (ELF class %1, machine %2; this workbench "
                  "needs class %3, machine %4)")
            .arg(header.e_ident[EI_CLASS])
            .arg(header.e_machine)
            .arg(own.e_ident[EI_CLASS])
            .arg(own.e_machine);
    }
    if (header.e_type != ET_DYN) {
        return Tr("it is not a shared library");
    }
    const auto truncated = [&](uint64_t needed) {
        return Tr("it is truncated: %1 bytes long, but its program headers need %2")
            .arg(size)
            .arg(needed);
    };
    if (header.e_phentsize != sizeof(ElfW(Phdr))) {
        return Tr("its program headers are damaged");
    }
    const uint64_t tableEnd =
        uint64_t{header.e_phoff} + uint64_t{header.e_phnum} * sizeof(ElfW(Phdr));
    if (tableEnd > size) {
        return truncated(tableEnd);
    }
    std::vector<ElfW(Phdr)> segments(header.e_phnum);
    const auto tableBytes = static_cast<qint64>(segments.size() * sizeof(ElfW(Phdr)));
    if (!file.seek(static_cast<qint64>(header.e_phoff)) ||
        file.read(reinterpret_cast<char*>(segments.data()), tableBytes) != tableBytes) {
        return truncated(tableEnd);
    }
    for (const ElfW(Phdr) & segment : segments) {
        const uint64_t end = uint64_t{segment.p_offset} + uint64_t{segment.p_filesz};
        if (segment.p_type != PT_NULL && end > size) {
            return truncated(end);
        }
    }
    return {};
}

} // namespace workbench
