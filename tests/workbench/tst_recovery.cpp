// Recovery copies: kept while a document has unsaved changes, gone when they
// are saved or discarded, and offered at the next start when the workbench
// died: killed, or crashed inside an add-in's command.
#include "DiskSync.h"
#include "RecoveryBar.h"
#include "RecoveryFixture.h"
#include "RecoveryStore.h"
#include "SaveJournalFolder.h"
#include "WorkbenchFixture.h"

#include <QProcess>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace workbench;
using namespace testing;

class RecoveryTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QString root;

    // What the copy of `document` holds, or empty when there is none.
    static QByteArray CopyOf(MainWindow& window, EditorDocument* document) {
        return ReadFile(window.Documents().Recovery().CopyPathOf(document));
    }

    // Starts the workbench with the test add-in on `path`, under `tracer`
    // (a command line) when one is given.
    void StartWorkbench(QProcess& workbench, const QString& crash, const QStringList& tracer,
                        const QString& path) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("ASAN_OPTIONS", "detect_leaks=0"); // no leak checker under ptrace
        if (!crash.isEmpty()) {
            environment.insert("KESTREL_TEST_CRASH", crash);
        }
        workbench.setProcessEnvironment(environment);
        workbench.setWorkingDirectory(home.path());
        workbench.setChildProcessModifier([] {
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
        });
        const QStringList command = tracer + QStringList{WORKBENCH, "--addin", CRASH_ADDIN, path};
        workbench.start(command.first(), command.mid(1));
    }

