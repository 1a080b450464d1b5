#include "MainWindow.h"

#include "DiskSync.h"
#include "RecoveryBar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QTextBlock>
#include <exception>

namespace workbench {

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), services_(new HostServices(*this, kestrel::kInterfaceVersion0017)),
      diskSync_(new DiskSync(*this)),
      recovery_(new RecoveryStore(RecoveryStore::DefaultFolder(), this)) {
    setWindowTitle(tr("Kestrel Workbench"));
    setObjectName("AppBuilder");
    BuildMenus();
    auto* hint = new QLabel(tr("Open a Pascal file (File > Open). Ctrl+Alt+L lists its "
                               "symbols, Ctrl+Alt+B inserts a bookmark."),
                            this);
    hint->setMargin(8);
    setCentralWidget(hint);
    resize(640, 120);
}

MainWindow::~MainWindow() {
    // Unsaved changes outlive the window in their recovery copies.
    recovery_->Flush();
    // The add-in first, then the services it was given; anything still alive
    // after that was not given back by the add-in.
    addIn_.Shutdown();
    services_->Release();
    for (EditorDocument* document : documents_) {
        if (editWindow_) {
            editWindow_->RemoveDocument(document);
        }
    }
    qDeleteAll(documents_); // their editors with them
    documents_.clear();
    delete editWindow_;
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

    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->menuAction()->setObjectName("FileMenu");
    add(file, "FileOpenItem", tr("&Open..."), QKeySequence::Open, [this] { OpenWithDialog(); });
    add(file, "FileSaveItem", tr("&Save"), QKeySequence::Save,
        [this] { SaveDocument(CurrentDocument()); });
    add(file, "FileSaveAsItem", tr("Save &As..."), QKeySequence::SaveAs, [this] { SaveAs(); });
    add(file, "FileCloseItem", tr("&Close"), QKeySequence(Qt::CTRL | Qt::Key_F4),
        [this] { CloseDocument(CurrentDocument()); });
    file->addSeparator();
    add(file, "FileExitItem", tr("E&xit"), QKeySequence::Quit, [this] { close(); });

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->menuAction()->setObjectName("EditMenu");
    const auto onEditor = [this](void (QPlainTextEdit::*method)()) {
        return [this, method] {
            if (CodeEditor* editor = CurrentEditor()) {
                (editor->*method)();
            }
        };
    };
    add(edit, "EditUndoItem", tr("&Undo"), QKeySequence::Undo, onEditor(&QPlainTextEdit::undo));
    add(edit, "EditRedoItem", tr("&Redo"), QKeySequence::Redo, onEditor(&QPlainTextEdit::redo));
    edit->addSeparator();
    add(edit, "EditCutItem", tr("Cu&t"), QKeySequence::Cut, onEditor(&QPlainTextEdit::cut));
    add(edit, "EditCopyItem", tr("&Copy"), QKeySequence::Copy, onEditor(&QPlainTextEdit::copy));
    add(edit, "EditPasteItem", tr("&Paste"), QKeySequence::Paste, onEditor(&QPlainTextEdit::paste));
    add(edit, "EditSelectAllItem", tr("Select &All"), QKeySequence::SelectAll,
        onEditor(&QPlainTextEdit::selectAll));

    QMenu* search = menuBar()->addMenu(tr("&Search"));
    search->menuAction()->setObjectName("SearchMenu");
    add(search, "SearchFindItem", tr("&Find..."), QKeySequence::Find, [this] { Find(false); });
    add(search, "SearchAgainItem", tr("Find &Next"), QKeySequence::FindNext,
        [this] { Find(true); });
    add(search, "SearchSymbolItem", tr("Search &Symbol..."), QKeySequence(), [this] {
        // Finds the word under the cursor, or asks for one.
        if (CodeEditor* editor = CurrentEditor()) {
            QTextCursor cursor = editor->textCursor();
            cursor.select(QTextCursor::WordUnderCursor);
            lastFind_ = cursor.selectedText();
            Find(!lastFind_.isEmpty());
        }
    });
    add(search, "SearchGoToItem", tr("&Go to Line..."), QKeySequence(Qt::CTRL | Qt::Key_G),
        [this] { GoToLine(); });

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

void MainWindow::RunAddInCommand(const std::function<void()>& command) {
    const RecoveryStore::CrashGuard crashGuard(*recovery_);
    QString failure;
    try {
        command();
        return;
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    } catch (...) {
        failure = tr("an unknown error");
    }
    QApplication::restoreOverrideCursor();
    QMessageBox::critical(this, tr("Add-in error"),
                          tr("The add-in's command failed: %1").arg(failure));
}

EditorDocument* MainWindow::FindDocument(const QString& path) const {
    if (path.isEmpty()) {
        return nullptr;
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    for (EditorDocument* document : documents_) {
        if (document->Path() == absolute) {
            return document;
        }
    }
    return nullptr;
}

EditorDocument* MainWindow::CurrentDocument() const {
    return editWindow_ ? editWindow_->CurrentDocument() : nullptr;
}

CodeEditor* MainWindow::CurrentEditor() const {
    EditorDocument* document = CurrentDocument();
    return document ? document->Editor() : nullptr;
}

EditorDocument* MainWindow::OpenFile(const QString& path, bool report) {
    if (EditorDocument* open = FindDocument(path)) {
        editWindow_->SetCurrentDocument(open);
        return open;
    }
    QString error;
    bool cancelled = false;
    EditorDocument* document = LoadDocument(path, report, error, cancelled);
    if (document == nullptr) {
        if (report && !cancelled) {
            QMessageBox::warning(this, tr("Open"), tr("Cannot open %1: %2").arg(path, error));
        }
        return nullptr;
    }
    AddDocument(document);
    if (document->IsReadOnly() && report) {
        QMessageBox::information(this, tr("Open"),
                                 tr("%1 holds characters that this editor cannot write back "
                                    "exactly; it is opened read-only.")
                                     .arg(path));
    }
    return document;
}

EditorDocument* MainWindow::OpenRecovered(const RecoveryStore::Copy& copy) {
    if (FindDocument(copy.path)) {
        return nullptr;
    }
    FileStamp base;
    base.exists = copy.hasBase;
    base.contents = copy.base;
    EditorDocument* document = EditorDocument::Recovered(copy.path, copy.bytes, base, this);
    AddDocument(document);
    return document;
}

void MainWindow::AddDocument(EditorDocument* document) {
    if (!editWindow_) {
        editWindow_ = new TEditWindow(this);
        connect(editWindow_, &TEditWindow::CloseRequested, this,
                [this](EditorDocument* d) { CloseDocument(d); });
        editWindow_->move(x() + 40, y() + height() + 40);
        auto* recoveryBar = new RecoveryBar(editWindow_);
        editWindow_->addToolBar(Qt::TopToolBarArea, recoveryBar);
        connect(recovery_, &RecoveryStore::CopiesFailing, recoveryBar, &RecoveryBar::ShowFailure);
        connect(recovery_, &RecoveryStore::CopiesWritten, recoveryBar, &QWidget::hide);
    }
    documents_ << document;
    editWindow_->AddDocument(document);
    editWindow_->show();
    recovery_->Track(document);
    diskSync_->Track(document);
}

bool MainWindow::SaveDocument(EditorDocument* document, const QString& path) {
    if (document == nullptr) {
        return false;
    }
    const QString target = path.isEmpty() ? document->Path() : path;
    bool asUtf8 = false;
    if (!ConfirmSave(document, target, asUtf8)) {
        return false;
    }
    if (!diskSync_->MaySave(document, target)) {
        return false;
    }
    const QString previousPath = document->Path();
    QString error;
    QString note;
    if (!document->Save(target, error, asUtf8, &note)) {
        QMessageBox::critical(this, tr("Save"), tr("Cannot save %1: %2").arg(target, error));
        return false;
    }
    ShowFileNote(note);
    diskSync_->Saved(document, previousPath);
    return true;
}

void MainWindow::SaveAs() {
    EditorDocument* document = CurrentDocument();
    if (document == nullptr) {
        return;
    }
    const QString path = QFileDialog::getSaveFileName(this, tr("Save As"), document->Path(),
                                                      tr("Pascal sources (*.pas *.pp *.dpr);;"
                                                         "All files (*)"));
    if (!path.isEmpty() && SaveDocument(document, path)) {
        editWindow_->SetCurrentDocument(document);
    }
}

bool MainWindow::CloseDocument(EditorDocument* document) {
    if (document == nullptr) {
        return true;
    }
    if (document->IsModified()) {
        const auto answer = QMessageBox::question(
            editWindow_, tr("Close"),
            tr("%1 has unsaved changes. Save them?").arg(document->DisplayName()),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        // Anything but a clear Save or Discard keeps the file open.
        if (answer != QMessageBox::Discard &&
            (answer != QMessageBox::Save || !SaveDocument(document))) {
            return false;
        }
    }
    diskSync_->Forget(document);
    recovery_->Forget(document);
    documents_.removeOne(document);
    editWindow_->RemoveDocument(document);
    document->deleteLater(); // its editor with it
    if (documents_.isEmpty()) {
        editWindow_->hide();
        editWindow_->deleteLater();
        editWindow_ = nullptr;
    }
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    const QList<EditorDocument*> documents = documents_;
    for (EditorDocument* document : documents) {
        if (!CloseDocument(document)) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

void MainWindow::OpenWithDialog() {
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, tr("Open"), QString(), tr("Pascal sources (*.pas *.pp *.dpr *.inc);;All files (*)"));
    for (const QString& path : paths) {
        OpenFile(path);
    }
}

void MainWindow::Find(bool next) {
    CodeEditor* editor = CurrentEditor();
    if (editor == nullptr) {
        return;
    }
    if (!next || lastFind_.isEmpty()) {
        bool ok = false;
        const QString text = QInputDialog::getText(editWindow_, tr("Find"), tr("Text to find:"),
                                                   QLineEdit::Normal, lastFind_, &ok);
        if (!ok || text.isEmpty()) {
            return;
        }
        lastFind_ = text;
    }
    if (!editor->find(lastFind_)) {
        QTextCursor start = editor->textCursor();
        start.movePosition(QTextCursor::Start);
        editor->setTextCursor(start);
        if (!editor->find(lastFind_)) {
            QMessageBox::information(editWindow_, tr("Find"), tr("'%1' not found.").arg(lastFind_));
        }
    }
}

void MainWindow::GoToLine() {
    CodeEditor* editor = CurrentEditor();
    if (editor == nullptr) {
        return;
    }
    bool ok = false;
    const int line = QInputDialog::getInt(editWindow_, tr("Go to Line"), tr("Line:"),
                                          editor->CursorLine(), 1, editor->blockCount(), 1, &ok);
    if (ok) {
        editor->SetCursorLineColumn(line, 1);
    }
}

QAction* MainWindow::FindMenuAction(const QString& objectName) const {
    if (objectName.isEmpty()) {
        return nullptr;
    }
    // Breadth first over the menu bar's tree of menus.
    QList<QAction*> pending = menuBar()->actions();
    while (!pending.isEmpty()) {
        QAction* action = pending.takeFirst();
        if (action->objectName() == objectName) {
            return action;
        }
        if (QMenu* menu = action->menu()) {
            pending += menu->actions();
        }
    }
    return nullptr;
}

QWidget* MainWindow::MenuContaining(QAction* action) const {
    if (menuBar()->actions().contains(action)) {
        return menuBar();
    }
    QList<QAction*> pending = menuBar()->actions();
    while (!pending.isEmpty()) {
        QAction* candidate = pending.takeFirst();
        if (QMenu* menu = candidate->menu()) {
            if (menu->actions().contains(action)) {
                return menu;
            }
            pending += menu->actions();
        }
    }
    return nullptr;
}

} // namespace workbench
