#pragma once

#include "CrashFlush.h"
#include "FileDescriptor.h"
#include "FileStamp.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace workbench {

class EditorDocument;

// Keeps a recovery copy of every modified document, written a moment after
// typing stops, so that nothing typed is lost when the workbench dies. Each
// running workbench keeps its copies in a session folder of its own, locked
// while it runs; the copies go when the document is saved or its changes
// are discarded. A session whose lock is free at start-up was left behind
// by a workbench that died, and can be recovered.
class RecoveryStore : public QObject {
    Q_OBJECT

public:
    // A recovery copy found on disk.
    struct Copy {
        QString path;         // the file it is a copy of
        std::string bytes;    // what saving it would have written
        bool hasBase = false; // whether a file was there when it was edited
        FileStamp::Hash base; // of that file's bytes
        QDateTime written;
    };

    explicit RecoveryStore(const QString& folder = DefaultFolder(), QObject* parent = nullptr);
    // Copies of documents that are still modified stay, to be recovered.
    ~RecoveryStore() override;

    // The user's data folder for the workbench, "recovery" in it.
    static QString DefaultFolder();

    void Track(EditorDocument* document);
    // The document is closed: its changes were saved or discarded.
    void Forget(EditorDocument* document);
    // How long typing must rest before copies are written.
    void SetIdleDelay(int milliseconds) { idle_.setInterval(milliseconds); }
    // Where the document's copy is written (it may not exist yet).
    QString CopyPathOf(EditorDocument* document) const;

    // While an add-in's code runs, a crash must not lose what was typed or
    // what the add-in wrote: every change is made ready for the crash
    // handler at once. Held for the add-in call.
    class CrashGuard {
    public:
        explicit CrashGuard(RecoveryStore& store);
        ~CrashGuard();
        CrashGuard(const CrashGuard&) = delete;
        CrashGuard& operator=(const CrashGuard&) = delete;

    private:
        RecoveryStore& store_;
    };

    // The copies of sessions left behind by workbenches that died, newest
    // first. Their sessions stay claimed by this store (no other workbench
    // offers them) until they are discarded or released.
    QList<Copy> ClaimLeftBehind();
    // Deletes the claimed sessions: their copies were recovered or refused.
    void DiscardClaimed();
    // Leaves the claimed sessions for the next start.
    void ReleaseClaimed();

    // Writes the copies of every changed document now.
    void Flush();

    // While some copy cannot be written (a full or read-only disk), the
    // store tries again every so often.
    void SetRetryDelay(int milliseconds) { retry_.setInterval(milliseconds); }
    // Why copies cannot be written; empty while they can.
    QString Failure() const { return failure_; }

signals:
    // A copy could not be written: the changes it was to keep are at risk.
    // Sent again when the reason changes.
    void CopiesFailing(const QString& why);
    // Every changed document has its copy again (or none needs one).
    void CopiesWritten();

private:
    struct Entry {
        int slot = -1;
        QString file; // the copy's path
        bool dirty = false;
        std::unique_ptr<RecoveryImage> latest;
        std::unique_ptr<RecoveryImage> previous; // kept while a crash handler may read it
        bool onDisk = false;
        bool failed = false; // the last copy could not be written
    };

    void Edited(EditorDocument* document);
    void Remove(EditorDocument* document);
    const RecoveryImage* Prepare(EditorDocument* document);
    bool OpenSession();
    // Says when copies start or stop failing.
    void UpdateFailure(const QString& why);

    QString root_;
    QString session_;
    kestrel::FileDescriptor lock_; // of the session folder, held while this store lives
    int nextCopy_ = 0;
    int armed_ = 0;
    bool warned_ = false;
    std::unordered_map<EditorDocument*, Entry> entries_;
    QTimer idle_;
    QTimer retry_;
    QString failure_;
    QElapsedTimer dirtySince_;
    std::vector<kestrel::FileDescriptor> claimedLocks_;
    QStringList claimed_;
};

} // namespace workbench
