#include "CarefulSave.h"

#include "FileDescriptor.h"
#include "PosixFiles.h"
#include "ReadToEnd.h"
#include "SaveJournal.h"
#include "WriteAll.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace workbench {

using kestrel::FileDescriptor;
using kestrel::FileStatus;
using kestrel::ReadEnd;
using kestrel::ReadToEnd;
using kestrel::WriteAllAt;

namespace {

using kestrel::FileDescriptor;

constexpr std::string_view kTemporaryPrefix = ".kestrel-";

// A temporary file made in a folder, removed again unless Keep() is called.
// It is locked while it lives, which tells it from one a crash left behind.
class TemporaryFile {
public:
    // Short whatever the saved file's name: the prefix and six random
    // characters fit in any folder that can hold a file at all.
    explicit TemporaryFile(const std::string& folder)
        : path_(folder + "/" + std::string(kTemporaryPrefix) + "XXXXXX") {
        fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
        if (fd_ < 0) {
            error_ = errno;
            path_.clear();
            return;
        }
        ::flock(fd_, LOCK_EX);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    int Fd() const { return fd_; }
    int Error() const { return error_; }
    const std::string& Path() const { return path_; }
    void Close() { ::close(std::exchange(fd_, -1)); }
    void Keep() { path_.clear(); }

private:
    std::string path_;
    int fd_ = -1;
    int error_ = 0;
};

// The file a chain of symbolic links ends at (the path itself when it is no
// link); a dangling link gives the file it would name.
std::string ResolveLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            break;
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0) {
            break;
        }
        target.resize(static_cast<size_t>(n));
        path = target.front() == '/' ? target : FolderOf(path) + "/" + target;
    }
    return path;
}

