#include "RecoveryStore.h"

#include "EditorDocument.h"
#include "FileReading.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace workbench {

namespace {

constexpr int kIdleMs = 2000;       // typing rests this long before copies are written
constexpr int kMostDelayMs = 20000; // and steady typing waits no longer than this
constexpr int kRetryMs = 5000;      // a copy that could not be written is tried again
constexpr char kMagic[] = "Kestrel recovery copy 1\n";
const QString kSuffix = QStringLiteral(".kestrel-recovery");

std::string Header(const QString& path, const FileStamp& base, size_t length) {
    std::string header = kMagic;
    header += "path " + QFile::encodeName(path).toPercentEncoding().toStdString() + "\n";
    header += "base " + (base.exists ? base.contents.ToHex().toStdString() : "none") + "\n";
    header += "length " + std::to_string(length) + "\n\n";
    return header;
}

// A copy as written by Header and the bytes after it; false for anything
// else, such as a copy cut short.
bool ParseCopy(const QByteArray& data, RecoveryStore::Copy& copy) {
    if (!data.startsWith(kMagic)) {
        return false;
    }
    const qsizetype end = data.indexOf("\n\n");
    if (end < 0) {
        return false;
    }
    bool pathSeen = false;
    bool baseSeen = false;
    qsizetype length = -1;
    for (const QByteArray& line : data.first(end).split('\n').mid(1)) {
        const qsizetype space = line.indexOf(' ');
        const QByteArray key = line.first(qMax<qsizetype>(space, 0));
        const QByteArray value = line.mid(space + 1);
        if (key == "path") {
            copy.path = QFile::decodeName(QByteArray::fromPercentEncoding(value));
            pathSeen = !copy.path.isEmpty();
        } else if (key == "base") {
            copy.hasBase = value != "none";
            baseSeen =
                !copy.hasBase || FileStamp::Hash::FromHex(QString::fromLatin1(value), copy.base);
        } else if (key == "length") {
            bool ok = false;
            length = value.toLongLong(&ok);
            length = ok ? length : -1;
        }
    }
    const QByteArray bytes = data.sliced(end + 2);
    if (!pathSeen || !baseSeen || length != bytes.size()) {
        return false;
    }
    copy.bytes.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
    return true;
}

// Opens `folder`'s lock file and takes its lock; not open when another
// process holds it (or it cannot be opened).
kestrel::FileDescriptor TakeLock(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder + "/lock");
    kestrel::FileDescriptor fd(::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (fd.IsOpen() && ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        fd.Close();
    }
    return fd;
}

} // namespace

RecoveryStore::RecoveryStore(const QString& folder, QObject* parent)
    : QObject(parent), root_(folder) {
    idle_.setSingleShot(true);
    idle_.setInterval(kIdleMs);
    connect(&idle_, &QTimer::timeout, this, &RecoveryStore::Flush);
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, [this] {
        for (auto& [document, entry] : entries_) {
            entry.dirty = entry.dirty || entry.failed;
        }
        Flush();
    });
}

RecoveryStore::~RecoveryStore() {
    bool kept = false;
    for (auto& [document, entry] : entries_) {
        kept = kept || entry.onDisk;
        crash_slots::Release(entry.slot);
    }
    ReleaseClaimed();
    if (lock_.IsOpen() && !kept) {
        QDir(session_).removeRecursively();
    }
}

QString RecoveryStore::DefaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/recovery";
}

void RecoveryStore::Track(EditorDocument* document) {
    if (entries_.contains(document)) {
        return;
    }
    entries_.try_emplace(document);
    connect(document, &EditorDocument::TextChanged, this, [this, document] { Edited(document); });
    connect(document, &EditorDocument::ModifiedChanged, this, [this, document] {
        if (!document->IsModified()) {
            Remove(document);
        }
    });
    // A recovered document is written at once: it exists nowhere else.
    if (document->IsModified()) {
        entries_[document].dirty = true;
        Flush();
    }
}

void RecoveryStore::Forget(EditorDocument* document) {
    if (!entries_.contains(document)) {
        return;
    }
    Remove(document);
    crash_slots::Release(entries_.at(document).slot);
    entries_.erase(document);
    disconnect(document, nullptr, this, nullptr);
}

QString RecoveryStore::CopyPathOf(EditorDocument* document) const {
    const auto it = entries_.find(document);
    return it == entries_.end() ? QString() : it->second.file;
}

void RecoveryStore::Edited(EditorDocument* document) {
    Entry& entry = entries_[document];
    entry.dirty = true;
    if (armed_ > 0 && document->IsModified()) {
        Prepare(document);
    }
    if (!dirtySince_.isValid()) {
        dirtySince_.start();
    }
    if (dirtySince_.elapsed() >= kMostDelayMs) {
        Flush();
    } else {
        idle_.start();
    }
}

