// The two commands end to end: the workbench loads one build of the add-in
// through its entry point, and the commands run from their shortcuts.
#include "ModalAnswer.h"
#include "WorkbenchFixture.h"

#include <QAbstractItemModel>
#include <QDialog>
#include <QHeaderView>
#include <QSettings>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

using namespace kestrel;
using namespace workbench;
using namespace testing;

namespace {

// The add-in's symbol list window, while it is open.
QDialog* OpenListWindow() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && QByteArray(modal->metaObject()->className()).endsWith("TfrmProc")) {
        return qobject_cast<QDialog*>(modal);
    }
    return nullptr;
}

QStringList Captions(QDialog* list) {
    auto* view = list->findChild<QTreeView*>("lstShowLine");
    QStringList captions;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        captions << view->model()->index(row, 0).data().toString();
    }
    return captions;
}

int RowOf(QDialog* list, const QString& caption) {
    return static_cast<int>(Captions(list).indexOf(caption));
}

void PressCtrlAlt(QWidget* target, Qt::Key key) {
    QTest::keyClick(target, key, Qt::ControlModifier | Qt::AltModifier);
}

} // namespace

class CommandsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QTemporaryDir settingsDir;
    std::unique_ptr<MainWindow> window;

    EditorDocument* Open(const QString& name, const QByteArray& bytes) {
        EditorDocument* document = window->Documents().OpenFile(WriteFile(dir, name, bytes), false);
        window->Documents().EditWindow()->resize(500, 300);
        window->Documents().EditWindow()->show();
        document->Editor()->setFocus();
        QApplication::processEvents();
        return document;
    }

    // Runs the list command from its shortcut, with `inside` answering its
    // window; returns whether the window was seen.
    bool RunList(QWidget* target, const std::function<void(QDialog*)>& inside) {
        bool seen = false;
        AnswerNext<QDialog>([&](QDialog*) {
            if (QDialog* list = OpenListWindow()) {
                seen = true;
                inside(list);
                if (list->isVisible()) {
                    list->close();
                }
            }
        });
        PressCtrlAlt(target, Qt::Key_L);
        return seen;
    }