private slots:
    void initTestCase() {
        UseOwnDataFolder(home);
        root = RecoveryStore::DefaultFolder();
        QVERIFY(root.startsWith(home.path()));
    }

    void init() {
        QDir(root).removeRecursively();
        QDir(SaveJournalFolder()).removeRecursively();
    }

    void copiesLastAsLongAsTheChanges() {
        MainWindow window;
        window.Documents().Recovery().SetIdleDelay(10);
        const QString path = WriteFile(home, "copy.pas", "unit A;\r\n");
        EditorDocument* document = window.Documents().OpenFile(path, false);
        CodeEditor* editor = document->Editor();
        QTest::keyClicks(editor, "x");
        QTRY_VERIFY(CopyOf(window, document).endsWith("\n\nxunit A;\r\n"));
        editor->undo();
        QTRY_VERIFY(RecoveryCopies(root).isEmpty());

        QTest::keyClicks(editor, "y");
        QTRY_COMPARE(RecoveryCopies(root).size(), 1);
        QVERIFY(window.Documents().SaveDocument(document));
        QVERIFY(RecoveryCopies(root).isEmpty());

        QTest::keyClicks(editor, "z");
        QTRY_COMPARE(RecoveryCopies(root).size(), 1);
        MessageBoxAnswer discard(QMessageBox::Discard);
        QVERIFY(window.Documents().CloseDocument(document));
        QVERIFY(RecoveryCopies(root).isEmpty());
        QCOMPARE(ReadFile(path), "yunit A;\r\n");
    }

    // With the data folder on a full disk, the edit window says at once that
    // the changes are not safe, and the copy is written as soon as there is
    // room again.
    void fullDiskIsShownAndRetried() {
        const QString data = home.filePath("data");
        QVERIFY(QDir().mkpath(data));
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", data}) != 0) {
            QSKIP("a small tmpfs cannot be mounted here (that needs root)");
        }
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {data}); });
        const QString path =
            WriteFile(home, "big.pas", QByteArray("procedure P;\n").repeated(10000));
        MainWindow window;
        window.Documents().Recovery().SetIdleDelay(10);
        window.Documents().Recovery().SetRetryDelay(50);
        EditorDocument* document = window.Documents().OpenFile(path, false);
        QVERIFY(document);
        QTest::keyClicks(document->Editor(), "x");
        auto* bar = window.Documents().EditWindow()->findChild<RecoveryBar*>("RecoveryBar");
        QVERIFY(bar);
        QTRY_VERIFY(bar->isVisible());
        QVERIFY2(bar->Text().contains("No space left on device"), qPrintable(bar->Text()));
        QTest::qWait(200); // several retries: the bar stays
        QVERIFY(bar->isVisible());
        QVERIFY(RecoveryCopies(root).isEmpty());

        QCOMPARE(QProcess::execute("mount", {"-o", "remount,size=1m", data}), 0);
        QTRY_VERIFY(!bar->isVisible());
        QCOMPARE(RecoveryCopies(root).size(), 1);
        QVERIFY(
            ReadFile(RecoveryCopies(root).value(0)).contains("\n\nxprocedure P;\nprocedure P;\n"));
        QVERIFY(window.Documents().Recovery().Failure().isEmpty());
    }

    // A document needs no view: the host's edits reach its text and its
    // recovery copy, a save removes the copy, and a change on disk reloads
    // it, with no code editor made.
    void documentWithoutViewIsKeptAndFollowsTheDisk() {
        struct NoWindow : DiskSync::Host {
            bool SaveDocument(EditorDocument* document) override {
                return static_cast<bool>(document->Save(document->Path()));
            }
            TEditWindow* EditWindow() const override { return nullptr; }
        } host;
        const QString path = WriteFile(home, "viewless.pas", "unit A;\r\n");
        kestrel::FileStatus status;
        std::unique_ptr<EditorDocument> document(EditorDocument::Load(path, status));
        QVERIFY(document && status);
        DiskSync disk(host, nullptr);
        RecoveryStore store(root);
        store.SetIdleDelay(10);
        disk.Track(document.get());
        store.Track(document.get());

        QVERIFY(document->ApplyInsertions(*document->BufferBytes(), {{0, "x"}}));
        QVERIFY(document->IsModified());
        QVERIFY(document->Editor() == nullptr);
        QTRY_VERIFY(ReadFile(store.CopyPathOf(document.get())).endsWith("\n\nxunit A;\r\n"));
        QVERIFY(host.SaveDocument(document.get()));
        QVERIFY(RecoveryCopies(root).isEmpty());
        QCOMPARE(ReadFile(path), "xunit A;\r\n");

        WriteFile(home, "viewless.pas", "unit B;\r\n");
        disk.Check(document.get());
        QCOMPARE(disk.StateOf(document.get()), DiskSync::State::InSync);
        QCOMPARE(*document->BufferBytes(), "unit B;\r\n");
        QVERIFY(!document->IsModified());
        store.Forget(document.get());
        disk.Forget(document.get());
    }

    // A workbench that ends with unsaved changes leaves them behind; the
    // next one offers them. Meanwhile the file may have changed on disk.
    void leftBehindChangesAreOffered_data() {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("fileChanged");
        QTest::newRow("recover") << QMessageBox::Yes << false;
        QTest::newRow("recover, file changed since") << QMessageBox::Yes << true;
        QTest::newRow("discard") << QMessageBox::Discard << false;
        QTest::newRow("later") << QMessageBox::Ignore << false;
    }

    void leftBehindChangesAreOffered() {
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, fileChanged);
        const QString path = WriteFile(home, "left.pas", "unit A;\n");
        {
            MainWindow first;
            EditorDocument* document = first.Documents().OpenFile(path, false);
            QTest::keyClicks(document->Editor(), "mine ");
            // While it runs, nobody else takes its changes.
            MainWindow second;
            QVERIFY(second.Documents().Recovery().ClaimLeftBehind().isEmpty());
        }
        if (fileChanged) {
            QVERIFY(!WriteFile(home, "left.pas", "theirs\n").isEmpty());
        }
        MainWindow next;
        {
            MessageBoxAnswer reply(answer);
            next.Documents().OfferRecovery();
            QVERIFY(reply.answered);
            QVERIFY(reply.text.contains(path));
        }
        EditorDocument* document = next.Documents().FindDocument(path);
        QCOMPARE(document != nullptr, answer == QMessageBox::Yes);
        if (document != nullptr) {
            QVERIFY(document->IsModified());
            QCOMPARE(document->FileBytes(), "mine unit A;\n");
            QCOMPARE(next.Documents().Disk().StateOf(document),
                     fileChanged ? DiskSync::State::Changed : DiskSync::State::InSync);
            // The recovered changes have a copy of their own at once.
            QCOMPARE(RecoveryCopies(root).size(), 1);
            QVERIFY(CopyOf(next, document).endsWith("mine unit A;\n"));
        } else {
            QCOMPARE(RecoveryCopies(root).size(), answer == QMessageBox::Ignore ? 1 : 0);
        }
        QCOMPARE(ReadFile(path), fileChanged ? "theirs\n" : "unit A;\n");
    }

    // A real workbench process with the test add-in, which types into the
    // file; then the process is killed, or the add-in crashes inside a
    // command right after writing more.
    void deadWorkbenchLosesNothing_data() {
        QTest::addColumn<QString>("crash");
        QTest::addColumn<QByteArray>("recovered");
        QTest::newRow("SIGKILL") << "" << QByteArray("{typed before}unit A;\n");
        QTest::newRow("segfault in a command")
            << "segv" << QByteArray("{written by the command}{typed before}unit A;\n");
        QTest::newRow("abort in a command")
            << "abort" << QByteArray("{written by the command}{typed before}unit A;\n");
        for (const char* signal : {"SIGTERM", "SIGHUP", "SIGINT"}) {
            QTest::newRow(signal) << QString("signal:") + signal
                                  << QByteArray("{typed before}unit A;\n");
        }
        QTest::newRow("segfault in the second of two commands")
            << "second"
            << QByteArray("{once more}{again}{written by the command}{first command}{typed "
                          "before}unit A;\n");
    }

    void deadWorkbenchLosesNothing() {
        QFETCH(QString, crash);
        QFETCH(QByteArray, recovered);
        const QString path = WriteFile(home, "dies.pas", "unit A;\n");
        QProcess workbench;
        const int signal = crash == "signal:SIGTERM"  ? SIGTERM
                           : crash == "signal:SIGHUP" ? SIGHUP
                           : crash == "signal:SIGINT" ? SIGINT
                           : crash.isEmpty()          ? SIGKILL
                           : crash == "abort"         ? SIGABRT
                                                      : SIGSEGV;
        StartWorkbench(workbench, crash.section(':', 0, 0), {}, path);
        QVERIFY2(workbench.waitForStarted(), qPrintable(workbench.errorString()));
        if (crash.startsWith("signal:")) {
            // Well within the time the copy waits for typing to rest.
            QByteArray said;
            QTRY_VERIFY_WITH_TIMEOUT((said += workbench.readAllStandardOutput()).contains("typed"),
                                     15000);
            QTest::qWait(100);
            ::kill(static_cast<pid_t>(workbench.processId()), signal);
        } else if (crash.isEmpty()) {
            // Killed once the copy of the typing is on disk: a few seconds
            // after the typing stopped.
            QTRY_VERIFY_WITH_TIMEOUT(
                RecoveryCopies(root).size() == 1 &&
                    ReadFile(RecoveryCopies(root).value(0)).endsWith(recovered),
                15000);
            ::kill(static_cast<pid_t>(workbench.processId()), SIGKILL);
        }
        QVERIFY(workbench.waitForFinished(20000));
        QCOMPARE(workbench.exitStatus(), QProcess::CrashExit);
        QCOMPARE(workbench.exitCode(), signal);
        QCOMPARE(ReadFile(path), "unit A;\n");

        MainWindow next;
        MessageBoxAnswer recover(QMessageBox::Yes);
        next.Documents().OfferRecovery();
        QVERIFY(recover.answered);
        EditorDocument* document = next.Documents().FindDocument(path);
        QVERIFY(document);
        QCOMPARE(document->FileBytes(), recovered.toStdString());
        QVERIFY(next.Documents().SaveDocument(document));
        QCOMPARE(ReadFile(path), recovered);
        QVERIFY(RecoveryCopies(root).isEmpty());
    }

    // A real workbench saves, and is killed at a chosen system call of the
    // save. Whatever the step, the file holds its old bytes or the new ones
    // once the next start is done, which says so when it had to finish the
    // save; no temporary file of the save stays behind.
    void saveCutShortLeavesOldOrNew_data() {
        QTest::addColumn<bool>("hardLinked");
        QTest::addColumn<QString>("killAt");
        QTest::addColumn<bool>("finished"); // else the file keeps its old bytes
        QTest::addColumn<bool>("told");
        // In place: the journal is written (four writes, one sync), then the
        // file, cut to its new length and synced; then the journal goes.
        QTest::newRow("in place, journal half written")
            << true << "pwrite64:when=2" << false << false;
        QTest::newRow("in place, journal synced") << true << "fsync:when=1" << true << true;
        QTest::newRow("in place, first write") << true << "pwrite64:when=5" << true << true;
        QTest::newRow("in place, cut to length") << true << "ftruncate:when=1" << true << true;
        QTest::newRow("in place, file synced") << true << "fsync:when=3" << true << false;
        QTest::newRow("in place, journal removed") << true << "unlink:when=1" << true << false;
        QTest::newRow("replaced, at the rename") << false << "rename:when=1" << false << false;
    }

    void saveCutShortLeavesOldOrNew() {
        QFETCH(bool, hardLinked);
        QFETCH(QString, killAt);
        QFETCH(bool, finished);
        QFETCH(bool, told);
        if (QProcess::execute("strace", {"-o", "/dev/null", "true"}) != 0) {
            QSKIP("strace cannot trace processes here");
        }
        QTemporaryDir folder;
        const QByteArray old = "unit A;\n{ the old text, longer than the new one }\n";
        const QByteArray saved = "{typed before}";
        const QString path = WriteFile(folder, "cut.pas", old);
        if (hardLinked) {
            QCOMPARE(::link(QFile::encodeName(path).constData(),
                            QFile::encodeName(folder.filePath("other.pas")).constData()),
                     0);
        }
        QProcess workbench;
        const QString syscall = killAt.section(':', 0, 0);
        StartWorkbench(workbench, "save",
                       {"strace", "-f", "-qq", "-o", "/dev/null",
                        "--inject=" + syscall + ":signal=KILL:" + killAt.section(':', 1)},
                       path);
        QVERIFY(workbench.waitForFinished(30000));
        QVERIFY2(workbench.exitStatus() == QProcess::CrashExit || workbench.exitCode() != 0,
                 "the workbench was not stopped in its save");
        const QByteArray left = ReadFile(path);
        QVERIFY2(left == old || left.startsWith(saved), left.constData());

        MainWindow next;
        {
            MessageBoxAnswer reply(QMessageBox::Ok);
            next.Documents().OfferRecovery();
            QCOMPARE(reply.answered, told);
            if (told) {
                QVERIFY2(reply.text.contains(path) && reply.text.contains("the save was finished"),
                         qPrintable(reply.text));
            }
        }
        QCOMPARE(ReadFile(path), finished ? saved : old);
        QVERIFY(QDir(SaveJournalFolder()).entryList(QDir::Files).isEmpty());

        // The next save of the file clears what a crash left in its folder.
        EditorDocument* document = next.Documents().OpenFile(path, false);
        QVERIFY(document);
        QTest::keyClicks(document->Editor(), "x");
        QVERIFY(next.Documents().SaveDocument(document));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 hardLinked ? QStringList({"cut.pas", "other.pas"}) : QStringList{"cut.pas"});
    }
};

QTEST_MAIN(RecoveryTest)
#include "tst_recovery.moc"
