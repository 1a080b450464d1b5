// Another program changes, replaces or deletes a file open in the workbench:
// real files in a temporary folder, changed by a shell as another program
// would.
#include "DiskSync.h"
#include "MenuTree.h"
#include "WorkbenchFixture.h"

#include <QProcess>
#include <QScrollBar>
#include <QStatusBar>
#include <QtTest>

using namespace workbench;
using namespace testing;

namespace {

// Runs `script` in a shell with $F set to `path`.
bool OtherProgram(const QString& script, const QString& path) {
    QProcess shell;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("F", path);
    shell.setProcessEnvironment(environment);
    shell.start("/bin/sh", {"-c", script});
    return shell.waitForFinished() && shell.exitStatus() == QProcess::NormalExit &&
           shell.exitCode() == 0;
}

QByteArray Lines(int count, const QByteArray& changedFifth = {}) {
    QByteArray text;
    for (int i = 1; i <= count; ++i) {
        text += i == 5 && !changedFifth.isEmpty() ? changedFifth : "line " + QByteArray::number(i);
        text += "\r\n";
    }
    return text;
}

QString Text(EditorDocument* document) {
    return document->Editor()->text().replace("\r\n", "\n");
}

} // namespace

class DiskChangesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    // How other programs write a file: in place, by renaming a new file over
    // it (editors, git), or by deleting it and writing a new one.
    void unmodifiedDocumentFollowsTheDisk_data() {
        QTest::addColumn<QString>("write");
        QTest::newRow("in place") << "cat \"$F.new\" > \"$F\"";
        QTest::newRow("renamed over") << "mv \"$F.new\" \"$F\"";
        QTest::newRow("deleted and written") << "rm \"$F\" && cat \"$F.new\" > \"$F\"";
    }

    void unmodifiedDocumentFollowsTheDisk() {
        QFETCH(QString, write);
        MainWindow window;
        const QString path = WriteFile(dir, "follow.pas", Lines(200));
        EditorDocument* document = window.Documents().OpenFile(path, false);
        CodeEditor* editor = document->Editor();
        editor->SetCursorLineColumn(120, 4);
        editor->verticalScrollBar()->setValue(99);

        // Twice: the second change shows that the watch survived the first.
        for (const QByteArray fifth : {"fifth, once", "fifth, twice"}) {
            QVERIFY(WriteFile(dir, "follow.pas.new", Lines(200, fifth)) == path + ".new");
            QVERIFY(OtherProgram(write, path));
            QTRY_VERIFY(Text(document).contains(fifth));
            QCOMPARE(Text(document), QString::fromLatin1(Lines(200, fifth)).replace("\r\n", "\n"));
            QVERIFY(!document->IsModified());
            QCOMPARE(editor->CursorLine(), 120);
            QCOMPARE(editor->CursorColumn(), 4);
            QCOMPARE(editor->TopLine(), 99);
            QCOMPARE(window.Documents().Disk().StateOf(document), DiskSync::State::InSync);
            QVERIFY(!window.Documents().Disk().Bar() ||
                    window.Documents().Disk().Bar()->isHidden());
        }
        // And the file keeps its bytes when saved now.
        QVERIFY(window.Documents().SaveDocument(document));
        QCOMPARE(ReadFile(path), Lines(200, "fifth, twice"));
    }

    // The user has typed; another program writes the file. Nothing typed is
    // lost, whatever the user chooses in the bar.
    void modifiedDocumentOffersAChoice_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QByteArray>("disk");
        QTest::addColumn<QString>("text");
        QTest::newRow("reload") << "DiskReloadAction" << QByteArray("theirs\n") << "theirs\n";
        QTest::newRow("overwrite")
            << "DiskOverwriteAction" << QByteArray("mine unit A;\n") << "mine unit A;\n";
        QTest::newRow("later") << "DiskLaterAction" << QByteArray("theirs\n") << "mine unit A;\n";
        QTest::newRow("later, then File > Reload from Disk")
            << "FileReloadItem" << QByteArray("theirs\n") << "theirs\n";
    }

    void modifiedDocumentOffersAChoice() {
        QFETCH(QString, choice);
        MainWindow window;
        const QString path = WriteFile(dir, "choice.pas", "unit A;\n");
        EditorDocument* document = window.Documents().OpenFile(path, false);
        QTest::keyClicks(document->Editor(), "mine ");
        QVERIFY(OtherProgram("printf 'theirs\\n' > \"$F\"", path));
        QTRY_COMPARE(window.Documents().Disk().StateOf(document), DiskSync::State::Changed);
        DiskChangeBar* bar = window.Documents().Disk().Bar();
        QVERIFY(bar && bar->isVisible());
        QVERIFY(bar->Text().contains("choice.pas has been changed by another program"));
        QCOMPARE(Text(document), "mine unit A;\n");

        if (choice == "FileReloadItem") {
            bar->findChild<QAction*>("DiskLaterAction")->trigger();
            FindMenuAction(*window.menuBar(), choice)->trigger();
        } else {
            bar->findChild<QAction*>(choice)->trigger();
        }
        QTEST(ReadFile(path), "disk");
        QTEST(Text(document), "text");
        QVERIFY(bar->isHidden());
        if (choice == "DiskReloadAction" || choice == "FileReloadItem") {
            QVERIFY(!document->IsModified());
            document->Editor()->undo(); // the typing is still there
            QCOMPARE(Text(document), "mine unit A;\n");
        }
        if (choice == "DiskLaterAction") {
            // Saving still asks: first the user cancels, then overwrites.
            for (const auto button : {QMessageBox::Cancel, QMessageBox::Save}) {
                MessageBoxAnswer answer(button);
                QCOMPARE(window.Documents().SaveDocument(document), button == QMessageBox::Save);
                QVERIFY(answer.answered);
                QVERIFY(answer.text.contains("changed by another program since it was read"));
            }
            QCOMPARE(ReadFile(path), "mine unit A;\n");
        }
        QCOMPARE(window.Documents().Disk().StateOf(document), DiskSync::State::InSync);
    }

    // A save right after another program's write, before any watch reports
    // it, still asks; a write that leaves the same bytes does not.
    void saveAsksOnlyWhenTheBytesDiffer_data() {
        QTest::addColumn<QString>("write");
        QTest::addColumn<bool>("asks");
        QTest::newRow("longer") << "printf 'unit Other;\\n' > \"$F\"" << true;
        // Same size, and the old time put back: only the bytes tell.
        QTest::newRow("same size and time")
            << "touch -r \"$F\" \"$F.time\" && printf 'unit B;\\n' > \"$F\" && "
               "touch -r \"$F.time\" \"$F\""
            << true;
        QTest::newRow("touched") << "touch -d '2001-01-01' \"$F\"" << false;
        QTest::newRow("same bytes renamed over")
            << "cp \"$F\" \"$F.copy\" && mv \"$F.copy\" \"$F\"" << false;
    }

    void saveAsksOnlyWhenTheBytesDiffer() {
        QFETCH(QString, write);
        QFETCH(bool, asks);
        MainWindow window;
        const QString path = WriteFile(dir, "asks.pas", "unit A;\n");
        EditorDocument* document = window.Documents().OpenFile(path, false);
        document->Editor()->insertAt("{x}", 0, 0);
        QVERIFY(OtherProgram(write, path));
        const QByteArray before = ReadFile(path);
        MessageBoxAnswer answer(QMessageBox::Cancel);
        QCOMPARE(window.Documents().SaveDocument(document), !asks);
        QCOMPARE(answer.answered, asks);
        QCOMPARE(ReadFile(path), asks ? before : QByteArray("{x}unit A;\n"));
    }

    // Something that is no file put under an open document's path is
    // refused at the next look, at once: a FIFO is not waited on and a
    // device is not read without end.
    void specialFileUnderThePathIsRefused_data() {
        QTest::addColumn<QString>("replace");
        QTest::addColumn<QString>("why");
        QTest::newRow("FIFO") << "mkfifo \"$F\""
                              << "it is a named pipe (FIFO), not a regular file";
        QTest::newRow("device") << "ln -s /dev/zero \"$F\""
                                << "it is a device, not a regular file";
        QTest::newRow("folder") << "mkdir \"$F\""
                                << "it is a folder, not a file";
    }

    void specialFileUnderThePathIsRefused() {
        QFETCH(QString, replace);
        MainWindow window;
        const QString path =
            WriteFile(dir, QString("special-%1.pas").arg(QTest::currentDataTag()), "unit S;\n");
        EditorDocument* document = window.Documents().OpenFile(path, false);
        QVERIFY(OtherProgram("rm \"$F\" && " + replace, path));
        window.Documents().Disk().CheckAll(); // what the application's activation runs
        QCOMPARE(window.Documents().Disk().StateOf(document), DiskSync::State::Changed);
        QFETCH(QString, why);
        QVERIFY2(window.Documents().Disk().Bar()->Text().endsWith("cannot be read: " + why),
                 qPrintable(window.Documents().Disk().Bar()->Text()));
        QCOMPARE(Text(document), "unit S;\n");
    }

    void deletedFileIsAnnouncedAndSavingWritesItAgain() {
        MainWindow window;
        const QString path = WriteFile(dir, "gone.pas", "unit Gone;\n");
        EditorDocument* document = window.Documents().OpenFile(path, false);
        QVERIFY(OtherProgram("rm \"$F\"", path));
        QTRY_COMPARE(window.Documents().Disk().StateOf(document), DiskSync::State::Deleted);
        QVERIFY(window.Documents().Disk().Bar()->isVisible());
        QVERIFY(window.Documents().Disk().Bar()->Text().contains(
            "gone.pas has been deleted by another program"));
        QCOMPARE(Text(document), "unit Gone;\n");

        window.Documents().Disk().Bar()->OverwriteAction()->trigger();
        QCOMPARE(ReadFile(path), "unit Gone;\n");
        QVERIFY(window.Documents().EditWindow()->statusBar()->currentMessage().contains(
            "written again"));
        QVERIFY(window.Documents().Disk().Bar()->isHidden());
        QCOMPARE(window.Documents().Disk().StateOf(document), DiskSync::State::InSync);

        // Deleted again and saved from the menu, with the same message.
        QVERIFY(OtherProgram("rm \"$F\"", path));
        QVERIFY(window.Documents().SaveDocument(document));
        QCOMPARE(ReadFile(path), "unit Gone;\n");
        QVERIFY(window.Documents().EditWindow()->statusBar()->currentMessage().contains(
            "written again"));
    }
};

QTEST_MAIN(DiskChangesTest)
#include "tst_diskchanges.moc"
