// Saving in the workbench as a user meets it: links, hard links, owners,
// modes, extended attributes and ACLs, folders that take no new file, long
// names. Rows that need another user are set up as root and saved as the
// unprivileged user "nobody"; without root they are skipped.
#include "WorkbenchFixture.h"

#include "CarefulSave.h"
#include "SaveJournal.h"

#include <QProcess>
#include <QStatusBar>
#include <QThread>
#include <QtTest>
#include <csignal>
#include <grp.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace workbench;
using namespace testing;

namespace {

constexpr uid_t kNobody = 65534;
constexpr uid_t kOther = 4321;

struct stat StatOf(const QString& path) {
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

// Runs the rest of a scope as "nobody" (effective ids only, so root comes
// back at its end).
class AsNobody {
public:
    AsNobody() {
        groups_.resize(static_cast<size_t>(::getgroups(0, nullptr)));
        ::getgroups(static_cast<int>(groups_.size()), groups_.data());
        ok_ = ::setgroups(0, nullptr) == 0 && ::setegid(kNobody) == 0 && ::seteuid(kNobody) == 0;
    }
    ~AsNobody() {
        ::seteuid(0);
        ::setegid(0);
        ::setgroups(groups_.size(), groups_.data());
    }
    bool Ok() const { return ok_; }

private:
    std::vector<gid_t> groups_;
    bool ok_ = false;
};

// An ACL that gives user `uid` read and write, in the kernel's xattr form.
QByteArray AclGranting(uid_t uid) {
    QByteArray acl;
    const auto add = [&](uint16_t tag, uint16_t perm, uint32_t id) {
        acl.append(reinterpret_cast<const char*>(&tag), 2);
        acl.append(reinterpret_cast<const char*>(&perm), 2);
        acl.append(reinterpret_cast<const char*>(&id), 4);
    };
    const uint32_t version = 2;
    acl.append(reinterpret_cast<const char*>(&version), 4);
    add(0x01, 6, ~0u); // owner
    add(0x02, 6, uid); // the named user
    add(0x04, 4, ~0u); // group
    add(0x10, 6, ~0u); // mask
    add(0x20, 4, ~0u); // others
    return acl;
}

QByteArray Attribute(const QString& path, const char* name) {
    char value[256];
    const ssize_t n = ::getxattr(QFile::encodeName(path).constData(), name, value, sizeof value);
    return n < 0 ? QByteArray() : QByteArray(value, static_cast<int>(n));
}

} // namespace

class CarefulSaveTest : public QObject {
    Q_OBJECT

    QTemporaryDir cache;
    std::unique_ptr<QTemporaryDir> dir;
    const bool root = ::geteuid() == 0;

