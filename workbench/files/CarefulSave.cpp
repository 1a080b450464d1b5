#include "CarefulSave.h"

#include "FileDescriptor.h"
#include "ReadToEnd.h"
#include "WriteAll.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace workbench {

using kestrel::FileDescriptor;
using kestrel::ReadEnd;
using kestrel::ReadToEnd;
using kestrel::WriteAllAt;

namespace {

std::string ErrnoText(int error) {
    return std::strerror(error);
}

// A temporary file made in a folder, removed again unless Keep() is called.
class TemporaryFile {
public:
    // Short whatever the saved file's name: the prefix and six random
    // characters fit in any folder that can hold a file at all.
    explicit TemporaryFile(const std::string& folder) : path_(folder + "/.kestrel-XXXXXX") {
        fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
        if (fd_ < 0) {
            error_ = errno;
            path_.clear();
        }
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
    bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }
    void Keep() { path_.clear(); }

private:
    std::string path_;
    int fd_ = -1;
    int error_ = 0;
};

SaveResult Failure(std::string error) {
    SaveResult result;
    result.error = std::move(error);
    return result;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

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

// mkdir -p, private to the user.
void MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos) {
            return;
        }
    }
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

void SyncFolder(const std::string& folder) {
    const FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0) {
        ::fsync(fd.Get());
    }
}

// Writes over the file itself, keeping its inode (and so its links, owner,
// mode and attributes). The old bytes stay in memory and, where one can be
// made, in a backup file until the new ones are on disk.
SaveResult WriteInPlace(const std::string& target, std::string_view bytes,
                        const std::string& backupFolder, const std::string& why) {
    SaveResult result;
    const FileDescriptor fd(::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
    if (fd.Get() < 0) {
        result.error = ErrnoText(errno);
        return result;
    }
    std::string old;
    if (ReadToEnd(fd.Get(), old, 0, SIZE_MAX / 2) != ReadEnd::Complete) {
        result.error = ErrnoText(errno);
        return result;
    }
    std::optional<TemporaryFile> backup(std::in_place, FolderOf(target));
    if (backup->Fd() < 0 && !backupFolder.empty()) {
        MakeFolders(backupFolder);
        backup.emplace(backupFolder);
    }
    const bool backedUp = backup->Fd() >= 0 && WriteAllAt(backup->Fd(), old, 0) &&
                          ::fsync(backup->Fd()) == 0 && backup->Close();

    const auto writeBytes = [&](std::string_view what) {
        return WriteAllAt(fd.Get(), what, 0) &&
               ::ftruncate(fd.Get(), static_cast<off_t>(what.size())) == 0 &&
               ::fsync(fd.Get()) == 0;
    };
    if (!writeBytes(bytes)) {
        const int error = errno;
        if (writeBytes(old)) {
            result.error = ErrnoText(error) + "; the file's old contents were put back";
        } else {
            result.error = ErrnoText(error) + "; the file could not be put back";
            if (backedUp) {
                result.error += ": its old contents are in " + backup->Path();
                backup->Keep();
            }
        }
        return result;
    }
    result.inPlace = true;
    result.note =
        "The save was not atomic: " + NameOf(target) + " was written in place " + why + ".";
    return result;
}

bool CannotCreateIn(int error) {
    return error == EACCES || error == EPERM || error == EROFS || error == EDQUOT ||
           error == ENOSPC;
}

} // namespace

SaveResult SaveCarefully(const std::string& path, std::string_view bytes,
                         const std::string& backupFolder) {
    const std::string target = ResolveLinks(path);
    const std::string folder = FolderOf(target);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        return Failure("it is not a regular file");
    }
    if (exists && old.st_nlink > 1) {
        return WriteInPlace(target, bytes, backupFolder,
                            "because it has " + std::to_string(old.st_nlink) + " hard links");
    }

    TemporaryFile temp(folder);
    if (temp.Fd() < 0) {
        if (exists && CannotCreateIn(temp.Error())) {
            return WriteInPlace(target, bytes, backupFolder,
                                "because no new file can be created in its folder");
        }
        return Failure(ErrnoText(temp.Error()));
    }
    std::string note;
    if (exists) {
        mode_t mode = old.st_mode & 07777;
        if (::fchown(temp.Fd(), old.st_uid, old.st_gid) != 0) {
            // The file would change hands: better to write over it where it
            // lies; where that is not allowed either, the new file is the
            // saver's and does not take set-user-id or set-group-id along.
            if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0) {
                return WriteInPlace(target, bytes, backupFolder,
                                    "because its owner and group could not be kept otherwise");
            }
            if (::fchown(temp.Fd(), static_cast<uid_t>(-1), old.st_gid) != 0) {
                mode &= ~static_cast<mode_t>(S_ISGID);
            }
            mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
            note = "The file now belongs to you: its owner could not be kept.";
        }
        if (::fchmod(temp.Fd(), mode) != 0) {
            return Failure(ErrnoText(errno));
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
    if (!WriteAllAt(temp.Fd(), bytes, 0) || ::fsync(temp.Fd()) != 0 || !temp.Close()) {
        return Failure(ErrnoText(errno));
    }
    if (::rename(temp.Path().c_str(), target.c_str()) != 0) {
        return Failure(ErrnoText(errno));
    }
    temp.Keep();
    SyncFolder(folder);
    SaveResult result;
    result.note = note;
    return result;
}

} // namespace workbench
