#include "FolderEntries.h"

#include "ErrnoText.h"
#include "OpenFile.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

namespace {

// The type of a folder entry as the walk sees it: a link counts as the file
// it points to, but never as a folder. Asked of the folder only when the
// entry does not tell.
unsigned char EntryType(int folder, const dirent64& entry) {
    unsigned char type = entry.d_type;
    struct stat info {};
    if (type == DT_UNKNOWN && ::fstatat(folder, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
        type = S_ISDIR(info.st_mode)   ? DT_DIR
               : S_ISREG(info.st_mode) ? DT_REG
               : S_ISLNK(info.st_mode) ? DT_LNK
                                       : DT_UNKNOWN;
    }
    if (type == DT_LNK) {
        type = ::fstatat(folder, entry.d_name, &info, 0) == 0 && S_ISREG(info.st_mode) ? DT_REG
                                                                                       : DT_UNKNOWN;
    }
    return type;
}

// Room for the entries of most folders in one call.
constexpr size_t kEntryBytes = size_t{32} << 10;

} // namespace

OpenFolder::~OpenFolder() {
    ::close(fd_);
}

int OpenEntryForReading(const OpenFolder* folder, const std::string& path, size_t nameAt,
                        bool wait) {
    if (folder == nullptr) {
        return OpenForReading(path, wait);
    }
    return ::openat(folder->Fd(), path.c_str() + nameAt,
                    O_RDONLY | O_CLOEXEC | O_NOCTTY | (wait ? 0 : O_NONBLOCK));
}

bool ReadFolderEntries(const OpenFolder* parent, const std::string& path, size_t nameAt,
                       const std::function<void(std::string_view name, bool folder)>& onEntry,
                       std::shared_ptr<const OpenFolder>& opened, std::string& error) {
    // Entries are read straight from the descriptor: a folder stream would
    // ask the system about the folder once more and allocate its own buffer.
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK;
    const int fd = parent != nullptr ? ::openat(parent->Fd(), path.c_str() + nameAt, kFlags)
                                     : ::open(path.c_str(), kFlags);
    if (fd < 0) {
        error = ErrnoText(errno);
        return false;
    }
    auto folder = std::make_shared<const OpenFolder>(fd);
    alignas(dirent64) char buffer[kEntryBytes];
    for (;;) {
        const ssize_t filled = ::getdents64(fd, buffer, sizeof buffer);
        if (filled < 0) {
            error = ErrnoText(errno);
            return false;
        }
        if (filled == 0) {
            break;
        }
        for (ssize_t at = 0; at < filled;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            const unsigned char type = EntryType(fd, *entry);
            if (type == DT_DIR || type == DT_REG) {
                onEntry(name, type == DT_DIR);
            }
        }
    }
    opened = std::move(folder);
    return true;
}

} // namespace kestrel