    // Opens `path`, types at its start and saves; the status bar's note.
    QString EditAndSave(const QString& path, bool expectSaved = true) {
        MainWindow window;
        EditorDocument* document = window.Documents().OpenFile(path, false);
        if (document == nullptr) {
            return "not opened";
        }
        document->Editor()->insertAt("new ", 0, 0);
        if (window.Documents().SaveDocument(document) != expectSaved) {
            return "save result";
        }
        return window.Documents().EditWindow()->statusBar()->currentMessage();
    }

private slots:
    void initTestCase() { qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path())); }

    void init() {
        dir = std::make_unique<QTemporaryDir>();
        if (root) {
            // So that "nobody" may work in it.
            QVERIFY(::chmod(QFile::encodeName(dir->path()).constData(), 0777) == 0);
        }
    }

    void symbolicLinkWritesItsTarget() {
        const QString target = WriteFile(*dir, "target.pas", "unit T;\n");
        QVERIFY(QDir(dir->path()).mkdir("sub"));
        const QString link = dir->filePath("sub/link.pas");
        QVERIFY(QFile::link("../target.pas", link));
        QCOMPARE(EditAndSave(link), QString());
        QVERIFY(S_ISLNK(StatOf(link).st_mode));
        QCOMPARE(ReadFile(target), QByteArray("new unit T;\n"));
    }

    void hardLinksAreWrittenInPlace() {
        const QString a = WriteFile(*dir, "a.pas", "unit A;\n");
        const QString b = dir->filePath("b.pas");
        QVERIFY(::link(QFile::encodeName(a).constData(), QFile::encodeName(b).constData()) == 0);
        const QString note = EditAndSave(a);
        QVERIFY2(note.contains("not atomic") && note.contains("2 hard links"), qPrintable(note));
        QCOMPARE(StatOf(a).st_nlink, nlink_t(2));
        QCOMPARE(ReadFile(b), QByteArray("new unit A;\n"));
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // A SIGTERM that ends the workbench part way through a large save leaves
    // the file with its old bytes or its new ones, once the next start has
    // taken up the save journal: never a mix, whichever way the file is
    // written. The signal comes as the save starts, once its journal record
    // or temporary file is there, and once new bytes are being written.
    void signalDuringSaveLeavesOldOrNew_data() {
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("new file renamed over the old") << false;
        QTest::newRow("written in place, journalled (hard links)") << true;
    }

    void signalDuringSaveLeavesOldOrNew() {
        QFETCH(bool, inPlace);
        constexpr qsizetype kSize = qsizetype{32} << 20;
        const QByteArray old(kSize, 'o');
        const QByteArray saved(kSize, 'n');
        const QString journal = dir->filePath("journal");
        QVERIFY(QDir().mkpath(journal));
        const QString path = dir->filePath("big.pas");
        const auto temporary = [&] {
            const QStringList names =
                QDir(dir->path()).entryList({".kestrel-*"}, QDir::Files | QDir::Hidden);
            return names.isEmpty() ? QString() : dir->filePath(names.first());
        };
        const auto startedWriting = [&] {
            if (!inPlace) {
                return QFileInfo(temporary()).size() > 0;
            }
            QFile file(path);
            return file.open(QIODevice::ReadOnly) && file.read(1) == "n";
        };
        const std::function<bool()> moments[] = {
            [] { return true; },
            [&] { return inPlace ? !QDir(journal).isEmpty() : !temporary().isEmpty(); },
            startedWriting};
        int cutShort = 0;
        for (const auto& reached : moments) {
            QVERIFY(!WriteFile(*dir, "big.pas", old).isEmpty());
            const QString link = dir->filePath("link.pas");
            QFile::remove(link);
            if (inPlace) {
                QVERIFY(::link(QFile::encodeName(path).constData(),
                               QFile::encodeName(link).constData()) == 0);
            }
            QProcess saver;
            saver.start(SAVE_UNTIL_KILLED, {path, QString::number(kSize), journal});
            QVERIFY(saver.waitForReadyRead(10000));
            QElapsedTimer waited;
            waited.start();
            while (!reached() && waited.elapsed() < 10000) {
                QThread::usleep(200);
            }
            ::kill(static_cast<pid_t>(saver.processId()), SIGTERM);
            QVERIFY(saver.waitForFinished(20000));
            cutShort += saver.exitStatus() == QProcess::CrashExit ? 1 : 0;
            // The next start of the workbench.
            for (const InterruptedSave& taken : FinishInterruptedSaves(journal.toStdString())) {
                QCOMPARE(taken.outcome, InterruptedSave::Outcome::Finished);
            }
            const QByteArray now = ReadFile(path);
            QVERIFY2(now == old || now == saved,
                     qPrintable(
                         QString("%1 bytes, %2 of them new").arg(now.size()).arg(now.count('n'))));
        }
        QVERIFY2(cutShort >= 2, qPrintable(QString::number(cutShort)));
    }

    void longNamesSave() {
        const QString path = WriteFile(*dir, QString(250, 'n') + ".pas", "unit N;\n");
        QVERIFY(!path.isEmpty());
        QCOMPARE(EditAndSave(path), QString());
        QCOMPARE(ReadFile(path), QByteArray("new unit N;\n"));
    }

    // As root: another user's set-user-id file keeps its owner, group,
    // mode, extended attributes and ACL.
    void ownerModeAndAttributesAreKept() {
        if (!root) {
            QSKIP("needs root to give a file to another user");
        }
        const QString path = WriteFile(*dir, "owned.pas", "unit O;\n");
        const QByteArray name = QFile::encodeName(path);
        QVERIFY(::chown(name.constData(), kOther, kOther + 1) == 0);
        QVERIFY(::chmod(name.constData(), 04754) == 0);
        QVERIFY(::setxattr(name.constData(), "user.origin", "kept", 4, 0) == 0);
        const QByteArray acl = AclGranting(kNobody);
        const bool acls =
            ::setxattr(name.constData(), "system.posix_acl_access", acl.data(), acl.size(), 0) == 0;
        const mode_t mode = StatOf(path).st_mode & 07777; // the ACL's mask sets the group bits
        QVERIFY(mode & S_ISUID);
        QCOMPARE(EditAndSave(path), QString());
        const struct stat info = StatOf(path);
        QCOMPARE(info.st_uid, kOther);
        QCOMPARE(info.st_gid, kOther + 1);
        QCOMPARE(info.st_mode & 07777, mode);
        QCOMPARE(Attribute(path, "user.origin"), QByteArray("kept"));
        if (acls) {
            QCOMPARE(Attribute(path, "system.posix_acl_access"), acl);
        }
        QCOMPARE(ReadFile(path), QByteArray("new unit O;\n"));
    }

    // As a plain user: a folder that takes no new file, and another user's
    // file that this user may write, are written in place; another user's
    // read-only set-user-id file, saved anyway, becomes the saver's without
    // set-user-id.
    void plainUserSaves_data() {
        QTest::addColumn<QString>("situation");
        QTest::newRow("folder takes no new file") << "locked folder";
        QTest::newRow("another user's writable file") << "other's writable";
        QTest::newRow("another user's read-only setuid file") << "other's setuid";
    }

    void plainUserSaves() {
        QFETCH(QString, situation);
        if (!root) {
            QSKIP("needs root to set the files up for another user");
        }
        QVERIFY(QDir(dir->path()).mkdir("work"));
        const QString folder = dir->filePath("work");
        const QString path = folder + "/file.pas";
        QVERIFY(!WriteFile(*dir, "work/file.pas", "unit F;\n").isEmpty());
        const QByteArray name = QFile::encodeName(path);
        const QByteArray folderName = QFile::encodeName(folder);
        if (situation == "locked folder") {
            QVERIFY(::chown(name.constData(), kNobody, kNobody) == 0);
            QVERIFY(::chmod(folderName.constData(), 0755) == 0); // root's: no new files
        } else if (situation == "other's writable") {
            QVERIFY(::chown(name.constData(), kOther, kOther) == 0);
            QVERIFY(::chmod(name.constData(), 0666) == 0);
            QVERIFY(::chmod(folderName.constData(), 0777) == 0);
        } else {
            QVERIFY(::chown(name.constData(), kOther, kOther) == 0);
            QVERIFY(::chmod(name.constData(), 04755) == 0);
            QVERIFY(::chmod(folderName.constData(), 0777) == 0);
        }
        QString note;
        {
            AsNobody nobody;
            QVERIFY(nobody.Ok());
            MessageBoxAnswer answer(QMessageBox::Save); // "Save Anyway" where asked
            note = EditAndSave(path);
        }
        QCOMPARE(ReadFile(path), QByteArray("new unit F;\n"));
        const struct stat info = StatOf(path);
        if (situation == "other's setuid") {
            QCOMPARE(info.st_uid, kNobody);
            QCOMPARE(info.st_mode & 07777, 0755u);
            QVERIFY2(note.contains("belongs to you"), qPrintable(note));
        } else {
            QVERIFY2(note.contains("not atomic"), qPrintable(note));
            QCOMPARE(info.st_uid, situation == "locked folder" ? kNobody : kOther);
        }
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    // A save that cannot happen at all leaves the file as it was.
    void failedSaveKeepsTheFile() {
        if (!root) {
            QSKIP("needs root to set the files up for another user");
        }
        const QString path = WriteFile(*dir, "kept.pas", "unit K;\n");
        QVERIFY(::chown(QFile::encodeName(path).constData(), kOther, kOther) == 0);
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
        QVERIFY(::chmod(QFile::encodeName(dir->path()).constData(), 0755) == 0);
        {
            AsNobody nobody;
            MainWindow window;
            EditorDocument* document = window.Documents().OpenFile(path, false);
            QVERIFY(document && document->ReadOnlyOnDisk());
            document->Editor()->insertAt("new ", 0, 0);
            const kestrel::FileStatus saved = document->Save(path);
            QVERIFY(!saved);
            QVERIFY2(saved.Errno() == EACCES, saved.Message().c_str());
            QVERIFY(document->IsModified());
        }
        QCOMPARE(ReadFile(path), QByteArray("unit K;\n"));
    }
};

QTEST_MAIN(CarefulSaveTest)
#include "tst_carefulsave.moc"
