// After the symbol list closes, however it closes, and after Insert bookmark
// and File > Open, the code editor window is the active window and its
// editor has the keyboard focus, on the chosen line; also when the command
// started from the main window, by menu or by key. Runs under with-window-manager.sh: the active
// window is the X server's, and the user's keys and clicks are sent with xdotool.
#include "ModalAnswer.h"
#include "WorkbenchFixture.h"
#include "XWindows.h"

#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

using namespace kestrel;
using namespace workbench;
using namespace testing;

namespace {

// Which window a command starts from, and how.
enum class Start { FromEditor, ByKeyInMain, ByMenuInMain };

// The add-in's list window. The add-in has its own copy of the window's
// class, so it is found by name, and its controls by theirs.
QWidget* ShownList() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("kestrel::TfrmProc") && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

// Makes `target` the active window, as a click on it would, and sees it
// stay so: just after a window closed, the workbench may hand the
// activation on.
bool Activate(QWidget* target) {
    const auto active = [target] { return ActiveWindowName() == target->windowTitle(); };
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (Xdotool({"windowactivate", "--sync", QString::number(target->winId())}) &&
            QTest::qWaitFor(active)) {
            QTest::qWait(700);
            if (active()) {
                return true;
            }
        }
    }
    return false;
}

// The code editor window is active, `editor` has the keyboard, and a typed
// key lands at the cursor, on `line` (and is taken back).
bool TypingGoesTo(QWidget* editWindow, CodeEditor* editor, int line) {
    const int column = editor->CursorColumn();
    const bool typed =
        editor->CursorLine() == line &&
        QTest::qWaitFor([editWindow] { return ActiveWindowName() == editWindow->windowTitle(); }) &&
        QTest::qWaitFor([editor] { return editor->hasFocus(); }) && Xdotool({"type", "Q"}) &&
        QTest::qWaitFor([=] { return editor->LineText(line).mid(column - 1).startsWith("Q"); });
    if (typed) {
        editor->undo();
    }
    return typed;
}

// Starts the command of `item`, from the window active now: by its key, or
// by a click on its menu in `window`'s menu bar and one on the item.
bool StartCommand(QMainWindow* window, const QString& item, const QString& key, bool byMenu) {
    if (!byMenu) {
        return Xdotool({"key", "--clearmodifiers", key});
    }
    auto* action = window->findChild<QAction*>(item);
    QMenu* menu = nullptr;
    for (QAction* top : window->menuBar()->actions()) {
        if (top->menu() != nullptr && top->menu()->actions().contains(action)) {
            menu = top->menu();
            const QRect title = window->menuBar()->actionGeometry(top);
            ClickAt(window->menuBar()->mapToGlobal(title.center()));
        }
    }
    if (menu == nullptr || !QTest::qWaitFor([menu] { return menu->isVisible(); }, 5000)) {
        return false;
    }
    QTest::qWait(200); // the menu stands where it opened before it is clicked
    return ClickAt(menu->mapToGlobal(menu->actionGeometry(action).center()));
}

} // namespace

Q_DECLARE_METATYPE(Start)

class EditorFocusTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
    EditorDocument* document = nullptr;

