// Recovery copies: kept while a document has unsaved changes, gone when they
// are saved or discarded, and offered at the next start when the workbench
// died: killed, or crashed inside an add-in's command.
#include "DiskSync.h"
#include "RecoveryFixture.h"
#include "RecoveryOffer.h"
#include "RecoveryStore.h"
#include "WorkbenchFixture.h"

#include <QProcess>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

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

private slots:
    void initTestCase() {
        UseOwnDataFolder(home);
        root = RecoveryStore::DefaultFolder();
        QVERIFY(root.startsWith(home.path()));
    }

    void init() { QDir(root).removeRecursively(); }

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
            OfferRecovery(next.Documents());
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
    }

    void deadWorkbenchLosesNothing() {
        QFETCH(QString, crash);
        QFETCH(QByteArray, recovered);
        const QString path = WriteFile(home, "dies.pas", "unit A;\n");
        QProcess workbench;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        if (!crash.isEmpty()) {
            environment.insert("KESTREL_TEST_CRASH", crash);
        }
        workbench.setProcessEnvironment(environment);
        workbench.setWorkingDirectory(home.path());
        workbench.setChildProcessModifier([] {
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
        });
        workbench.start(WORKBENCH, {"--addin", CRASH_ADDIN, path});
        QVERIFY2(workbench.waitForStarted(), qPrintable(workbench.errorString()));
        if (crash.isEmpty()) {
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
        QCOMPARE(workbench.exitCode(), crash.isEmpty()    ? SIGKILL
                                       : crash == "abort" ? SIGABRT
                                                          : SIGSEGV);
        QCOMPARE(ReadFile(path), "unit A;\n");

        MainWindow next;
        MessageBoxAnswer recover(QMessageBox::Yes);
        OfferRecovery(next.Documents());
        QVERIFY(recover.answered);
        EditorDocument* document = next.Documents().FindDocument(path);
        QVERIFY(document);
        QCOMPARE(document->FileBytes(), recovered.toStdString());
        QVERIFY(next.Documents().SaveDocument(document));
        QCOMPARE(ReadFile(path), recovered);
        QVERIFY(RecoveryCopies(root).isEmpty());
    }
};

QTEST_MAIN(RecoveryTest)
#include "tst_recovery.moc"
