#include "FileStamp.h"

#include "FileReading.h"

#include <QFile>
#include <ctime>
#include <sys/stat.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace workbench {

namespace {

// Coarsest modification-time step of the file systems an editor meets (FAT
// keeps two seconds); a stamp taken within it of the file's time may miss a
// later write that leaves the same time.
constexpr int64_t kClockStepNs = 2'000'000'000;

int64_t Nanoseconds(const timespec& time) {
    return static_cast<int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

} // namespace

QString FileStamp::Hash::ToHex() const {
    return QStringLiteral("%1%2")
        .arg(high, 16, 16, QLatin1Char('0'))
        .arg(low, 16, 16, QLatin1Char('0'));
}

bool FileStamp::Hash::FromHex(QStringView hex, Hash& hash) {
    if (hex.size() != 32) {
        return false;
    }
    bool highOk = false;
    bool lowOk = false;
    hash.high = hex.first(16).toULongLong(&highOk, 16);
    hash.low = hex.sliced(16).toULongLong(&lowOk, 16);
    return highOk && lowOk;
}

FileStamp FileStamp::Of(const QString& path) {
    FileStamp stamp;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    stamp.takenNs = Nanoseconds(now);
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return stamp;
    }
    stamp.exists = true;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modifiedNs = Nanoseconds(info.st_mtim);
    return stamp;
}

FileStamp::Hash FileStamp::HashOf(std::string_view bytes) {
    const XXH128_hash_t hash = XXH3_128bits(bytes.data(), bytes.size());
    return {hash.low64, hash.high64};
}

bool FileStamp::SameMetadata(const FileStamp& now) const {
    return exists == now.exists && device == now.device && inode == now.inode && size == now.size &&
           modifiedNs == now.modifiedNs;
}

bool FileStamp::MetadataIsTrustworthy() const {
    return modifiedNs + kClockStepNs < takenNs;
}

DiskCheck CheckDisk(const QString& path, const FileStamp& known) {
    DiskCheck check;
    // The metadata is read before the bytes: a write in between shows up as
    // changed metadata at the next look.
    check.stamp = FileStamp::Of(path);
    if (!check.stamp.exists) {
        check.result = DiskCheck::Result::Deleted;
        return check;
    }
    if (known.exists && known.SameMetadata(check.stamp) && known.MetadataIsTrustworthy()) {
        check.stamp = known;
        return check;
    }
    // Read as a file is opened: a FIFO or a device now under the path is
    // refused at once rather than waited on or read without end.
    kestrel::FileBytes bytes;
    check.status = ReadEditorFile(path, bytes);
    if (!check.status) {
        check.result = DiskCheck::Result::Unreadable;
        return check;
    }
    check.bytes = bytes.Take();
    check.stamp.contents = FileStamp::HashOf(check.bytes);
    if (known.exists && check.stamp.contents == known.contents) {
        check.bytes.clear();
        return check;
    }
    check.result = DiskCheck::Result::Changed;
    return check;
}

} // namespace workbench
