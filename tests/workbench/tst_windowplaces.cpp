// Where the workbench's windows open and what they say, on a small screen
// (1280 × 800) with a real window manager: the code editor window clear of
// the main window and wholly on the screen, also when it comes back after
// its last file was closed; dialogs centred on the code editor window; the
// titles and the main window's text naming the open file; searches that go
// round the end saying so. Runs under with-window-manager.sh --screen.
#include "WorkbenchFixture.h"
#include "XWindows.h"

#include <QInputDialog>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

using namespace kestrel;
using namespace workbench;
using namespace testing;

namespace {

QString Describe(const QRect& r) {
    return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The frame of the next modal dialog, taken once the window manager has
// framed it and it stands still; the dialog is then closed.
QRect FrameOfNextDialog(const std::function<void()>& open) {
    QRect last;
    QRect frame;
    QTimer poll;
    poll.setInterval(150);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        const QRect now = FrameOf(dialog);
        if (now == last && now.size() != dialog->size()) { // framed, and still
            frame = now;
            poll.stop();
            dialog->close();
        }
        last = now;
    });
    poll.start();
    open();
    // Null when no dialog came.
    return QTest::qWaitFor([&] { return !frame.isNull(); }, 10000) ? frame : QRect();
}

} // namespace

class WindowPlacesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
    QString unit;

    QAction* Item(const QString& name) const { return window->findChild<QAction*>(name); }

    void CloseAll() {
        for (EditorDocument* document : window->Documents().Documents()) {
            document->Editor()->setModified(false);
        }
        QVERIFY(window->Documents().CloseAll());
        QTest::qWait(100); // the window goes later
    }

