// The code editor's own features: bookmark markers that follow the text, F2
// and Shift+F2, a click on a marker, colours up to a size, and hard files.
#include "BookmarkMarks.h"
#include "WorkbenchFixture.h"

#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStatusBar>
#include <QtTest>
#include <functional>

using namespace workbench;
using namespace testing;

namespace {

const QByteArray kUnit = "unit A;\r\n"            // 1
                         "interface\r\n"          // 2
                         "{//*} first mark\r\n"   // 3
                         "implementation\r\n"     // 4
                         "procedure P; {//*}\r\n" // 5
                         "begin alpha\r\n"        // 6
                         "end;\r\n"               // 7
                         "{//*} alpha\r\n"        // 8
                         "end.\r\n";              // 9

// Presses `key` in the editor as a user would: the menu's shortcuts answer.
void Press(CodeEditor* editor, QKeyCombination key) {
    QTest::keyClick(editor, key.key(), key.keyboardModifiers());
}

// Opens `path` in the shown main window's code editor, shown, with the
// keyboard focus in the text.
EditorDocument* OpenShown(MainWindow& window, const QString& path) {
    EditorDocument* document = window.Documents().OpenFile(path, false);
    window.Documents().EditWindow()->show();
    if (!QTest::qWaitForWindowExposed(window.Documents().EditWindow())) {
        qWarning("the code editor window was not shown");
    }
    document->Editor()->setFocus();
    return document;
}

} // namespace

class CodeEditorTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void bookmarksFollowTheText() {
        MainWindow window;
        window.show(); // the menus' shortcuts answer while it is shown
        CodeEditor* editor = OpenShown(window, WriteFile(dir, "marks.pas", kUnit))->Editor();
        QTRY_COMPARE(editor->BookmarkLines(), QList<int>({3, 5, 8}));