// Removes the temporary files of saves into `folder` that a crash cut short:
// ours by their name and owner, and no longer locked by a save that runs.
void RemoveStaleTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() != kTemporaryPrefix.size() + 6 || !name.starts_with(kTemporaryPrefix)) {
            continue;
        }
        struct stat info {};
        if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() || info.st_nlink != 1) {
            continue;
        }
        const FileDescriptor fd(
            ::openat(dirFd, entry->d_name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        if (fd.Get() >= 0 && ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0) {
            ::unlinkat(dirFd, entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

// Copies every extended attribute (POSIX ACLs among them) of `from` to `to`;
// the names of those that could not be copied are returned.
std::string CopyExtendedAttributes(const std::string& from, int to) {
    const ssize_t size = ::listxattr(from.c_str(), nullptr, 0);
    if (size <= 0) {
        return {};
    }
    std::vector<char> names(static_cast<size_t>(size));
    const ssize_t got = ::listxattr(from.c_str(), names.data(), names.size());
    std::string failed;
    for (ssize_t at = 0; at < got;) {
        const char* name = names.data() + at;
        at += static_cast<ssize_t>(std::strlen(name)) + 1;
        const ssize_t length = ::getxattr(from.c_str(), name, nullptr, 0);
        std::vector<char> value(static_cast<size_t>(std::max<ssize_t>(length, 0)));
        const ssize_t read =
            length < 0 ? -1 : ::getxattr(from.c_str(), name, value.data(), value.size());
        if (read < 0 || ::fsetxattr(to, name, value.data(), static_cast<size_t>(read), 0) != 0) {
            failed += failed.empty() ? name : std::string(", ") + name;
        }
    }
    return failed;
}

// Writes over the file itself, keeping its inode (and so its links, owner,
// mode and attributes). A journal with the old and the new bytes reaches the
// disk first, so that a crash at any step leaves what the next start needs
// to finish the save; where no journal can be kept, the old bytes stay in
// memory to be put back on a failure, and the note says a crash was not
// guarded against.
FileStatus WriteInPlace(const std::string& target, std::string_view bytes,
                        const std::string& journalFolder, const std::string& why,
                        std::string& note) {
    const FileDescriptor fd(::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
    if (fd.Get() < 0) {
        return FileStatus::FromErrno(errno);
    }
    std::string old;
    if (ReadToEnd(fd.Get(), old, 0, SIZE_MAX / 2) != ReadEnd::Complete) {
        return FileStatus::FromErrno(errno);
    }
    SaveJournal journal;
    const FileStatus journaled = journalFolder.empty()
                                     ? FileStatus::Failure("no folder for it")
                                     : journal.Begin(journalFolder, target, old, bytes);

    const auto writeBytes = [&](std::string_view what) {
        return WriteAllAt(fd.Get(), what, 0) &&
               ::ftruncate(fd.Get(), static_cast<off_t>(what.size())) == 0 &&
               ::fsync(fd.Get()) == 0;
    };
    if (!writeBytes(bytes)) {
        FileStatus failed = FileStatus::FromErrno(errno);
        if (writeBytes(old)) {
            journal.Finish();
            return failed.Append("; the file's old contents were put back");
        }
        failed.Append("; the file could not be put back");
        if (journaled) {
            failed.Append(": its old and new contents are in " + journal.Path() +
                          ", and the next start finishes the save");
        }
        return failed;
    }
    journal.Finish();
    note = "The save was not atomic: " + NameOf(target) + " was written in place " + why + ".";
    if (!journaled) {
        note += " No journal could be kept for it (" + journaled.Message() +
                "), so a crash meanwhile could have damaged it.";
    }
    return {};
}

bool CannotCreateIn(int error) {
    return error == EACCES || error == EPERM || error == EROFS || error == EDQUOT ||
           error == ENOSPC;
}

} // namespace

FileStatus SaveCarefully(const std::string& path, std::string_view bytes,
                         const std::string& journalFolder, std::string* noteOut) {
    std::string ignoredNote;
    std::string& note = noteOut ? *noteOut : ignoredNote;
    note.clear();
    const std::string target = ResolveLinks(path);
    const std::string folder = FolderOf(target);
    RemoveStaleTemporaries(folder);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        return FileStatus::Failure("it is not a regular file");
    }
    if (exists && old.st_nlink > 1) {
        return WriteInPlace(target, bytes, journalFolder,
                            "because it has " + std::to_string(old.st_nlink) + " hard links", note);
    }

    TemporaryFile temp(folder);
    if (temp.Fd() < 0) {
        if (exists && CannotCreateIn(temp.Error())) {
            return WriteInPlace(target, bytes, journalFolder,
                                "because no new file can be created in its folder", note);
        }
        return FileStatus::FromErrno(temp.Error());
    }
    if (exists) {
        mode_t mode = old.st_mode & 07777;
        if (::fchown(temp.Fd(), old.st_uid, old.st_gid) != 0) {
            // The file would change hands: better to write over it where it
            // lies; where that is not allowed either, the new file is the
            // saver's and does not take set-user-id or set-group-id along.
            if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0) {
                return WriteInPlace(target, bytes, journalFolder,
                                    "because its owner and group could not be kept otherwise",
                                    note);
            }
            if (::fchown(temp.Fd(), static_cast<uid_t>(-1), old.st_gid) != 0) {
                mode &= ~static_cast<mode_t>(S_ISGID);
            }
            mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
            note = "The file now belongs to you: its owner could not be kept.";
        }
        if (::fchmod(temp.Fd(), mode) != 0) {
            return FileStatus::FromErrno(errno);
        }
        if (const std::string lost = CopyExtendedAttributes(target, temp.Fd()); !lost.empty()) {
            note += (note.empty() ? "" : " ") + std::string("Extended attributes not kept: ") +
                    lost + ".";
        }
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(temp.Fd(), 0666 & ~mask);
    }
    // Still open, and so locked, when it is renamed: another save's clean-up
    // cannot take it for one a crash left behind.
    if (!WriteAllAt(temp.Fd(), bytes, 0) || ::fsync(temp.Fd()) != 0) {
        return FileStatus::FromErrno(errno);
    }
    if (::rename(temp.Path().c_str(), target.c_str()) != 0) {
        return FileStatus::FromErrno(errno);
    }
    temp.Keep();
    temp.Close();
    SyncFolder(folder);
    return {};
}

} // namespace workbench
