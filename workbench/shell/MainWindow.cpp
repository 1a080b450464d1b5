#include "MainWindow.h"

#include "DialogCentring.h"
#include "DiskSync.h"
#include "EditorFocusReturn.h"
#include "RecoveryStore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QSessionManager>
#include <algorithm>
#include <limits>

namespace workbench {

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), documents_(new OpenDocuments(*this)),
      services_(new HostServices(*documents_, kestrel::kInterfaceVersion0017)) {
    focusReturn_ = new EditorFocusReturn(*documents_, *this);
    new DialogCentring(*documents_, *this);
    setWindowTitle(tr("Kestrel Workbench"));
    setObjectName("AppBuilder");
    BuildMenus();
    hint_ = new QLabel(this);
    hint_->setObjectName("Hint");
    hint_->setMargin(8);
    hint_->setWordWrap(true);
    setCentralWidget(hint_);
    UpdateHint();
    connect(documents_, &OpenDocuments::DocumentsChanged, this, &MainWindow::UpdateHint);
    resize(640, 120);
#ifndef QT_NO_SESSIONMANAGER
    // The desktop logs out: the unsaved changes are kept in their recovery
    // copies, offered at the next start, whatever ends the workbench next.
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { documents_->Recovery().Flush(); });
#endif
}

MainWindow::~MainWindow() {
    // It watches the windows that go next.
    delete focusReturn_;
    // Unsaved changes outlive the window in their recovery copies.
    documents_->Recovery().Flush();
    // The add-in first, then the services it was given; anything still alive
    // after that was not given back by the add-in.
    addIn_.Shutdown();
    services_->Release();
    delete documents_;
    if (const int left = LiveHostObjects(); left != 0) {
        qWarning("workbench: %d host object(s) were not released by the add-in", left);
    }
}

void MainWindow::BuildMenus() {
    const auto add = [this](QMenu* menu, const QString& name, const QString& text,
                            const QKeySequence& key, auto slot) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        action->setShortcut(key);
        // The code editor is a window of its own: menu keys work there too.
        action->setShortcutContext(Qt::ApplicationShortcut);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };

    // Menu texts in sentence case, as the add-in writes its own.
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->menuAction()->setObjectName("FileMenu");
    add(file, "FileOpenItem", tr("&Open..."), QKeySequence::Open, [this] { OpenWithDialog(); });
    add(file, "FileSaveItem", tr("&Save"), QKeySequence::Save,
        [this] { documents_->SaveDocument(documents_->CurrentDocument()); });
    add(file, "FileSaveAsItem", tr("Save &as..."), QKeySequence::SaveAs,
        [this] { documents_->SaveAs(); });
    add(file, "FileReloadItem", tr("&Reload from disk"), QKeySequence(), [this] {
        if (EditorDocument* document = documents_->CurrentDocument()) {
            documents_->Disk().ReloadFromDisk(document);
        }
    });
    add(file, "FileCloseItem", tr("&Close"), QKeySequence(Qt::CTRL | Qt::Key_F4),
        [this] { documents_->CloseDocument(documents_->CurrentDocument()); });
    file->addSeparator();
    add(file, "FileExitItem", tr("E&xit"), QKeySequence::Quit, [this] { close(); });

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->menuAction()->setObjectName("EditMenu");
    const auto onEditor = [this](void (QsciScintilla::*method)()) {
        return [this, method] {
            if (CodeEditor* editor = documents_->CurrentEditor()) {
                (editor->*method)();
            }
        };
    };
    add(edit, "EditUndoItem", tr("&Undo"), QKeySequence::Undo, onEditor(&QsciScintilla::undo));
    add(edit, "EditRedoItem", tr("&Redo"), QKeySequence::Redo, onEditor(&QsciScintilla::redo));
    edit->addSeparator();
    add(edit, "EditCutItem", tr("Cu&t"), QKeySequence::Cut, onEditor(&QsciScintilla::cut));
    add(edit, "EditCopyItem", tr("&Copy"), QKeySequence::Copy, onEditor(&QsciScintilla::copy));
    add(edit, "EditPasteItem", tr("&Paste"), QKeySequence::Paste, onEditor(&QsciScintilla::paste));
    add(edit, "EditSelectAllItem", tr("Select &all"), QKeySequence::SelectAll, [this] {
        if (CodeEditor* editor = documents_->CurrentEditor()) {
            editor->selectAll();
        }
    });

    // An add-in puts its items right after "SearchSymbolItem", found by its
    // name; the workbench's own items keep together around them.
    QMenu* search = menuBar()->addMenu(tr("&Search"));
    search->menuAction()->setObjectName("SearchMenu");
    add(search, "SearchFindItem", tr("&Find..."), QKeySequence::Find, [this] { Find(false); });
    add(search, "SearchAgainItem", tr("Find &next"), QKeySequence(Qt::Key_F3),
        [this] { Find(true); });
    add(search, "SearchPreviousItem", tr("Find &previous"), QKeySequence(Qt::SHIFT | Qt::Key_F3),
        [this] { Find(true, false); });
    add(search, "SearchSymbolItem", tr("Search &symbol..."), QKeySequence(), [this] {
        // Finds the word under the cursor, or asks for one.
        if (CodeEditor* editor = documents_->CurrentEditor()) {
            lastFind_ = editor->WordAtCursor();
            Find(!lastFind_.isEmpty());
        }
    });
    add(search, "SearchGoToItem", tr("&Go to line..."), QKeySequence(Qt::CTRL | Qt::Key_G),
        [this] { GoToLine(); });
    search->addSeparator();
    add(search, "SearchNextBookmarkItem", tr("Next &bookmark"), QKeySequence(Qt::Key_F2),
        [this] { GoToBookmark(true); });
    add(search, "SearchPreviousBookmarkItem", tr("Previous boo&kmark"),
        QKeySequence(Qt::SHIFT | Qt::Key_F2), [this] { GoToBookmark(false); });

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->menuAction()->setObjectName("HelpMenu");
    add(help, "HelpAboutItem", tr("&About"), QKeySequence(), [this] {
        QString text = tr("Kestrel Workbench: a small editor host for Kestrel.");
        if (!addIn_.EntryName().isEmpty()) {
            text += "\n" + tr("Add-in loaded through %1.").arg(addIn_.EntryName());
        }
        QMessageBox::about(this, tr("About Kestrel Workbench"), text);
    });
}