        // A bookmark typed on line 7, one taken off line 3.
        editor->insertAt("{//*} ", 6, 0);
        editor->SendScintilla(QsciScintillaBase::SCI_DELETERANGE,
                              editor->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, 2),
                              5L);
        QTRY_COMPARE(editor->BookmarkLines(), QList<int>({5, 7, 8}));

        // F2 and Shift+F2 go round the marked lines.
        editor->SetCursorLineColumn(6, 1);
        const QList<QPair<QKeyCombination, int>> steps = {{Qt::Key_F2, 7},
                                                          {Qt::Key_F2, 8},
                                                          {Qt::Key_F2, 5},
                                                          {Qt::SHIFT | Qt::Key_F2, 8},
                                                          {Qt::SHIFT | Qt::Key_F2, 7}};
        for (const auto& [key, line] : steps) {
            Press(editor, key);
            QCOMPARE(editor->CursorLine(), line);
        }

        // A click on the marker of line 5 puts the cursor there; a click in
        // the margin beside an unmarked line does not.
        const auto clickMargin = [&](int line) {
            const long position =
                editor->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, line - 1);
            const int y =
                editor->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0, position) +
                editor->SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0UL) / 2;
            const int x = editor->marginWidth(0) + editor->marginWidth(1) / 2;
            QTest::mouseClick(editor->viewport(), Qt::LeftButton, {}, QPoint(x, y));
        };
        // The marker is drawn filled with its colour, plainly visible.
        const QImage shown = editor->viewport()->grab().toImage();
        const auto markerPixels = [&](int line) {
            const int top = editor->SendScintilla(
                QsciScintillaBase::SCI_POINTYFROMPOSITION, 0,
                editor->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, line - 1));
            int count = 0;
            for (int y = top;
                 y < top + editor->SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0UL); ++y) {
                for (int x = editor->marginWidth(0);
                     x < editor->marginWidth(0) + editor->marginWidth(1); ++x) {
                    count += shown.pixelColor(x, y) == QColor(0x2a, 0x6f, 0xdb);
                }
            }
            return count;
        };
        QVERIFY(markerPixels(5) > 20);
        QCOMPARE(markerPixels(6), 0);
        clickMargin(5);
        QCOMPARE(editor->CursorLine(), 5);
        clickMargin(2);
        QCOMPARE(editor->CursorLine(), 5);
        editor->setModified(false);
    }

    // Every way of editing is reported once, and the host reads the new
    // text at once, before the report: a key, Undo called as the menu calls
    // it (reported at the next turn of the event loop), an add-in's
    // insertions (one report for all), a reload from disk. The line numbers'
    // margin widens when the lines reach three digits.
    void editsAreReportedOnceAndReadBack() {
        MainWindow window;
        window.show();
        const QString path = WriteFile(dir, "edits.pas", kUnit);
        EditorDocument* document = OpenShown(window, path);
        CodeEditor* editor = document->Editor();
        editor->SetCursorLineColumn(1, 1);
        QApplication::processEvents();
        QSignalSpy changed(document, &EditorDocument::TextChanged);
        const std::string unit = kUnit.toStdString();
        const std::string hundredLines = QByteArray("b\r\n").repeated(100).toStdString();
        const int numberWidth = editor->marginWidth(0);

        struct Step {
            const char* name;
            std::function<void()> edit;
            std::string expected;
        };
        const std::vector<Step> steps = {
            {"key", [&] { QTest::keyClick(editor, Qt::Key_X); }, "x" + unit},
            {"undo", [&] { editor->undo(); }, unit},
            {"add-in",
             [&] {
                 document->ApplyInsertions(unit, {{0, "a\r\n"}, {4, "Z"}, {9, hundredLines}});
             },
             "a\r\nunitZ A;\r\n" + hundredLines + unit.substr(9)},
            {"reload", [&] { document->Reload("unit B;\r\n", FileStamp::Of(path)); },
             "unit B;\r\n"},
        };
        for (const Step& step : steps) {
            document->BufferBytes(); // a copy of the text before the edit
            changed.clear();
            step.edit();
            QVERIFY2(*document->BufferBytes() == step.expected, step.name);
            QTRY_VERIFY2(changed.count() == 1, step.name);
            QApplication::processEvents();
            QVERIFY2(changed.count() == 1, step.name);
            if (step.name == std::string("add-in")) {
                QVERIFY(editor->marginWidth(0) > numberWidth);
            }
        }
    }

    // Ctrl+F asks for a text and finds it, F3 and Shift+F3 find it again
    // forward and back, Ctrl+G asks for a line: all from the keys, in the
    // editor, as a user types them.
    void findAndGoToLineFromTheKeys() {
        MainWindow window;
        window.show();
        CodeEditor* editor = OpenShown(window, WriteFile(dir, "find.pas", kUnit))->Editor();
        editor->SetCursorLineColumn(1, 1);

        struct Step {
            QKeyCombination key;
            QString answer; // typed into the dialog the key opens; empty: none opens
            int line;       // where the cursor is after it
        };
        const QList<Step> steps = {
            {Qt::CTRL | Qt::Key_F, "alpha", 6},
            {Qt::Key_F3, {}, 8},
            {Qt::Key_F3, {}, 6},
            {Qt::SHIFT | Qt::Key_F3, {}, 8},
            {Qt::SHIFT | Qt::Key_F3, {}, 6},
            {Qt::CTRL | Qt::Key_G, "9", 9},
            {Qt::CTRL | Qt::Key_G, "9999", 10}, // past the end: the last line
            {Qt::CTRL | Qt::Key_F, "implementation", 4},
        };
        for (const Step& step : steps) {
            bool asked = false;
            if (!step.answer.isEmpty()) {
                AnswerNext<QInputDialog>([&](QInputDialog* dialog) {
                    asked = true;
                    // Typed, as a user types it: a spin box may refuse keys.
                    auto* field = dialog->findChild<QLineEdit*>();
                    field->selectAll();
                    QTest::keyClicks(field, step.answer);
                    dialog->accept();
                });
            }
            Press(editor, step.key);
            QTRY_COMPARE(asked, !step.answer.isEmpty());
            QCOMPARE(editor->CursorLine(), step.line);
            // The keys went to the editor, and it has the focus back.
            QTRY_VERIFY(editor->hasFocus());
        }
    }

    void coloursUpToALimit() {
        MainWindow window;
        window.show();
        CodeEditor* editor = OpenShown(window, WriteFile(dir, "colours.pas", kUnit))->Editor();

        // Coloured and folded up to the limit: "unit" is styled as a
        // keyword, and "begin" (line 6) opens a fold.
        QVERIFY(editor->Colouring());
        editor->SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
        QVERIFY(editor->SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, 0UL) != 0);
        QVERIFY(editor->SendScintilla(QsciScintillaBase::SCI_GETFOLDLEVEL, 5UL) &
                QsciScintillaBase::SC_FOLDLEVELHEADERFLAG);

        // Above it, plain text, and the status bar says so.
        QByteArray large = kUnit;
        while (size_t(large.size()) <= EditorDocument::kColourLimit) {
            large += "{ padding padding padding padding padding padding padding }\r\n";
        }
        EditorDocument* big =
            window.Documents().OpenFile(WriteFile(dir, "large.pas", large), false);
        QVERIFY(!big->Editor()->Colouring());
        QStringList texts;
        for (QLabel* label :
             window.Documents().EditWindow()->statusBar()->findChildren<QLabel*>()) {
            texts << label->text();
        }
        QVERIFY2(texts.join(' ').contains("no colours"), qPrintable(texts.join(' ')));
    }

    // Hard files open, show their ends and save back byte for byte.
    void hardFilesOpenAndSaveExactly_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("NUL bytes") << QByteArray("unit A;\0\0\r\nend.\0\n", 18);
        QTest::newRow("a 2 MB line") << QByteArray(2 << 20, 'x').append("\r\nend.\r\n");
        QByteArray lines;
        for (int i = 0; i < 1000000; ++i) {
            lines += "a\n";
        }
        QTest::newRow("a million lines") << lines;
    }

    void hardFilesOpenAndSaveExactly() {
        QFETCH(QByteArray, file);
        MainWindow window;
        const QString path = WriteFile(dir, "hard.pas", file);
        EditorDocument* document = window.Documents().OpenFile(path, false);
        QVERIFY(document);
        window.Documents().EditWindow()->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.Documents().EditWindow()));
        CodeEditor* editor = document->Editor();
        editor->SetCursorLineColumn(editor->LineCount(), 1);
        QApplication::processEvents();
        QVERIFY(editor->CursorVisible());
        QVERIFY(window.Documents().SaveDocument(document));
        QCOMPARE(ReadFile(path), file);
    }
};

QTEST_MAIN(CodeEditorTest)
#include "tst_codeeditor.moc"
