#include "FolderEntries.h"

#include "ErrnoText.h"

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace kestrel {

namespace {

// Closes a folder stream when it goes out of scope.
struct FolderStream {
    DIR* dir;
    ~FolderStream() {
        if (dir != nullptr) {
            ::closedir(dir);
        }
    }
};

// The type of a folder entry as the walk sees it: a link counts as the file
// it points to, but never as a folder.
unsigned char EntryType(const std::string& folder, const dirent& entry) {
    unsigned char type = entry.d_type;
    struct stat info {};
    if (type == DT_UNKNOWN || type == DT_LNK) {
        std::string path = folder;
        if (!path.empty() && path.back() != '/') {
            path += '/';
        }
        path += entry.d_name;
        if (type == DT_UNKNOWN && ::lstat(path.c_str(), &info) == 0) {
            type = S_ISDIR(info.st_mode)   ? DT_DIR
                   : S_ISREG(info.st_mode) ? DT_REG
                   : S_ISLNK(info.st_mode) ? DT_LNK
                                           : DT_UNKNOWN;
        }
        if (type == DT_LNK) {
            type = ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
        }
    }
    return type;
}

} // namespace

bool ReadFolderEntries(const std::string& path,
                       const std::function<void(std::string_view name, bool folder)>& onEntry,
                       std::string& error) {
    FolderStream stream{::opendir(path.c_str())};
    if (stream.dir == nullptr) {
        error = ErrnoText(errno);
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(stream.dir);
        if (entry == nullptr) {
            if (errno != 0) {
                error = ErrnoText(errno);
                return false;
            }
            return true;
        }
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const unsigned char type = EntryType(path, *entry);
        if (type == DT_DIR || type == DT_REG) {
            onEntry(name, type == DT_DIR);
        }
    }
}

} // namespace kestrel