private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        window = std::make_unique<MainWindow>();
        window->show();
        QString error;
        QVERIFY2(window->LoadAddIn(ADDIN_PATH, &error, true), qPrintable(error));
        QCOMPARE(window->AddIns().EntryName(), QString(ENTRY_NAME));
    }

    void cleanup() {
        while (EditorDocument* document = window->Documents().CurrentDocument()) {
            document->Editor()->setModified(false);
            window->Documents().CloseDocument(document);
        }
        QFile::remove(settingsDir.filePath("Brenta/Kestrel.conf"));
        // Only the services and the expert's three menu items stay alive.
        QCOMPARE(LiveHostObjects(), 4);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void cleanupTestCase() {
        window.reset();
        QCOMPARE(LiveHostObjects(), 0);
    }

    void listAndJumpByDoubleClick() {
        const QByteArray sample = ReadFile(KESTREL_SAMPLES_DIR "/Unit1.pas");
        EditorDocument* document = Open("Unit1.pas", sample);
        CodeEditor* editor = document->Editor();
        editor->SetCursorLineColumn(10, 3);
        QStringList shown;
        const bool seen = RunList(editor, [&](QDialog* list) {
            shown = Captions(list);
            QTest::mouseClick(list->findChild<QToolButton*>("btnF"), Qt::LeftButton);
            auto* view = list->findChild<QTreeView*>("lstShowLine");
            const QRect rect = view->visualRect(view->model()->index(RowOf(list, "00044"), 1));
            QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
        });
        QVERIFY(seen);
        QCOMPARE(shown, QStringList({"00001", "00034"})); // first run: headers only
        QCOMPARE(editor->CursorLine(), 44);
        QCOMPARE(editor->CursorColumn(), 1);
        QCOMPARE(editor->TopLine(), 43);
        QVERIFY(!document->IsModified());
    }

    void closingWithoutChoiceDoesNotJump_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("abort") << "abort";
        QTest::newRow("title bar") << "close";
    }

    void closingWithoutChoiceDoesNotJump() {
        QFETCH(QString, how);
        EditorDocument* document =
            Open("Stay.pas", "unit Stay;\ninterface\nimplementation\nend.\n");
        document->Editor()->SetCursorLineColumn(2, 4);
        QVERIFY(RunList(document->Editor(), [&](QDialog* list) {
            auto* view = list->findChild<QTreeView*>("lstShowLine");
            view->setCurrentIndex(view->model()->index(1, 0));
            if (how == "abort") {
                QTest::mouseClick(list->findChild<QToolButton*>("btnAbort"), Qt::LeftButton);
            } else {
                list->close();
            }
        }));
        QCOMPARE(document->Editor()->CursorLine(), 2);
        QCOMPARE(document->Editor()->CursorColumn(), 4);
    }

    void emptyBufferAndUnfinishedLastLine_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("empty") << QByteArray() << QStringList();
        QTest::newRow("no final break")
            << QByteArray("unit A;\nimplementation") << QStringList{"00001"};
        QTest::newRow("project file")
            << QByteArray("project P;\nuses A;\n") << QStringList{"00001"};
    }

    void emptyBufferAndUnfinishedLastLine() {
        QFETCH(QByteArray, bytes);
        EditorDocument* document = Open("Edge.dpr", bytes);
        QStringList rows;
        QVERIFY(RunList(document->Editor(), [&](QDialog* list) { rows = Captions(list); }));
        QTEST(rows, "rows");
    }

    void bookmarkTable_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<int>("cursorColumn");
        QTest::newRow("column 2") << QByteArray("abc\r\n") << 1 << 2 << QByteArray("a{//*}bc\r\n")
                                  << 6;
        QTest::newRow("column 4") << QByteArray("abc\r\n") << 1 << 4 << QByteArray("abc{//*}\r\n")
                                  << 8;
        QTest::newRow("column 5") << QByteArray("abc\r\n") << 1 << 5 << QByteArray("abc {//*}\r\n")
                                  << 9;
        QTest::newRow("column 7") << QByteArray("abc\r\n") << 1 << 7
                                  << QByteArray("abc   {//*}\r\n") << 11;
        QTest::newRow("tab before the cursor")
            << QByteArray("\tabc\r\n") << 1 << 3 << QByteArray("\ta{//*}bc\r\n") << 7;
        QTest::newRow("LF file keeps LF")
            << QByteArray("x\nabc\n") << 2 << 6 << QByteArray("x\nabc  {//*}\n") << 10;
        QTest::newRow("UTF-8 before the cursor") << QByteArray("\xC3\xA9t\xC3\xA9\r\n") << 1 << 4
                                                 << QByteArray("\xC3\xA9t{//*}\xC3\xA9\r\n") << 7;
        QTest::newRow("after the last character")
            << QByteArray("end.") << 1 << 5 << QByteArray("end.{//*}") << 9;
        QTest::newRow("empty line after the final break")
            << QByteArray("end.\r\n") << 2 << 3 << QByteArray("end.\r\n  {//*}") << 7;
    }

    void bookmarkTable() {
        QFETCH(QByteArray, file);
        QFETCH(int, line);
        QFETCH(int, column);
        EditorDocument* document = Open("Mark.pas", file);
        CodeEditor* editor = document->Editor();
        editor->SetCursorLineColumn(line, column);
        // The editor's columns are characters; the host's are bytes.
        if (file.startsWith("\xC3")) {
            editor->SetCursorLineColumn(line, 3);
        }
        PressCtrlAlt(editor, Qt::Key_B);
        QVERIFY(window->Documents().SaveDocument(document));
        QTEST(ReadFile(document->Path()), "saved");
        QCOMPARE(editor->CursorLine(), line);
        if (!file.startsWith("\xC3")) {
            QTEST(editor->CursorColumn(), "cursorColumn");
        }
        // One undo takes the whole edit back.
        editor->undo();
        QVERIFY(window->Documents().SaveDocument(document));
        QCOMPARE(ReadFile(document->Path()), file);
    }

    // The host's SetPos with a byte column inside "\xC3\xA9" puts the cursor
    // at the character's start, and the bookmark goes there.
    void bookmarkAfterSetPosInsideACharacter() {
        EditorDocument* document = Open("Accent.pas", "\xC3\xA9\r\n");
        {
            const QByteArray name = document->Path().toUtf8();
            HostRef<TIModuleInterface> module(
                window->Services()->GetModuleInterface(name.constData()));
            HostRef<TIEditorInterface> editor(module->GetEditorInterface());
            HostRef<TIEditView> view(editor->GetView(0));
            if (QByteArray(ENTRY_NAME).endsWith("17")) {
                auto* v = static_cast<TIEditViewOf<EditorPos0017>*>(view.Get());
                v->SetPos(0, EditorPos0017{2, 1});
                QCOMPARE(int(v->GetPos(0).Col), 1);
            } else {
                auto* v = static_cast<TIEditViewOf<EditorPos0016>*>(view.Get());
                v->SetPos(0, EditorPos0016{2, 1});
                QCOMPARE(int(v->GetPos(0).Col), 1);
            }
        }
        PressCtrlAlt(document->Editor(), Qt::Key_B);
        QVERIFY(window->Documents().SaveDocument(document));
        QCOMPARE(ReadFile(document->Path()), QByteArray("{//*}\xC3\xA9\r\n"));
    }

    void bookmarkThenListShowsIt() {
        EditorDocument* document =
            Open("Marked.pas", "unit M;\nimplementation\nprocedure P;\nbegin\nend;\n");
        document->Editor()->SetCursorLineColumn(4, 9);
        PressCtrlAlt(document->Editor(), Qt::Key_B);
        QCOMPARE(document->Editor()->LineText(4), QString("begin   {//*}"));
        QStringList rows;
        QString details;
        QVERIFY(RunList(document->Editor(), [&](QDialog* list) {
            QTest::mouseClick(list->findChild<QToolButton*>("btnB"), Qt::LeftButton);
            rows = Captions(list);
            auto* view = list->findChild<QTreeView*>("lstShowLine");
            details = view->model()->index(RowOf(list, "00004"), 3).data().toString();
        }));
        QCOMPARE(rows, QStringList({"00001", "00002", "00004"}));
        QCOMPARE(details, QString("({//*}begin"));
    }

    void formFilesAreRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("list");
        QTest::newRow("list, Unit1.dfm") << "Unit1.dfm" << true;
        QTest::newRow("bookmark, Unit1.DFM") << "Unit1.DFM" << false;
        QTest::newRow("list, folder Forms.dfmold") << "Forms.dfmold/Unit2.pas" << true;
    }

    void formFilesAreRefused() {
        QFETCH(QString, name);
        QFETCH(bool, list);
        QDir(dir.path()).mkpath(QFileInfo(dir.filePath(name)).path());
        EditorDocument* document = Open(name, "object Form1: TForm1\nend\n");
        document->Editor()->SetCursorLineColumn(1, 3);
        MessageBoxAnswer answer(QMessageBox::Ok);
        PressCtrlAlt(document->Editor(), list ? Qt::Key_L : Qt::Key_B);
        QVERIFY(answer.answered);
        QCOMPARE(answer.text, QString("A Pascal source file (.PAS) must be opened."));
        QCOMPARE(answer.icon, QMessageBox::NoIcon);
        QVERIFY(!document->IsModified());
    }

    void listWithoutEditorWindowDoesNothing() {
        QVERIFY(!window->Documents().EditWindow());
        const ShownWindows shown;
        PressCtrlAlt(window.get(), Qt::Key_L);
        PressCtrlAlt(window.get(), Qt::Key_B);
        QVERIFY2(shown.classes.isEmpty(), qPrintable(shown.classes.join(", ")));
    }
};

QTEST_MAIN(CommandsTest)
#include "tst_commands.moc"
