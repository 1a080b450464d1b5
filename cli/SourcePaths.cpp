#include "SourcePaths.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

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

bool IsSkippedFolder(std::string_view name) {
    return name.starts_with('.') ||
           std::find(kVersionControlFolders.begin(), kVersionControlFolders.end(), name) !=
               kVersionControlFolders.end();
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

SourcePaths::SourcePaths(const ListerOptions& options) : options_(options) {}

SourcePaths::~SourcePaths() {
    if (list_ != nullptr && list_ != stdin) {
        std::fclose(list_);
    }
    std::free(line_);
}

bool SourcePaths::NextTopLevel(SourcePath& next) {
    if (nextArgument_ < options_.files.size()) {
        next.path = options_.files[nextArgument_++];
        return true;
    }
    if (options_.filesFrom.empty()) {
        return false;
    }
    if (!listOpened_) {
        listOpened_ = true;
        list_ = options_.filesFrom == "-" ? stdin : std::fopen(options_.filesFrom.c_str(), "re");
        if (list_ == nullptr) {
            next.path = options_.filesFrom;
            next.error = std::strerror(errno);
            return true;
        }
    }
    if (list_ == nullptr) {
        return false;
    }
    // One path a line; empty lines are skipped.
    ssize_t length = 0;
    while ((length = ::getline(&line_, &lineCapacity_, list_)) == 1 && line_[0] == '\n') {
    }
    if (length <= 0) {
        if (list_ != stdin) {
            std::fclose(list_);
        }
        list_ = nullptr;
        return false;
    }
    next.path.assign(line_, static_cast<size_t>(length) - (line_[length - 1] == '\n' ? 1 : 0));
    return true;
}

bool SourcePaths::Enter(const std::string& path, std::string& error) {
    FolderStream stream{::opendir(path.c_str())};
    if (stream.dir == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    Folder folder{path, {}, 0};
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(stream.dir);
        if (entry == nullptr) {
            if (errno != 0) {
                error = std::strerror(errno);
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

bool SourcePaths::Next(SourcePath& next) {
    next.error.clear();
    for (;;) {
        while (!walk_.empty()) {
            Folder& folder = walk_.back();
            if (folder.next == folder.entries.size()) {
                walk_.pop_back();
                continue;
            }
            const Entry& entry = folder.entries[folder.next++];
            if (!entry.folder) {
                next.path = Join(folder.path, entry.key);
                return true;
            }
            std::string path = Join(folder.path, entry.key);
            path.pop_back();
            if (!Enter(path, next.error)) {
                next.path = std::move(path);
                return true;
            }
        }
        if (!NextTopLevel(next)) {
            return false;
        }
        struct stat info {};
        if (!next.error.empty() || next.path == "-" || ::stat(next.path.c_str(), &info) != 0 ||
            !S_ISDIR(info.st_mode)) {
            return true; // reading the file reports what is wrong with it
        }
        if (!options_.recursive) {
            next.error = "Is a directory (use -R to list the Pascal sources in it)";
            return true;
        }
        if (!Enter(next.path, next.error)) {
            return true;
        }
    }
}

} // namespace kestrel