private slots:
    void initTestCase() {
        window = std::make_unique<MainWindow>();
        // The main window stands low on the screen: the code editor window
        // must still open wholly on it, not below its bottom edge.
        const QRect screen = window->screen()->availableGeometry();
        window->move(screen.left() + 300, screen.bottom() - 200);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTRY_VERIFY(FrameOf(window.get()).bottom() > screen.bottom() - 250);
        QVERIFY(window->LoadAddIn(ADDIN_PATH, nullptr, true));
        QFile sample(KESTREL_SAMPLES_DIR "/Unit1.pas");
        QVERIFY(sample.open(QIODevice::ReadOnly));
        document = window->Documents().OpenFile(WriteFile(dir, "Unit1.pas", sample.readAll()));
        QVERIFY(document);
        QVERIFY(QTest::qWaitForWindowExposed(window->Documents().EditWindow()));
        const QRect editFrame = FrameOf(window->Documents().EditWindow());
        QVERIFY2(screen.contains(editFrame), qPrintable(QString("%1,%2 %3x%4")
                                                            .arg(editFrame.x())
                                                            .arg(editFrame.y())
                                                            .arg(editFrame.width())
                                                            .arg(editFrame.height())));
    }

    void cleanupTestCase() {
        if (document != nullptr) { // null when the set-up failed
            document->Editor()->setModified(false);
        }
        window.reset();
    }

    void editorHasTheFocusAfterTheList_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("choosesLine");
        QTest::addColumn<Start>("start");
        QTest::newRow("GO") << "GO" << true << Start::FromEditor;
        QTest::newRow("double-click") << "double-click" << true << Start::FromEditor;
        QTest::newRow("the cross") << "cross" << false << Start::FromEditor;
        QTest::newRow("Alt+F4") << "alt+F4" << false << Start::FromEditor;
        QTest::newRow("GO, started by key in the main window")
            << "GO" << true << Start::ByKeyInMain;
        QTest::newRow("Alt+F4, started from the main window's menu")
            << "alt+F4" << false << Start::ByMenuInMain;
    }

    void editorHasTheFocusAfterTheList() {
        QFETCH(QString, way);
        QFETCH(bool, choosesLine);
        QFETCH(Start, start);
        TEditWindow* editWindow = window->Documents().EditWindow();
        CodeEditor* editor = document->Editor();
        editor->SetCursorLineColumn(3, 1);
        QVERIFY(Activate(start == Start::FromEditor ? static_cast<QWidget*>(editWindow)
                                                    : window.get()));

        // The list runs modally inside the command: a timer acts on it.
        int chosenLine = 0;
        int acts = 0;
        int polls = 0;
        QRect lastFrame;
        QTimer act;
        act.setInterval(100);
        connect(&act, &QTimer::timeout, this, [&] {
            QWidget* list = ShownList();
            if (list == nullptr) {
                return;
            }
            // The window manager frames the window and it takes its place;
            // the user acts on it once it stands still, and again should a
            // click have gone astray.
            const QRect frame = FrameOf(list);
            const bool still = frame == lastFrame && list->isActiveWindow();
            lastFrame = frame;
            if (!still || (acts > 0 && ++polls % 20 != 0) || acts == 3) {
                return;
            }
            ++acts;
            auto* rows = list->findChild<QTreeView*>("lstShowLine");
            auto* go = list->findChild<QWidget*>("btnGo");
            const QModelIndex index = rows->model()->index(rows->model()->rowCount() - 1, 0);
            const QPoint row = rows->viewport()->mapToGlobal(rows->visualRect(index).center());
            chosenLine = index.data().toString().toInt();
            const QPoint client = list->mapToGlobal(QPoint(0, 0));
            if (way == "GO") {
                ClickAt(row);
                ClickAt(go->mapToGlobal(go->rect().center()));
            } else if (way == "double-click") {
                ClickAt(row, 2);
            } else if (way == "cross") {
                // The close button sits at the right end of the title bar.
                ClickAt(QPoint(client.x() + list->width() - 10, (frame.top() + client.y()) / 2));
            } else {
                Xdotool({"key", "--clearmodifiers", way});
            }
        });
        act.start();
        QVERIFY(StartCommand(window.get(), "KestrelExpKestrelItem", "ctrl+alt+l",
                             start == Start::ByMenuInMain));
        QTRY_VERIFY_WITH_TIMEOUT(acts > 0 && ShownList() == nullptr, 10000);
        act.stop();

        QVERIFY(TypingGoesTo(editWindow, editor, choosesLine ? chosenLine : 3));
    }

    // Insert bookmark and File > Open, started from the main window, leave
    // the code editor window in charge as the list does.
    void editorHasTheFocusAfterOtherCommands_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("byMenu");
        QTest::newRow("Insert bookmark by key") << "KestrelExpBookmarkItem"
                                                << "ctrl+alt+b" << false;
        QTest::newRow("Insert bookmark from the menu") << "KestrelExpBookmarkItem"
                                                       << "ctrl+alt+b" << true;
        QTest::newRow("File > Open by key") << "FileOpenItem"
                                            << "ctrl+o" << false;
        QTest::newRow("File > Open from the menu") << "FileOpenItem"
                                                   << "ctrl+o" << true;
    }

    void editorHasTheFocusAfterOtherCommands() {
        QFETCH(QString, item);
        QFETCH(QString, key);
        QFETCH(bool, byMenu);
        CodeEditor* editor = document->Editor();
        editor->SetCursorLineColumn(5, 1);
        const QString other = WriteFile(dir, "Other.pas", "unit Other;\n");
        // The file dialog is answered with the other file's name.
        QTimer answer;
        answer.setInterval(100);
        connect(&answer, &QTimer::timeout, this, [&] {
            if (QApplication::activeModalWidget() != nullptr && ActiveWindowName() == "Open") {
                answer.stop();
                Xdotool({"type", "--delay", "20", other});
                Xdotool({"key", "Return"});
            }
        });
        answer.start();
        QVERIFY(Activate(window.get()));
        QVERIFY(StartCommand(window.get(), item, key, byMenu));
        if (item == "FileOpenItem") {
            QTRY_VERIFY_WITH_TIMEOUT(window->Documents().FindDocument(other), 10000);
            EditorDocument* opened = window->Documents().FindDocument(other);
            QVERIFY(TypingGoesTo(window->Documents().EditWindow(), opened->Editor(), 1));
            opened->Editor()->setModified(false);
            QVERIFY(window->Documents().CloseDocument(opened));
        } else {
            QTRY_VERIFY(editor->LineText(5).startsWith("{//*}"));
            QVERIFY(TypingGoesTo(window->Documents().EditWindow(), editor, 5));
            editor->undo();
        }
    }

    // A notice about the first file opened (here: it opens read-only)
    // stands over the new code editor window, which has the keyboard once
    // the notice is answered; as at start-up, with a file given on the
    // command line.
    void editorHasTheFocusAfterAnOpeningNotice() {
        // The other workbench's windows, of the same names, out of the way.
        window->Documents().EditWindow()->hide();
        window->hide();
        MainWindow starting;
        starting.show();
        // The user answers the notice once it stands framed and active.
        QTimer answer;
        answer.setInterval(100);
        connect(&answer, &QTimer::timeout, this, [&] {
            if (QApplication::activeModalWidget() != nullptr && ActiveWindowName() == "Open") {
                answer.stop();
                Xdotool({"key", "Return"});
            }
        });
        answer.start();
        EditorDocument* readOnly = starting.Documents().OpenFile(
            WriteFile(dir, "pua.pas", "unit B;\n\xef\xa0\x8d\nend.\n"));
        QVERIFY(readOnly && readOnly->IsReadOnly());
        QTRY_COMPARE(ActiveWindowName(), starting.Documents().EditWindow()->windowTitle());
        QTRY_COMPARE(QApplication::focusWidget(), readOnly->Editor());
    }
};

QTEST_MAIN(EditorFocusTest)
#include "tst_editorfocus.moc"
