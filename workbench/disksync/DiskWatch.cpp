#include "DiskWatch.h"

#include "FileStamp.h"

#include <QFileInfo>

namespace workbench {

namespace {

// Writers often save in several steps (truncate, write, rename); one look
// after they are done is enough.
constexpr int kSettleMs = 200;

QString FolderOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

} // namespace

DiskWatch::DiskWatch(QObject* parent) : QObject(parent) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &DiskWatch::Settle);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &DiskWatch::Note);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &DiskWatch::NoteFolder);
}

void DiskWatch::Watch(const QString& path) {
    if (inodes_.contains(path)) {
        Renew(path);
        return;
    }
    inodes_.insert(path, 0);
    const QString folder = FolderOf(path);
    if (folders_[folder]++ == 0) {
        watcher_.addPath(folder);
    }
    Renew(path);
}

void DiskWatch::Unwatch(const QString& path) {
    if (!inodes_.remove(path)) {
        return;
    }
    pending_.remove(path);
    watcher_.removePath(path);
    const QString folder = FolderOf(path);
    if (--folders_[folder] == 0) {
        folders_.remove(folder);
        watcher_.removePath(folder);
    }
}

void DiskWatch::Renew(const QString& path) {
    if (!inodes_.contains(path)) {
        return;
    }
    const FileStamp now = FileStamp::Of(path);
    const bool watched = watcher_.files().contains(path);
    if (!now.exists) {
        // The folder's watch reports the file when it comes back.
        if (watched) {
            watcher_.removePath(path);
        }
        inodes_[path] = 0;
        return;
    }
    // A watch follows the file it was set on, not the name: after a rename
    // over the name it must be set again on the new file.
    if (watched && inodes_.value(path) != now.inode) {
        watcher_.removePath(path);
    }
    if (!watcher_.files().contains(path)) {
        watcher_.addPath(path);
    }
    inodes_[path] = now.inode;
}

void DiskWatch::Note(const QString& path) {
    if (inodes_.contains(path)) {
        pending_.insert(path);
        settle_.start();
    }
}

void DiskWatch::NoteFolder(const QString& folder) {
    for (auto it = inodes_.cbegin(); it != inodes_.cend(); ++it) {
        if (FolderOf(it.key()) == folder) {
            pending_.insert(it.key());
        }
    }
    if (!pending_.isEmpty()) {
        settle_.start();
    }
}

void DiskWatch::Settle() {
    const QSet<QString> paths = std::exchange(pending_, {});
    for (const QString& path : paths) {
        Renew(path);
        emit Changed(path);
    }
}

} // namespace workbench
