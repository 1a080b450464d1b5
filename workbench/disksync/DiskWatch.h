#pragma once

#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>

namespace workbench {

// Watches files for changes made by other programs and reports each path
// once the writes settle. A file that another program replaces by renaming a
// new one over it (as editors and version control do) is followed to the new
// file, and a deleted file that comes back is noticed through its folder.
class DiskWatch : public QObject {
    Q_OBJECT

public:
    explicit DiskWatch(QObject* parent = nullptr);

    void Watch(const QString& path);
    void Unwatch(const QString& path);
    // Aims the watch at the file that is at `path` now.
    void Renew(const QString& path);

signals:
    void Changed(const QString& path);

private:
    void Note(const QString& path);
    void NoteFolder(const QString& folder);
    void Settle();

    QFileSystemWatcher watcher_;
    QTimer settle_;
    QSet<QString> pending_;
    QHash<QString, uint64_t> inodes_; // watched path -> inode of the file watched
    QHash<QString, int> folders_;     // folder -> watched paths in it
};

} // namespace workbench
