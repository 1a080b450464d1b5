// The code editor's cursor beyond the end of a line, by keys, mouse and the
// host's view.
#include "WorkbenchFixture.h"

#include <QLabel>
#include <QStatusBar>
#include <QtTest>

using namespace kestrel;
using namespace workbench;
using namespace testing;

Q_DECLARE_METATYPE(Qt::Key)

class VirtualSpaceTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
    EditorDocument* document = nullptr;
    CodeEditor* editor = nullptr;
    QString path;
    const QByteArray text = "abcdefgh\nab\nabcdefgh\n";

    QString StatusText() const {
        for (QLabel* label :
             window->Documents().EditWindow()->statusBar()->findChildren<QLabel*>()) {
            if (label->text().startsWith("Line")) {
                return label->text();
            }
        }
        return {};
    }

    // The middle of the cursor's left edge, in the editor's viewport.
    QPoint CursorPoint() const {
        const long caret = editor->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
        const int x = editor->SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0, caret);
        const int y = editor->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0, caret);
        const int height = editor->SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0UL);
        return {x, y + height / 2};
    }

private slots:
    void init() {
        window = std::make_unique<MainWindow>();
        path = WriteFile(dir, "virtual.pas", text);
        document = window->Documents().OpenFile(path, false);
        editor = document->Editor();
        window->Documents().EditWindow()->show();
        editor->setFocus();
    }

    void cleanup() {
        window.reset();
        QCOMPARE(LiveHostObjects(), 0);
    }

    void keysMoveTheCursor_data() {
        QTest::addColumn<int>("startLine");
        QTest::addColumn<int>("startColumn");
        QTest::addColumn<QList<Qt::Key>>("keys");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("virtualColumns");
        using K = QList<Qt::Key>;
        QTest::newRow("Right past the end")
            << 2 << 3 << K{Qt::Key_Right, Qt::Key_Right} << 2 << 5 << 2;
        QTest::newRow("Left back in virtual space") << 2 << 6 << K{Qt::Key_Left} << 2 << 5 << 2;
        QTest::newRow("Left from virtual to real")
            << 2 << 4 << K{Qt::Key_Left, Qt::Key_Left} << 2 << 2 << 0;
        QTest::newRow("Down across a shorter line") << 1 << 7 << K{Qt::Key_Down} << 2 << 7 << 4;
        QTest::newRow("Down twice keeps the column")
            << 1 << 7 << K{Qt::Key_Down, Qt::Key_Down} << 3 << 7 << 0;
        QTest::newRow("Up keeps the column") << 3 << 8 << K{Qt::Key_Up, Qt::Key_Up} << 1 << 8 << 0;
        QTest::newRow("End goes to the line's end") << 2 << 9 << K{Qt::Key_End} << 2 << 3 << 0;
        QTest::newRow("Home goes to column 1") << 2 << 9 << K{Qt::Key_Home} << 2 << 1 << 0;
        QTest::newRow("Right inside the line") << 1 << 2 << K{Qt::Key_Right} << 1 << 3 << 0;
    }

    void keysMoveTheCursor() {
        QFETCH(int, startLine);
        QFETCH(int, startColumn);
        QFETCH(QList<Qt::Key>, keys);
        editor->SetCursorLineColumn(startLine, startColumn);
        for (Qt::Key key : keys) {
            QTest::keyClick(editor, key);
        }
        QTEST(editor->CursorLine(), "line");
        QTEST(editor->CursorColumn(), "column");
        QTEST(editor->VirtualColumns(), "virtualColumns");
        QCOMPARE(StatusText(),
                 QString("Line %1, Col %2").arg(editor->CursorLine()).arg(editor->CursorColumn()));
        QVERIFY(!document->IsModified());
    }

    void clickBeyondTheEnd() {
        QApplication::processEvents();
        editor->SetCursorLineColumn(2, 3);
        const QPoint end = CursorPoint();
        const int charWidth = editor->CharWidth();
        QTest::mouseClick(editor->viewport(), Qt::LeftButton, {},
                          QPoint(end.x() + 5 * charWidth, end.y()));
        QCOMPARE(editor->CursorLine(), 2);
        QCOMPARE(editor->CursorColumn(), 8);
        // A click inside the text is an ordinary click.
        editor->SetCursorLineColumn(1, 1);
        const QPoint start = CursorPoint();
        QTest::mouseClick(editor->viewport(), Qt::LeftButton, {},
                          QPoint(start.x() + 2 * charWidth + 1, start.y()));
        QCOMPARE(editor->CursorColumn(), 3);
        QCOMPARE(editor->VirtualColumns(), 0);
    }

    void typingInVirtualSpacePadsInOneUndoStep() {
        editor->SetCursorLineColumn(2, 6);
        QTest::keyClicks(editor, "Z");
        QCOMPARE(editor->LineText(2), QString("ab   Z"));
        QCOMPARE(editor->CursorColumn(), 7);
        editor->undo();
        QCOMPARE(editor->LineText(2), QString("ab"));
        QVERIFY(!editor->isUndoAvailable());
    }

    void movingOnlyChangesNothingOnDisk() {
        editor->SetCursorLineColumn(2, 20);
        QTest::keyClick(editor, Qt::Key_Down);
        QTest::keyClick(editor, Qt::Key_Right);
        QVERIFY(!document->IsModified());
        QVERIFY(window->Documents().SaveDocument(document));
        QCOMPARE(ReadFile(path), text);
    }

    void hostViewRoundTripsBeyondTheEnd_data() {
        QTest::addColumn<int>("version");
        QTest::newRow("0017 layout") << 3;
        QTest::newRow("0016 layout") << 2;
    }

    void hostViewRoundTripsBeyondTheEnd() {
        QFETCH(int, version);
        window->Services()->SetInterfaceVersion(version);
        const QByteArray name = path.toUtf8();
        HostRef<TIModuleInterface> module(window->Services()->GetModuleInterface(name.constData()));
        HostRef<TIEditorInterface> hostEditor(module->GetEditorInterface());
        HostRef<TIEditView> view(hostEditor->GetView(0));
        const auto roundTrip = [&](int16_t column, int32_t line) -> QPair<int, int> {
            if (version == 3) {
                auto* v = static_cast<TIEditViewOf<EditorPos0017>*>(view.Get());
                v->SetPos(0, EditorPos0017{column, line});
                const EditorPos0017 pos = v->GetPos(0);
                const int col = pos.Col; // packed fields are read by value
                const int line = pos.Line;
                return {col, line};
            }
            auto* v = static_cast<TIEditViewOf<EditorPos0016>*>(view.Get());
            v->SetPos(0, EditorPos0016{column, line});
            const EditorPos0016 pos = v->GetPos(0);
            return {int(pos.Col), int(pos.Line)};
        };
        QCOMPARE(roundTrip(10, 2), qMakePair(10, 2));
        QCOMPARE(editor->VirtualColumns(), 7);
        QCOMPARE(roundTrip(3, 2), qMakePair(3, 2));
        QCOMPARE(editor->VirtualColumns(), 0);
        QCOMPARE(roundTrip(1, 3), qMakePair(1, 3));
        QVERIFY(!document->IsModified());
    }

    void writerInsertAtLineEndMovesTheCursor() {
        editor->SetCursorLineColumn(2, 3);
        const QByteArray name = path.toUtf8();
        {
            HostRef<TIModuleInterface> module(
                window->Services()->GetModuleInterface(name.constData()));
            HostRef<TIEditorInterface> hostEditor(module->GetEditorInterface());
            HostRef<TIEditWriter> writer(hostEditor->CreateWriter());
            writer->CopyTo(12); // the CR of line 2
            writer->Insert("  {//*}");
        }
        QCOMPARE(editor->LineText(2), QString("ab  {//*}"));
        QCOMPARE(editor->CursorLine(), 2);
        QCOMPARE(editor->CursorColumn(), 10);
        QCOMPARE(editor->VirtualColumns(), 0);
    }
};

QTEST_MAIN(VirtualSpaceTest)
#include "tst_virtualspace.moc"
