#include "TEditWindow.h"

#include <QCloseEvent>
#include <QStatusBar>
#include <QVBoxLayout>

namespace workbench {

TEditWindow::TEditWindow(QWidget* owner)
    : QMainWindow(owner, Qt::Window), banner_(new QLabel(this)), tabs_(new QTabWidget(this)),
      position_(new QLabel(this)), encoding_(new QLabel(this)) {
    setObjectName("EditWindow_0");
    setWindowTitle(tr("Code Editor"));
    tabs_->setTabsClosable(true);
    tabs_->setDocumentMode(true);
    banner_->setObjectName("ReadOnlyBanner");
    banner_->setWordWrap(true);
    banner_->setMargin(6);
    banner_->setAutoFillBackground(true);
    banner_->setBackgroundRole(QPalette::ToolTipBase);
    banner_->setForegroundRole(QPalette::ToolTipText);
    banner_->hide();
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(banner_);
    layout->addWidget(tabs_);
    setCentralWidget(central);
    statusBar()->addWidget(position_);
    statusBar()->addPermanentWidget(encoding_);
    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        // Focus given to the window (as an add-in gives it, before it opens
        // its own window) goes to the current editor.
        EditorDocument* document = CurrentDocument();
        setFocusProxy(document ? document->Editor() : nullptr);
        // A message about the file left behind would hide this one's place.
        statusBar()->clearMessage();
        UpdateWindowTitle();
        UpdateStatus();
        emit CurrentChanged();
    });
    connect(tabs_, &QTabWidget::tabCloseRequested, this,
            [this](int index) { emit CloseRequested(documents_.value(index)); });
    resize(760, 560);
}

void TEditWindow::AddDocument(EditorDocument* document) {
    documents_ << document;
    CodeEditor* view = document->Editor() ? document->Editor() : document->MakeView();
    tabs_->addTab(view, document->DisplayName());
    connect(view, &CodeEditor::CursorMoved, this, [this, document] {
        if (document == CurrentDocument()) {
            UpdateStatus();
        }
    });
    connect(document, &EditorDocument::ModifiedChanged, this, [this, document] {
        UpdateTabTitle(document);
        UpdateStatus(); // a save may have changed what is read-only
    });
    connect(document, &EditorDocument::EditRefused, this, [this, document] {
        statusBar()->showMessage(
            tr("%1 is read-only: the add-in's edit was not made.").arg(document->DisplayName()),
            15000);
    });
    SetCurrentDocument(document);
}

void TEditWindow::RemoveDocument(EditorDocument* document) {
    const int index = static_cast<int>(documents_.indexOf(document));
    if (index < 0) {
        return;
    }
    if (focusProxy() == document->Editor()) {
        setFocusProxy(nullptr);
    }
    documents_.removeAt(index);
    tabs_->removeTab(index);
    UpdateWindowTitle();
    UpdateStatus();
}

EditorDocument* TEditWindow::CurrentDocument() const {
    return documents_.value(tabs_->currentIndex());
}

void TEditWindow::SetCurrentDocument(EditorDocument* document) {
    const int index = static_cast<int>(documents_.indexOf(document));
    if (index >= 0) {
        tabs_->setCurrentIndex(index);
        UpdateTabTitle(document);
    }
    UpdateStatus();
}

void TEditWindow::UpdateTabTitle(EditorDocument* document) {
    const int index = static_cast<int>(documents_.indexOf(document));
    if (index >= 0) {
        tabs_->setTabText(index, document->DisplayName() + (document->IsModified() ? "*" : ""));
        tabs_->setTabToolTip(index, document->Path());
    }
    if (document == CurrentDocument()) {
        UpdateWindowTitle();
    }
}

void TEditWindow::UpdateWindowTitle() {
    EditorDocument* document = CurrentDocument();
    if (document == nullptr) {
        setWindowTitle(tr("Code Editor"));
        return;
    }
    // Composed here rather than through Qt's "[*]": the title that the
    // window system shows and windowTitle() stay the same text.
    setWindowTitle(
        tr("%1%2 – Code Editor").arg(document->DisplayName(), document->IsModified() ? "*" : ""));
}

void TEditWindow::ShowNote(const QString& text) {
    statusBar()->showMessage(text, 5000);
}

void TEditWindow::UpdateStatus() {
    EditorDocument* document = CurrentDocument();
    if (document == nullptr || document->Editor() == nullptr) {
        position_->clear();
        encoding_->clear();
        banner_->hide();
        return;
    }
    if (document->IsReadOnly()) {
        banner_->setText(tr("Read-only: this file holds characters that the editor cannot "
                            "write back exactly. Save As keeps the text in another file."));
    } else if (document->ReadOnlyOnDisk()) {
        banner_->setText(tr("Read-only on disk: you may edit, and saving asks first."));
    }
    banner_->setVisible(document->IsReadOnly() || document->ReadOnlyOnDisk());
    position_->setText(tr("Line %1, Col %2")
                           .arg(document->Editor()->CursorLine())
                           .arg(document->Editor()->CursorColumn()));
    QString encoding =
        document->Encoding() == kestrel::TextEncoding::Utf8 ? "UTF-8" : "Windows-1252";
    if (document->IsReadOnly() || document->ReadOnlyOnDisk()) {
        encoding += tr(", read-only");
    }
    if (!document->Editor()->Colouring()) {
        encoding +=
            tr(", plain text (no colours above %1 MB)").arg(EditorDocument::kColourLimit >> 20);
    }
    encoding_->setText(encoding);
}

void TEditWindow::closeEvent(QCloseEvent* event) {
    // The window goes when its last file is closed; closing it asks to close
    // each file in turn.
    event->ignore();
    const QList<EditorDocument*> documents = documents_;
    for (EditorDocument* document : documents) {
        emit CloseRequested(document);
        if (documents_.contains(document)) {
            return;
        }
    }
}

} // namespace workbench