bool MainWindow::LoadAddIn(const QString& path, QString* error, bool quiet) {
    QString message;
    if (addIn_.Load(path, services_, message)) {
        return true;
    }
    if (error) {
        *error = message;
    }
    if (!quiet) {
        QMessageBox::warning(this, tr("Add-in not loaded"),
                             tr("The add-in %1 was not loaded:\n%2\n\nThe workbench runs "
                                "without it.")
                                 .arg(path, message));
    }
    return false;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (documents_->CloseAll()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::OpenWithDialog() {
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, tr("Open"), QString(),
        tr("Pascal sources (*.pas *.pp *.p *.inc *.lpr *.dpr *.dpk);;All files (*)"));
    for (const QString& path : paths) {
        documents_->OpenFile(path);
    }
    if (!paths.isEmpty()) {
        emit documents_->CommandEnded();
    }
}

void MainWindow::Find(bool next, bool forward) {
    CodeEditor* editor = documents_->CurrentEditor();
    if (editor == nullptr) {
        return;
    }
    if (!next || lastFind_.isEmpty()) {
        bool ok = false;
        const QString text =
            QInputDialog::getText(documents_->EditWindow(), tr("Find"), tr("Text to find:"),
                                  QLineEdit::Normal, lastFind_, &ok);
        if (!ok || text.isEmpty()) {
            return;
        }
        lastFind_ = text;
    }
    const CodeEditor::SearchHit hit = editor->FindText(lastFind_, forward);
    if (hit == CodeEditor::SearchHit::NotFound) {
        QMessageBox::information(documents_->EditWindow(), tr("Find"),
                                 tr("'%1' not found.").arg(lastFind_));
    }
    SayWrapped(hit, forward);
}

void MainWindow::GoToBookmark(bool next) {
    if (CodeEditor* editor = documents_->CurrentEditor()) {
        SayWrapped(editor->GoToBookmark(next), next);
    }
}

void MainWindow::SayWrapped(CodeEditor::SearchHit hit, bool forward) {
    if (hit == CodeEditor::SearchHit::Wrapped && documents_->EditWindow() != nullptr) {
        documents_->EditWindow()->ShowNote(forward ? tr("Search wrapped to the top")
                                                   : tr("Search wrapped to the bottom"));
    }
}

void MainWindow::UpdateHint() {
    const QString keys = tr("Ctrl+Alt+L lists its symbols, Ctrl+Alt+B inserts a bookmark.");
    const EditorDocument* current = documents_->CurrentDocument();
    if (current == nullptr) {
        hint_->setText(tr("Open a Pascal file (File > Open). ") + keys);
        return;
    }
    const auto others = documents_->Documents().size() - 1;
    const QString name = current->DisplayName();
    QString open = tr("%1 is open in the code editor.").arg(name);
    if (others == 1) {
        open = tr("%1 and one other file are open in the code editor.").arg(name);
    } else if (others > 1) {
        open = tr("%1 and %2 other files are open in the code editor.")
                   .arg(name, QString::number(others));
    }
    hint_->setText(open + " " + keys);
}

void MainWindow::GoToLine() {
    CodeEditor* editor = documents_->CurrentEditor();
    if (editor == nullptr) {
        return;
    }
    bool ok = false;
    // Any line number is taken, and one past the end goes to the last line,
    // rather than the spin box silently dropping the digits that overshoot.
    const int line = QInputDialog::getInt(
        documents_->EditWindow(), tr("Go to Line"), tr("Line (1 to %1):").arg(editor->LineCount()),
        editor->CursorLine(), 1, std::numeric_limits<int>::max(), 1, &ok);
    if (ok) {
        editor->SetCursorLineColumn(std::min(line, editor->LineCount()), 1);
    }
}

} // namespace workbench
