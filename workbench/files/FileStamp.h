#pragma once

#include "FileStatus.h"

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace workbench {

// What the workbench knows of a file on disk: which file it is (device and
// inode), its size and modification time, and a hash of the bytes it held.
// The metadata answers "has it changed?" cheaply; the hash settles the cases
// the metadata cannot: a write within the clock tick the time was read in, or
// a rewrite with the same bytes (a `touch`, a checkout of the same text).
struct FileStamp {
    struct Hash {
        uint64_t low = 0;
        uint64_t high = 0;
        bool operator==(const Hash&) const = default;
        QString ToHex() const;
        static bool FromHex(QStringView hex, Hash& hash);
    };

    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0; // modification time, nanoseconds since the epoch
    int64_t takenNs = 0;    // when the metadata was read
    Hash contents;          // of the bytes, when `exists`

    // The metadata of `path` (following symbolic links), without the hash.
    static FileStamp Of(const QString& path);
    static Hash HashOf(std::string_view bytes);

    // True when `now` shows the same file with the same size and time.
    bool SameMetadata(const FileStamp& now) const;
    // False when the file was modified so shortly before the stamp was taken
    // that a later write could leave the same time behind.
    bool MetadataIsTrustworthy() const;
};

// What a look at the disk found, compared with what a document was read from.
struct DiskCheck {
    enum class Result {
        Unchanged, // same bytes (`stamp` is refreshed)
        Changed,   // other bytes: `bytes` holds them and `stamp` describes them
        Deleted,   // no file at the path
        Unreadable // the file is there but cannot be read: `status` says why
    };
    Result result = Result::Unchanged;
    FileStamp stamp;
    std::string bytes;
    kestrel::FileStatus status;
};

// Compares the file at `path` with `known`; reads it only when the metadata
// differ or cannot be trusted.
DiskCheck CheckDisk(const QString& path, const FileStamp& known);

} // namespace workbench