private slots:
    void initTestCase() {
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->screen()->geometry().height(), 800);
        QVERIFY(window->LoadAddIn(ADDIN_PATH, nullptr, true));
        QFile sample(KESTREL_SAMPLES_DIR "/Unit1.pas");
        QVERIFY(sample.open(QIODevice::ReadOnly));
        unit = WriteFile(dir, "Unit1.pas", sample.readAll());
    }

    void cleanupTestCase() {
        CloseAll();
        window.reset();
    }

    // Wherever the main window stands, the code editor window opens clear of
    // it and inside the screen's available area, the second time too.
    void editWindowStandsClearOfTheMainWindow_data() {
        QTest::addColumn<double>("height"); // of the main window's top, 0 to 1
        QTest::newRow("main window at the top") << 0.0;
        QTest::newRow("main window low") << 0.8;
        QTest::newRow("main window in the middle") << 0.45;
    }

    void editWindowStandsClearOfTheMainWindow() {
        QFETCH(double, height);
        const QRect screen = window->screen()->availableGeometry();
        const QPoint to(screen.left() + 100,
                        screen.top() + static_cast<int>(height * screen.height()));
        window->move(to);
        QTRY_COMPARE(FrameOf(window.get()).topLeft(), to);
        for (const char* round : {"first", "after the last file was closed"}) {
            QVERIFY(window->Documents().OpenFile(unit));
            TEditWindow* editWindow = window->Documents().EditWindow();
            QVERIFY(QTest::qWaitForWindowExposed(editWindow));
            QTest::qWait(300); // the window manager's last move
            const QRect main = FrameOf(window.get());
            const QRect edit = FrameOf(editWindow);
            const QString where =
                QString("%1: main %2, editor %3").arg(round, Describe(main), Describe(edit));
            QVERIFY2(screen.contains(edit), qPrintable(where));
            QVERIFY2(!edit.intersects(main), qPrintable(where));
            QVERIFY2(edit.height() >= 240, qPrintable(where));
            CloseAll();
        }
    }

    // The code editor window's title names the current file and marks it
    // modified; the main window's text says what is open, or what to do.
    void titlesNameTheOpenFiles() {
        auto* hint = window->findChild<QLabel*>("Hint");
        QVERIFY(hint->text().startsWith("Open a Pascal file (File > Open)."));
        EditorDocument* first = window->Documents().OpenFile(unit);
        TEditWindow* editWindow = window->Documents().EditWindow();
        QVERIFY(QTest::qWaitForWindowExposed(editWindow));
        QTRY_COMPARE(WindowName(editWindow), QString("Unit1.pas – Code Editor"));
        QVERIFY(hint->text().startsWith("Unit1.pas is open in the code editor."));
        first->Editor()->insert("x");
        QTRY_COMPARE(WindowName(editWindow), QString("Unit1.pas* – Code Editor"));
        window->Documents().OpenFile(WriteFile(dir, "Other.pas", "unit Other;\n"));
        QTRY_COMPARE(WindowName(editWindow), QString("Other.pas – Code Editor"));
        QVERIFY(hint->text().startsWith("Other.pas and one other file are open"));
        CloseAll();
        QVERIFY(hint->text().startsWith("Open a Pascal file (File > Open)."));
    }

    // Find, Go to line and the add-in's message box stand centred on the code
    // editor window, not on the main window that owns some of them.
    void dialogsAreCentredOnTheEditor_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("file");
        QTest::newRow("Find") << "SearchFindItem"
                              << "Unit1.pas";
        QTest::newRow("Go to line") << "SearchGoToItem"
                                    << "Unit1.pas";
        QTest::newRow("the add-in's message") << "KestrelExpKestrelItem"
                                              << "Form1.dfm";
    }

    void dialogsAreCentredOnTheEditor() {
        QFETCH(QString, item);
        QFETCH(QString, file);
        const QRect screen = window->screen()->availableGeometry();
        window->move(screen.topLeft() + QPoint(20, 0));
        QVERIFY(
            window->Documents().OpenFile(file == "Unit1.pas" ? unit : WriteFile(dir, file, "x\n")));
        TEditWindow* editWindow = window->Documents().EditWindow();
        QVERIFY(QTest::qWaitForWindowExposed(editWindow));
        QTest::qWait(300);
        const QRect edit = FrameOf(editWindow);
        const QRect dialog = FrameOfNextDialog([&] { Item(item)->trigger(); });
        QVERIFY(!dialog.isNull());
        const QPoint off = dialog.center() - edit.center();
        QVERIFY2(off.manhattanLength() <= 40,
                 qPrintable(Describe(dialog) + " over the editor " + Describe(edit)));
        CloseAll();
    }

    // F3, Shift+F3, F2 and Shift+F2 say in the status bar when they went
    // round the end of the text, and only then.
    void wrappingIsSaid_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("fromLine");
        QTest::addColumn<int>("toLine");
        QTest::addColumn<QString>("note");
        const QString top = "Search wrapped to the top";
        const QString bottom = "Search wrapped to the bottom";
        QTest::newRow("find next") << "SearchAgainItem" << 1 << 2 << "";
        QTest::newRow("find next, round") << "SearchAgainItem" << 5 << 2 << top;
        QTest::newRow("find previous") << "SearchPreviousItem" << 5 << 4 << "";
        QTest::newRow("find previous, round") << "SearchPreviousItem" << 1 << 4 << bottom;
        QTest::newRow("next bookmark") << "SearchNextBookmarkItem" << 1 << 2 << "";
        QTest::newRow("next bookmark, round") << "SearchNextBookmarkItem" << 4 << 2 << top;
        QTest::newRow("previous bookmark, round")
            << "SearchPreviousBookmarkItem" << 2 << 4 << bottom;
    }

    void wrappingIsSaid() {
        QFETCH(QString, item);
        QFETCH(int, fromLine);
        EditorDocument* document = window->Documents().OpenFile(
            WriteFile(dir, "Wrap.pas", "unit Wrap;\nfoo {//*}\nbar\nfoo {//*}\nend.\n"));
        QVERIFY(document);
        CodeEditor* editor = document->Editor();
        QTRY_COMPARE(editor->BookmarkLines(), QList<int>({2, 4})); // marked by a scan
        // The text to find, as Search symbol takes it from the cursor.
        editor->SetCursorLineColumn(2, 1);
        Item("SearchSymbolItem")->trigger();
        QStatusBar* status = window->Documents().EditWindow()->statusBar();
        status->clearMessage();
        editor->SetCursorLineColumn(fromLine, 1);
        Item(item)->trigger();
        QTEST(editor->CursorLine(), "toLine");
        QTEST(status->currentMessage(), "note");
        CloseAll();
    }

    // The workbench's own Search items keep together, Find previous beside
    // Find next, in the add-in's sentence case; the add-in's items stay as
    // it wrote them, after Search symbol.
    void searchMenuOrder() {
        auto* search = Item("SearchFindItem")->associatedObjects().value(0);
        auto* menu = qobject_cast<QMenu*>(search);
        QVERIFY(menu);
        QStringList texts;
        for (QAction* action : menu->actions()) {
            texts << (action->isSeparator() ? "-" : action->text());
        }
        QCOMPARE(texts,
                 QStringList({"&Find...", "Find &next", "Find &previous", "Search &symbol...", "-",
                              "Insert bookmark", "Kestrel", "&Go to line...", "-", "Next &bookmark",
                              "Previous boo&kmark"}));
    }
};

QTEST_MAIN(WindowPlacesTest)
#include "tst_windowplaces.moc"
