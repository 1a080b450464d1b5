// Files as a user meets them in the workbench: what cannot be written back
// is read-only, read-only files ask before a save, characters the file's
// encoding cannot hold ask before a save, and only regular files open.
#include "WorkbenchFixture.h"

#include <QLabel>
#include <QStatusBar>
#include <QtTest>
#include <sys/stat.h>

using namespace kestrel;
using namespace workbench;
using namespace testing;

class HonestFilesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    static QString BannerText(MainWindow& window) {
        QLabel* banner = window.Documents().EditWindow()->ReadOnlyBanner();
        return banner->isVisibleTo(window.Documents().EditWindow()) ? banner->text() : QString();
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Code points that the display reserves make a file read-only; every
    // other one survives an edit and a save byte for byte.
    void reservedCodePoints_data() {
        QTest::addColumn<QByteArray>("character");
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("stand-in for a lone CR") << QByteArray("\xEF\xA0\x8D") << true;
        QTest::newRow("U+FDD0") << QByteArray("\xEF\xB7\x90") << false;
        QTest::newRow("U+FDD1") << QByteArray("\xEF\xB7\x91") << false;
        QTest::newRow("U+F829") << QByteArray("\xEF\xA0\xA9") << false;
        QTest::newRow("lone CR") << QByteArray("\r") << false;
        QTest::newRow("U+2029") << QByteArray("\xE2\x80\xA9") << false;
        QTest::newRow("U+2028") << QByteArray("\xE2\x80\xA8") << false;
        QTest::newRow("U+FFFC") << QByteArray("\xEF\xBF\xBC") << false;
        QTest::newRow("U+FEFF") << QByteArray("\xEF\xBB\xBF") << false;
        QTest::newRow("U+FFFF") << QByteArray("\xEF\xBF\xBF") << false;
        QTest::newRow("U+FDCF") << QByteArray("\xEF\xB7\x8F") << false;
        QTest::newRow("U+F80C") << QByteArray("\xEF\xA0\x8C") << false;
        QTest::newRow("U+10FFFF") << QByteArray("\xF4\x8F\xBF\xBF") << false;
        QTest::newRow("NUL") << QByteArray("\0", 1) << false;
    }

    void reservedCodePoints() {
        QFETCH(QByteArray, character);
        QFETCH(bool, readOnly);
        const QByteArray file = "a" + character + "b\nend.\n";
        MainWindow window;
        const QString path = WriteFile(dir, "reserved.pas", file);
        EditorDocument* document = window.Documents().OpenFile(path, false);
        QVERIFY(document);
        QCOMPARE(document->IsReadOnly(), readOnly);
        CodeEditor* editor = document->Editor();
        editor->setFocus();
        QTest::keyClicks(editor, "X");
        if (readOnly) { // typing beyond the line's end is refused too
            editor->SetCursorLineColumn(2, 10);
            QTest::keyClicks(editor, "Y");
        }
        // The add-in's writer is refused the same way.
        {
            HostRef<TIModuleInterface> module(
                window.Services()->GetModuleInterface(path.toUtf8().constData()));
            HostRef<TIEditorInterface> hostEditor(module->GetEditorInterface());
            HostRef<TIEditWriter> writer(hostEditor->CreateWriter());
            QCOMPARE(writer->Insert("{//*}"), !readOnly);
        }
        if (readOnly) {
            QVERIFY(!document->IsModified());
            QVERIFY(BannerText(window).contains("cannot write back exactly"));
            QVERIFY(window.Documents().EditWindow()->statusBar()->currentMessage().contains(
                "not made"));
            MessageBoxAnswer answer(QMessageBox::Cancel);
            QVERIFY(!window.Documents().SaveDocument(document));
            QVERIFY(answer.text.contains("not saved over"));
            QCOMPARE(ReadFile(path), file);
            // Saved under another name, the text is that file's and may be
            // edited there.
            const QString copy = dir.filePath("reserved-copy.pas");
            QVERIFY(window.Documents().SaveDocument(document, copy));
            QCOMPARE(ReadFile(path), file);
            QVERIFY(!document->IsReadOnly());
            editor->SetCursorLineColumn(1, 1);
            QTest::keyClicks(editor, "Z");
            QVERIFY(window.Documents().SaveDocument(document));
            QVERIFY(ReadFile(copy).startsWith("Za"));
        } else {
            QVERIFY(window.Documents().SaveDocument(document));
            QCOMPARE(ReadFile(path), "{//*}X" + file);
        }
    }

