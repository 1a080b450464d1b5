// The workbench as an editor host: the add-in's menu items, the reader,
// writer and view over real editors, files on disk, and broken add-ins.
#include "AddInCommand.h"
#include "MenuTree.h"
#include "WorkbenchFixture.h"

#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrel;
using namespace workbench;
using namespace testing;

class WorkbenchTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void addInCommandsFollowSearchSymbol_data() {
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("entry");
        QTest::newRow("0017") << QString(ADDIN0017) << "INITEXPERT0017";
        QTest::newRow("0016") << QString(ADDIN0016) << "INITEXPERT0016";
    }

    void addInCommandsFollowSearchSymbol() {
        QFETCH(QString, library);
        {
            MainWindow window;
            QString error;
            QVERIFY2(window.LoadAddIn(library, &error, true), qPrintable(error));
            QTEST(window.AddIns().EntryName(), "entry");
            QAction* search = FindMenuAction(*window.menuBar(), "SearchSymbolItem");
            auto* menu = qobject_cast<QMenu*>(MenuContaining(*window.menuBar(), search));
            QVERIFY(menu);
            const QList<QAction*> actions = menu->actions();
            const qsizetype at = actions.indexOf(search);
            QVERIFY(actions.size() > at + 3);
            QVERIFY(actions[at + 1]->isSeparator());
            QCOMPARE(actions[at + 1]->objectName(), QString("KestrelExpSeparator"));
            // It looks like any other separator of the menu: a line, no text.
            QAction plain;
            plain.setSeparator(true);
            menu->setSeparatorsCollapsible(false);
            menu->insertAction(actions[at + 2], &plain);
            const QRect drawn = menu->actionGeometry(actions[at + 1]);
            QVERIFY(!drawn.isEmpty());
            QCOMPARE(drawn.size(), menu->actionGeometry(&plain).size());
            QCOMPARE(menu->grab(drawn).toImage(),
                     menu->grab(menu->actionGeometry(&plain)).toImage());
            menu->removeAction(&plain);
            QCOMPARE(actions[at + 2]->text(), QString("Insert bookmark"));
            QCOMPARE(actions[at + 2]->shortcut(), QKeySequence("Ctrl+Alt+B"));
            QCOMPARE(actions[at + 3]->text(), QString("Kestrel"));
            QCOMPARE(actions[at + 3]->shortcut(), QKeySequence("Ctrl+Alt+L"));
            QVERIFY(actions[at + 3]->isEnabled() && actions[at + 3]->isVisible());
            QCOMPARE(LiveHostObjects(), 4); // services and the expert's three items
        }
        QCOMPARE(LiveHostObjects(), 0);
    }

    void brokenAddInsAreReported_data() {
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << dir.filePath("nothing.so") << "nothing.so";
        QTest::newRow("not a library") << WriteFile(dir, "text.so", "not an ELF file") << "text.so";
        QTest::newRow("no entry point") << QString(MEMORY_MANAGER) << "is not an add-in";
        QTest::newRow("folder") << dir.path() << "not a regular file";
        const QString fifo = dir.filePath("pipe.so");
        ::mkfifo(QFile::encodeName(fifo).constData(), 0644);
        QTest::newRow("FIFO") << fifo << "not a regular file";
        // The real add-in, cut short or built for another machine.
        const QByteArray addIn = ReadFile(ADDIN0017);
        for (const qsizetype keep : {qsizetype{40}, qsizetype{200}, qsizetype{5000}}) {
            QTest::newRow(qPrintable(QString("cut to %1 bytes").arg(keep)))
                << WriteFile(dir, QString("cut%1.so").arg(keep), addIn.left(keep))
                << (keep < 64 ? "not an ELF" : "truncated");
        }
        QByteArray arm = addIn;
        arm[18] = char(183); // e_machine: AArch64
        arm[19] = 0;
        QTest::newRow("AArch64") << WriteFile(dir, "arm.so", arm) << "another architecture";
        QByteArray narrow = addIn;
        narrow[4] = 1; // ELFCLASS32
        QTest::newRow("32-bit") << WriteFile(dir, "narrow.so", narrow) << "another architecture";
    }

    void brokenAddInsAreReported() {
        QFETCH(QString, library);
        MainWindow window;
        QString error;
        QVERIFY(!window.LoadAddIn(library, &error, true));
        QFETCH(QString, message);
        QVERIFY2(error.contains(message), qPrintable(error));
        QVERIFY(window.AddIns().Expert() == nullptr);
        // The workbench goes on without it.
        QVERIFY(window.Documents().OpenFile(WriteFile(dir, "after.pas", "unit A;\n"), false));
    }

    void readerServesTheCrLfBuffer_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("buffer");
        QTest::newRow("LF") << QByteArray("unit A;\nbegin\n") << QByteArray("unit A;\r\nbegin\r\n");
        QTest::newRow("CR LF") << QByteArray("a\r\nb") << QByteArray("a\r\nb");
        QTest::newRow("BOM and lone CR")
            << QByteArray("\xEF\xBB\xBFx\ry\n") << QByteArray("x\ry\r\n");
        QTest::newRow("Windows-1252") << QByteArray("caf\xE9\n") << QByteArray("caf\xE9\r\n");
        QTest::newRow("UTF-8 and tab")
            << QByteArray("\t\xC3\xA9\xE2\x82\xAC\n") << QByteArray("\t\xC3\xA9\xE2\x82\xAC\r\n");
        QTest::newRow("U+2029 kept")
            << QByteArray("a\xE2\x80\xA9z\n") << QByteArray("a\xE2\x80\xA9z\r\n");
    }

    void readerServesTheCrLfBuffer() {
        QFETCH(QByteArray, file);
        MainWindow window;
        const QString path = WriteFile(dir, "reader.pas", file);
        QVERIFY(window.Documents().OpenFile(path, false));
        QTEST(ReadThroughHost(window.Services(), path), "buffer");
        QCOMPARE(LiveHostObjects(), 1);
    }

    void writerEditIsOneUndoStep_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("result");
        QTest::newRow("after a tab") << QByteArray("\tabc\n") << 2 << QByteArray("\ta[X]bc\r\n");
        QTest::newRow("after UTF-8")
            << QByteArray("\xC3\xA9t\xC3\xA9\n") << 3 << QByteArray("\xC3\xA9t[X]\xC3\xA9\r\n");
        QTest::newRow("Windows-1252")
            << QByteArray("\xE9t\xE9\nx\n") << 2 << QByteArray("\xE9t[X]\xE9\r\nx\r\n");
        QTest::newRow("second line end")
            << QByteArray("ab\ncd\n") << 6 << QByteArray("ab\r\ncd[X]\r\n");
        QTest::newRow("end of buffer") << QByteArray("ab") << 2 << QByteArray("ab[X]");
    }

    void writerEditIsOneUndoStep() {
        QFETCH(QByteArray, file);
        QFETCH(int, offset);
        MainWindow window;
        const QString path = WriteFile(dir, "writer.pas", file);
        EditorDocument* document = window.Documents().OpenFile(path, false);
        QVERIFY(document);
        const QByteArray before = ReadThroughHost(window.Services(), path);
        {
            const QByteArray name = path.toUtf8();
            HostRef<TIModuleInterface> module(
                window.Services()->GetModuleInterface(name.constData()));
            HostRef<TIEditorInterface> editor(module->GetEditorInterface());
            HostRef<TIEditWriter> writer(editor->CreateWriter());
            QVERIFY(writer->CopyTo(offset));
            QVERIFY(writer->Insert("[X"));
            QVERIFY(writer->Insert("]"));
            QVERIFY(!writer->CopyTo(offset - 1)); // a writer moves forward only
            QCOMPARE(ReadThroughHost(window.Services(), path), before); // not yet applied
        }
        QTEST(ReadThroughHost(window.Services(), path), "result");
        document->Editor()->undo();
        QCOMPARE(ReadThroughHost(window.Services(), path), before);
        QCOMPARE(LiveHostObjects(), 1);
    }

    void viewSetsCursorAndTopLine_data() {
        QTest::addColumn<int>("version");
        QTest::newRow("0017 layout") << 3;
        QTest::newRow("0016 layout") << 2;
    }

    void viewSetsCursorAndTopLine() {
        QFETCH(int, version);
        MainWindow window;
        window.Services()->SetInterfaceVersion(version);
        QByteArray text;
        for (int i = 1; i <= 300; ++i) {
            text += "line " + QByteArray::number(i) +
                    " \xC3\xA9 and more text that is rather "
                    "long so that a horizontal scroll bar appears in the editor window at all\n";
        }
        const QString path = WriteFile(dir, "view.pas", text);
        EditorDocument* document = window.Documents().OpenFile(path, false);
        window.Documents().EditWindow()->resize(400, 300);
        QApplication::processEvents();
        CodeEditor* editor = document->Editor();
        editor->horizontalScrollBar()->setValue(50);
        const QByteArray name = path.toUtf8();
        HostRef<TIModuleInterface> module(window.Services()->GetModuleInterface(name.constData()));
        HostRef<TIEditorInterface> hostEditor(module->GetEditorInterface());
        HostRef<TIEditView> view(hostEditor->GetView(0));
        QVERIFY(view);
        if (version == 3) {
            auto* v = static_cast<TIEditViewOf<EditorPos0017>*>(view.Get());
            v->SetPos(0, EditorPos0017{12, 120});
            v->SetPos(1, EditorPos0017{1, 120});
            QCOMPARE(int(v->GetPos(0).Line), 120);
            QCOMPARE(int(v->GetPos(0).Col), 12); // 'line 120 ' + é counts two bytes
            QCOMPARE(int(v->GetPos(1).Line), 120);
        } else {
            auto* v = static_cast<TIEditViewOf<EditorPos0016>*>(view.Get());
            v->SetPos(0, EditorPos0016{12, 120});
            v->SetPos(1, EditorPos0016{1, 120});
            QCOMPARE(int(v->GetPos(0).Line), 120);
            QCOMPARE(int(v->GetPos(0).Col), 12);
            QCOMPARE(int(v->GetPos(1).Line), 120);
        }
        QCOMPARE(editor->CursorLine(), 120);
        QCOMPARE(editor->CursorColumn(), 11); // the é is one character
        QCOMPARE(editor->TopLine(), 119);
        QCOMPARE(editor->horizontalScrollBar()->value(), 0);
        QVERIFY(!hostEditor->GetView(1));
    }

    // SetPos columns count bytes: a column inside a multi-byte character
    // stands at that character's start, one past the line's end beyond it.
    void viewColumnsInsideCharacters_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("hostColumn");
        QTest::addColumn<int>("editorColumn");
        QTest::newRow("before \xC3\xA9") << QByteArray("\xC3\xA9\r\n") << 1 << 1 << 1;
        QTest::newRow("inside \xC3\xA9") << QByteArray("\xC3\xA9\r\n") << 2 << 1 << 1;
        QTest::newRow("after \xC3\xA9") << QByteArray("\xC3\xA9\r\n") << 3 << 3 << 2;
        QTest::newRow("beyond \xC3\xA9") << QByteArray("\xC3\xA9\r\n") << 5 << 5 << 4;
        QTest::newRow("inside the euro sign") << QByteArray("a\xE2\x82\xAC\n") << 4 << 2 << 2;
        QTest::newRow("inside a surrogate pair")
            << QByteArray("\xF0\x9F\x98\x80x\n") << 3 << 1 << 1;
        QTest::newRow("after a surrogate pair") << QByteArray("\xF0\x9F\x98\x80x\n") << 5 << 5 << 3;
        QTest::newRow("Windows-1252") << QByteArray("\xE9t\n") << 2 << 2 << 2;
    }

    void viewColumnsInsideCharacters() {
        QFETCH(QByteArray, file);
        QFETCH(int, column);
        MainWindow window;
        const QString path = WriteFile(dir, "columns.pas", file);
        EditorDocument* document = window.Documents().OpenFile(path, false);
        HostRef<TIModuleInterface> module(
            window.Services()->GetModuleInterface(path.toUtf8().constData()));
        HostRef<TIEditorInterface> hostEditor(module->GetEditorInterface());
        HostRef<TIEditView> view(hostEditor->GetView(0));
        auto* v = static_cast<TIEditViewOf<EditorPos0017>*>(view.Get());
        v->SetPos(0, EditorPos0017{static_cast<int16_t>(column), 1});
        QTEST(int(v->GetPos(0).Col), "hostColumn");
        QTEST(document->Editor()->CursorColumn(), "editorColumn");
    }

    // A jump near the end of a file whose lines are wider than the view: the
    // horizontal scroll bar that appears on the way must not leave the top
    // line one short.
    void jumpNearTheEndWithWideLines() {
        MainWindow window;
        QByteArray text;
        for (int i = 1; i <= 100; ++i) {
            text += i == 70 ? QByteArray(1200, 'w') : "line " + QByteArray::number(i);
            text += "\n";
        }
        const QString path = WriteFile(dir, "wide.pas", text);
        EditorDocument* document = window.Documents().OpenFile(path, false);
        window.Documents().EditWindow()->resize(500, 400);
        window.Documents().EditWindow()->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.Documents().EditWindow()));
        HostRef<TIModuleInterface> module(
            window.Services()->GetModuleInterface(path.toUtf8().constData()));
        HostRef<TIEditorInterface> hostEditor(module->GetEditorInterface());
        HostRef<TIEditView> view(hostEditor->GetView(0));
        auto* v = static_cast<TIEditViewOf<EditorPos0017>*>(view.Get());
        v->SetPos(0, EditorPos0017{1, 99});
        v->SetPos(1, EditorPos0017{1, 99});
        QApplication::processEvents();
        QScrollBar* bar = document->Editor()->verticalScrollBar();
        QVERIFY(document->Editor()->horizontalScrollBar()->isVisible());
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(int(v->GetPos(1).Line), bar->maximum() + 1);
        QCOMPARE(document->Editor()->CursorLine(), 99);
    }

    void saveRoundTripsByteForByte_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("LF") << QByteArray("unit A;\nend.\n");
        QTest::newRow("CR LF") << QByteArray("unit A;\r\nend.\r\n");
        QTest::newRow("mixed, no final break") << QByteArray("a\r\nb\nc");
        QTest::newRow("BOM") << QByteArray("\xEF\xBB\xBFunit \xC3\xA9;\n");
        QTest::newRow("Windows-1252") << QByteArray("caf\xE9 \x80\x81\x9D\xA0\xFF\n");
        QTest::newRow("lone CR and NUL") << QByteArray("a\rb\0c\n", 7);
        QByteArray binary;
        for (int i = 0; i < 4096; ++i) {
            binary.append(char((i * 131) & 0xFF));
        }
        QTest::newRow("binary") << binary;
    }

    void saveRoundTripsByteForByte() {
        QFETCH(QByteArray, file);
        MainWindow window;
        const QString path = WriteFile(dir, "roundtrip.pas", file);
        EditorDocument* document = window.Documents().OpenFile(path, false);
        QVERIFY(document);
        QVERIFY(window.Documents().SaveDocument(document));
        QCOMPARE(ReadFile(path), file);
        if (!document->Editor()->isReadOnly()) {
            // An edit at the start changes only that place.
            document->Editor()->insertAt("X", 0, 0);
            QVERIFY(window.Documents().SaveDocument(document));
            const QByteArray saved = ReadFile(path);
            const int bom = file.startsWith("\xEF\xBB\xBF") ? 3 : 0;
            QCOMPARE(saved.mid(bom + 1), file.mid(bom));
            QCOMPARE(saved.at(bom), 'X');
        }
    }

    void unreadableAndUnwritableFiles() {
        MainWindow window;
        QVERIFY(!window.Documents().OpenFile(dir.filePath("missing.pas"), false));
        QVERIFY(!window.Documents().OpenFile(dir.path(), false));
        QVERIFY(!window.Services()->OpenFile(dir.filePath("missing.pas").toUtf8().constData()));

        const QString path = WriteFile(dir, "keep.pas", "unit Keep;\n");
        EditorDocument* document = window.Documents().OpenFile(path, false);
        document->Editor()->insertAt("changed ", 0, 0);
        const kestrel::FileStatus saved = document->Save(dir.filePath("no/such/folder/keep.pas"));
        QVERIFY(!saved);
        QCOMPARE(saved.Errno(), ENOENT);
        QVERIFY(document->IsModified());

        MessageBoxAnswer answer(QMessageBox::Ok);
        QVERIFY(
            !window.Documents().SaveDocument(document, dir.filePath("no/such/folder/keep.pas")));
        QVERIFY(answer.answered);
        QVERIFY(answer.text.contains("keep.pas"));
        QCOMPARE(ReadFile(path), QByteArray("unit Keep;\n"));
    }

    void closingAModifiedFileAsks() {
        MainWindow window;
        const QString path = WriteFile(dir, "ask.pas", "unit Ask;\n");
        EditorDocument* document = window.Documents().OpenFile(path, false);
        document->Editor()->insertAt("x", 0, 0);
        {
            MessageBoxAnswer answer(QMessageBox::Cancel);
            QVERIFY(!window.Documents().CloseDocument(document));
            QVERIFY(answer.answered);
            QVERIFY(window.Documents().FindDocument(path));
        }
        {
            MessageBoxAnswer answer(QMessageBox::Save);
            QVERIFY(window.Documents().CloseDocument(document));
            QVERIFY(!window.Documents().FindDocument(path));
            QVERIFY(!window.Documents().EditWindow()); // gone with its last file
        }
        QCOMPARE(ReadFile(path), QByteArray("xunit Ask;\n"));
    }

    void servicesAnswerForOpenFiles() {
        MainWindow window;
        HostServices* services = window.Services();
        HostString none(services->GetCurrentFile());
        QVERIFY(none.View().empty());
        const QString a = WriteFile(dir, "a.pas", "unit A;\n");
        const QString b = WriteFile(dir, "b.pas", "unit B;\n");
        QVERIFY(services->OpenFile(a.toUtf8().constData()));
        QVERIFY(window.Documents().OpenFile(b, false));
        HostString current(services->GetCurrentFile());
        QCOMPARE(QString::fromStdString(current.Str()), b);
        QVERIFY(services->IsFileOpen(a.toUtf8().constData()));
        QVERIFY(!services->IsFileOpen(dir.filePath("c.pas").toUtf8().constData()));
        QVERIFY(services->GetModuleInterface("nope.pas") == nullptr);
        QCOMPARE(services->GetParentHandle(), WindowHandle(window.winId()));
        HostRef<TIMainMenuIntf> menu(services->GetMainMenu());
        QVERIFY(menu->FindMenuItem("NoSuchItem") == nullptr);
        HostRef<TIMenuItemIntf> item(menu->FindMenuItem("SearchSymbolItem"));
        QCOMPARE(item->GetIndex(), 3);
        HostRef<TIMenuItemIntf> parent(item->GetParent());
        HostRef<TIMenuItemIntf> top(parent->GetParent());
        QVERIFY(!top); // the Search menu sits in the menu bar
    }

    void addInFailuresAreShownAndTheIdeStaysUp() {
        MainWindow window;
        window.show();
        MessageBoxAnswer answer(QMessageBox::Ok);
        RunAddInCommand(window.Documents(), [] { throw std::runtime_error("scan failed"); });
        QVERIFY(answer.answered);
        QCOMPARE(answer.icon, QMessageBox::Critical);
        QVERIFY(answer.text.contains("scan failed"));
        QVERIFY(window.isVisible());
    }

    void unreleasedHostObjectsAreReportedAtExit() {
        TIModuleInterface* leaked = nullptr;
        {
            MainWindow window;
            const QString path = WriteFile(dir, "leak.pas", "unit Leak;\n");
            QVERIFY(window.Documents().OpenFile(path, false));
            leaked = window.Services()->GetModuleInterface(path.toUtf8().constData());
            QTest::ignoreMessage(QtWarningMsg,
                                 "workbench: 1 host object(s) were not released by the add-in");
        }
        // Objects outliving their editor answer safely.
        QVERIFY(leaked->GetEditorInterface() == nullptr);
        leaked->Release();
        QCOMPARE(LiveHostObjects(), 0);
    }

    void shortCutsDecode_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QKeySequence>("keys");
        QTest::newRow("Ctrl+Alt+B") << 0xC042 << QKeySequence("Ctrl+Alt+B");
        QTest::newRow("Ctrl+Alt+L") << 0xC04C << QKeySequence("Ctrl+Alt+L");
        QTest::newRow("Shift+F") << 0x2046 << QKeySequence("Shift+F");
        QTest::newRow("none") << 0 << QKeySequence();
    }

    void shortCutsDecode() {
        QFETCH(int, value);
        QTEST(KeySequenceFromShortCut(static_cast<uint16_t>(value)), "keys");
    }
};

QTEST_MAIN(WorkbenchTest)
#include "tst_workbench.moc"
