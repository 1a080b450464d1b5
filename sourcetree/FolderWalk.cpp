#include "FolderWalk.h"

#include "ErrnoText.h"
#include <algorithm>
#include <array>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <utility>

namespace kestrel {

namespace {

constexpr std::array<std::string_view, 7> kExtensions = {".pas", ".pp",  ".p",  ".inc",
                                                         ".lpr", ".dpr", ".dpk"};
// Version-control folders whose names do not start with a dot.
constexpr std::array<std::string_view, 4> kVersionControlFolders = {"CVS", "RCS", "SCCS", "_darcs"};

bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(), text.end() - suffix.size(), [](char s, char t) {
               return s == (t >= 'A' && t <= 'Z' ? t - 'A' + 'a' : t);
           });
}

std::string Join(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    path += name;
    return path;
}

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
// it points to, but never as a folder, so the walk cannot loop.
unsigned char EntryType(const std::string& folder, const dirent& entry) {
    unsigned char type = entry.d_type;
    struct stat info {};
    if (type == DT_UNKNOWN || type == DT_LNK) {
        const std::string path = Join(folder, entry.d_name);
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

bool HasPascalExtension(std::string_view name) {
    return std::any_of(kExtensions.begin(), kExtensions.end(), [name](std::string_view ext) {
        return name.size() > ext.size() && EndsWithIgnoringAsciiCase(name, ext);
    });
}

bool IsSkippedFolder(std::string_view name) {
    return name.starts_with('.') ||
           std::find(kVersionControlFolders.begin(), kVersionControlFolders.end(), name) !=
               kVersionControlFolders.end();
}

void FolderWalk::Start(const std::string& root) {
    walk_.clear();
    root_ = root;
}

bool FolderWalk::Enter(const std::string& path, std::string& error) {
    FolderStream stream{::opendir(path.c_str())};
    if (stream.dir == nullptr) {
        error = ErrnoText(errno);
        return false;
    }
    Folder folder{path, {}, 0};
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(stream.dir);
        if (entry == nullptr) {
            if (errno != 0) {
                error = ErrnoText(errno);
                return false;
            }
            break;
        }
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const unsigned char type = EntryType(path, *entry);
        if (type == DT_DIR && !IsSkippedFolder(name)) {
            folder.entries.push_back({std::string(name) + '/', true});
        } else if (type == DT_REG && HasPascalExtension(name)) {
            folder.entries.push_back({std::string(name), false});
        }
    }
    // With a '/' after each folder's name, sorting the names sorts the full
    // paths of everything below them.
    std::sort(folder.entries.begin(), folder.entries.end(),
              [](const Entry& a, const Entry& b) { return a.key < b.key; });
    walk_.push_back(std::move(folder));
    return true;
}

bool FolderWalk::Next(Step& step) {
    step.error.clear();
    std::string path;
    if (!root_.empty()) {
        path = std::exchange(root_, {});
    } else {
        for (;;) {
            if (walk_.empty()) {
                return false;
            }
            Folder& folder = walk_.back();
            if (folder.next < folder.entries.size()) {
                break;
            }
            walk_.pop_back();
        }
        Folder& folder = walk_.back();
        const Entry& entry = folder.entries[folder.next++];
        path = Join(folder.path, entry.key);
        if (!entry.folder) {
            step.kind = Step::File;
            step.path = std::move(path);
            return true;
        }
        path.pop_back();
    }
    step.kind = Enter(path, step.error) ? Step::Folder : Step::Error;
    step.path = std::move(path);
    return true;
}

} // namespace kestrel