    // A file marked read-only opens editable under a banner; saving asks,
    // and keeps the mode.
    void readOnlyOnDiskAsksBeforeSaving() {
        MainWindow window;
        const QString path = WriteFile(dir, "locked.pas", "unit Locked;\n");
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0444) == 0);
        EditorDocument* document = window.Documents().OpenFile(path, false);
        QVERIFY(document->ReadOnlyOnDisk());
        QVERIFY(BannerText(window).contains("Read-only on disk"));
        document->Editor()->insertAt("{ edited }", 0, 0);
        {
            MessageBoxAnswer answer(QMessageBox::Cancel);
            QVERIFY(!window.Documents().SaveDocument(document));
            QVERIFY(answer.text.contains("read-only on disk"));
            QCOMPARE(ReadFile(path), QByteArray("unit Locked;\n"));
            QVERIFY(document->IsModified());
        }
        {
            MessageBoxAnswer answer(QMessageBox::Save);
            QVERIFY(window.Documents().SaveDocument(document));
            QVERIFY(answer.answered);
        }
        QCOMPARE(ReadFile(path), QByteArray("{ edited }unit Locked;\n"));
        struct stat info {};
        QVERIFY(::stat(QFile::encodeName(path).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 07777, 0444u);
    }

    // A character Windows-1252 cannot hold: the save asks, and either keeps
    // the file as it was or writes UTF-8 with everything else unchanged.
    void unencodableCharacterOffersUtf8_data() {
        QTest::addColumn<bool>("asUtf8");
        QTest::newRow("cancel") << false;
        QTest::newRow("save as UTF-8") << true;
    }

    void unencodableCharacterOffersUtf8() {
        QFETCH(bool, asUtf8);
        MainWindow window;
        const QByteArray file("caf\xE9\r\nx\n\x80\n");
        const QString path = WriteFile(dir, "cp1252.pas", file);
        EditorDocument* document = window.Documents().OpenFile(path, false);
        QCOMPARE(document->Encoding(), TextEncoding::Windows1252);
        document->Editor()->insertAt(QString::fromUtf8("\xC4\x81"), 1, 0);
        MessageBoxAnswer answer(asUtf8 ? QMessageBox::Save : QMessageBox::Cancel);
        QCOMPARE(window.Documents().SaveDocument(document), asUtf8);
        QVERIFY(answer.text.contains("line 2, column 1"));
        if (asUtf8) {
            QCOMPARE(ReadFile(path), QByteArray("caf\xC3\xA9\r\n\xC4\x81x\n\xE2\x82\xAC\n"));
            QCOMPARE(document->Encoding(), TextEncoding::Utf8);
        } else {
            QCOMPARE(ReadFile(path), file);
            QCOMPARE(document->Editor()->CursorLine(), 2);
        }
    }

    // Only regular files open; the others say what they are, at once.
    void onlyRegularFilesOpen_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        const QString fifo = dir.filePath("pipe.pas");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0644) == 0);
        QTest::newRow("FIFO") << fifo << "named pipe";
        QTest::newRow("/dev/zero") << "/dev/zero"
                                   << "device";
        QTest::newRow("folder") << dir.path() << "folder";
        QTest::newRow("missing") << dir.filePath("missing.pas") << "No such file";
        const QString link = dir.filePath("link-to-pipe.pas");
        QFile::link(fifo, link);
        QTest::newRow("link to a FIFO") << link << "named pipe";
    }

    void onlyRegularFilesOpen() {
        QFETCH(QString, path);
        MainWindow window;
        MessageBoxAnswer answer(QMessageBox::Ok);
        QVERIFY(!window.Documents().OpenFile(path, true));
        QVERIFY(answer.answered);
        QFETCH(QString, message);
        QVERIFY2(answer.text.contains(message), qPrintable(answer.text));
        QVERIFY(!window.Documents().EditWindow());
    }

    // Files over the limit ask first; large files report their progress
    // and can be stopped.
    void largeFilesAskAndCanBeStopped() {
        MainWindow window;
        window.Documents().SetLargeFileLimit(1000);
        const QString path = WriteFile(dir, "large.pas", QByteArray(4000, 'x').append("\n"));
        {
            MessageBoxAnswer answer(QMessageBox::Cancel);
            QVERIFY(!window.Documents().OpenFile(path, true));
            QVERIFY(answer.text.contains("Open it anyway?"));
        }
        {
            MessageBoxAnswer answer(QMessageBox::Open);
            QVERIFY(window.Documents().OpenFile(path, true));
        }
        QByteArray lines;
        for (int i = 0; i < 200000; ++i) {
            lines += "line " + QByteArray::number(i) + "\n";
        }
        const QString many = WriteFile(dir, "lines.pas", lines);
        QList<int> seen;
        kestrel::FileStatus status;
        std::unique_ptr<EditorDocument> document(
            EditorDocument::Load(many, status, nullptr, [&](int p) {
                seen << p;
                return true;
            }));
        QVERIFY(document);
        QVERIFY(seen.size() > 2);
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        QCOMPARE(seen.last(), 1000);
        QCOMPARE(std::count(document->BufferBytes()->begin(), document->BufferBytes()->end(), '\n'),
                 std::ptrdiff_t{200000});
        QVERIFY(!EditorDocument::Load(many, status, nullptr, [](int p) { return p < 500; }));
        QVERIFY(status.Cancelled());
    }
};

QTEST_MAIN(HonestFilesTest)
#include "tst_honestfiles.moc"