void RecoveryStore::Flush() {
    QString why;
    idle_.stop();
    dirtySince_.invalidate();
    for (auto& [document, entry] : entries_) {
        if (!std::exchange(entry.dirty, false)) {
            continue;
        }
        if (!document->IsModified()) {
            Remove(document);
            continue;
        }
        errno = 0;
        const RecoveryImage* image = Prepare(document);
        if (image != nullptr && WriteRecoveryImage(*image)) {
            crash_slots::MarkWritten(entry.slot, image);
            entry.onDisk = true;
            entry.failed = false;
            continue;
        }
        const QString reason = errno != 0 ? MessageOf(kestrel::FileStatus::FromErrno(errno))
                                          : tr("no folder for them");
        why = tr("Recovery copies cannot be written in %1: %2.").arg(root_, reason);
        entry.failed = true;
        if (!std::exchange(warned_, true)) {
            qWarning("workbench: cannot write recovery copies in %s: %s", qPrintable(root_),
                     qPrintable(reason));
        }
    }
    UpdateFailure(why);
}

void RecoveryStore::UpdateFailure(const QString& why) {
    const bool failing = std::any_of(entries_.begin(), entries_.end(),
                                     [](const auto& entry) { return entry.second.failed; });
    if (failing) {
        retry_.start();
        if (!why.isEmpty() && why != failure_) {
            failure_ = why;
            emit CopiesFailing(failure_);
        }
    } else if (!failure_.isEmpty()) {
        retry_.stop();
        failure_.clear();
        emit CopiesWritten();
    }
}

const RecoveryImage* RecoveryStore::Prepare(EditorDocument* document) {
    Entry& entry = entries_[document];
    if (!OpenSession()) {
        return nullptr;
    }
    if (entry.slot < 0) {
        entry.slot = crash_slots::Claim();
    }
    if (entry.file.isEmpty()) {
        entry.file = QStringLiteral("%1/%2%3").arg(session_).arg(nextCopy_++).arg(kSuffix);
    }
    auto image = std::make_unique<RecoveryImage>();
    // The image before the latest is let go now: its memory, already mapped,
    // takes the new copy.
    if (entry.previous) {
        image->bytes = std::move(entry.previous->bytes);
    }
    document->FileBytes(image->bytes);
    image->header = Header(document->Path(), document->DiskStamp(), image->bytes.size());
    image->path = QFile::encodeName(entry.file).toStdString();
    image->temp = image->path + ".tmp";
    image->crashTemp = image->path + ".crash";
    entry.previous = std::move(entry.latest);
    entry.latest = std::move(image);
    crash_slots::Publish(entry.slot, entry.latest.get());
    return entry.latest.get();
}

void RecoveryStore::Remove(EditorDocument* document) {
    auto it = entries_.find(document);
    if (it == entries_.end()) {
        return;
    }
    Entry& entry = it->second;
    crash_slots::Publish(entry.slot, nullptr);
    crash_slots::MarkWritten(entry.slot, nullptr);
    if (!entry.file.isEmpty()) {
        QFile::remove(entry.file);
    }
    entry.onDisk = false;
    entry.dirty = false;
    if (std::exchange(entry.failed, false)) {
        UpdateFailure({});
    }
}

bool RecoveryStore::OpenSession() {
    if (lock_.IsOpen()) {
        return true;
    }
    const QString session =
        QStringLiteral("%1/%2-%3")
            .arg(root_)
            .arg(QCoreApplication::applicationPid())
            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    // Copies may hold private text: only the user reads them.
    if (!QDir().mkpath(session) ||
        !QFile::setPermissions(root_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
        !QFile::setPermissions(session, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        return false;
    }
    lock_ = TakeLock(session);
    if (!lock_.IsOpen()) {
        return false;
    }
    session_ = session;
    return true;
}

QList<RecoveryStore::Copy> RecoveryStore::ClaimLeftBehind() {
    QList<Copy> copies;
    const QDir root(root_);
    for (const QFileInfo& folder : root.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString path = folder.absoluteFilePath();
        if (path == QFileInfo(session_).absoluteFilePath() || claimed_.contains(path)) {
            continue;
        }
        kestrel::FileDescriptor lock = TakeLock(path);
        if (!lock.IsOpen()) {
            continue; // its workbench still runs
        }
        claimedLocks_.push_back(std::move(lock));
        claimed_ << path;
        const QDir session(path);
        for (const QFileInfo& file : session.entryInfoList({"*" + kSuffix}, QDir::Files)) {
            QFile in(file.absoluteFilePath());
            Copy copy;
            if (in.open(QIODevice::ReadOnly) && ParseCopy(in.readAll(), copy)) {
                copy.written = file.lastModified();
                copies << std::move(copy);
            }
        }
    }
    // The newest copy of each file.
    std::stable_sort(copies.begin(), copies.end(),
                     [](const Copy& a, const Copy& b) { return a.written > b.written; });
    QSet<QString> seen;
    copies.removeIf([&seen](const Copy& copy) {
        const bool older = seen.contains(copy.path);
        seen.insert(copy.path);
        return older;
    });
    return copies;
}

void RecoveryStore::DiscardClaimed() {
    for (const QString& folder : std::as_const(claimed_)) {
        QDir(folder).removeRecursively();
    }
    ReleaseClaimed();
}

void RecoveryStore::ReleaseClaimed() {
    claimedLocks_.clear();
    claimed_.clear();
}

RecoveryStore::CrashGuard::CrashGuard(RecoveryStore& store) : store_(store) {
    if (store_.armed_++ == 0) {
        for (auto& [document, entry] : store_.entries_) {
            if (entry.dirty && document->IsModified()) {
                store_.Prepare(document);
            }
        }
    }
}

RecoveryStore::CrashGuard::~CrashGuard() {
    --store_.armed_;
}

} // namespace workbench
