#include "TEditWindow.h"

#include <QCloseEvent>
#include <QStatusBar>

namespace workbench {

TEditWindow::TEditWindow(QWidget* owner)
    : QMainWindow(owner, Qt::Window), tabs_(new QTabWidget(this)), position_(new QLabel(this)),
      encoding_(new QLabel(this)) {
    setObjectName("EditWindow_0");
    setWindowTitle(tr("Code Editor"));
    tabs_->setTabsClosable(true);
    tabs_->setDocumentMode(true);
    setCentralWidget(tabs_);
    statusBar()->addWidget(position_);
    statusBar()->addPermanentWidget(encoding_);
    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        UpdateStatus();
        emit CurrentChanged();
    });
    connect(tabs_, &QTabWidget::tabCloseRequested, this,
            [this](int index) { emit CloseRequested(documents_.value(index)); });
    resize(760, 560);
}

void TEditWindow::AddDocument(EditorDocument* document) {
    documents_ << document;
    tabs_->addTab(document->Editor(), document->DisplayName());
    connect(document->Editor(), &CodeEditor::CursorMoved, this, [this, document] {
        if (document == CurrentDocument()) {
            UpdateStatus();
        }
    });
    connect(document, &EditorDocument::ModifiedChanged, this,
            [this, document] { UpdateTabTitle(document); });
    SetCurrentDocument(document);
}

void TEditWindow::RemoveDocument(EditorDocument* document) {
    const int index = static_cast<int>(documents_.indexOf(document));
    if (index < 0) {
        return;
    }
    documents_.removeAt(index);
    tabs_->removeTab(index);
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
}

void TEditWindow::UpdateStatus() {
    EditorDocument* document = CurrentDocument();
    if (document == nullptr || document->Editor() == nullptr) {
        position_->clear();
        encoding_->clear();
        return;
    }
    position_->setText(tr("Line %1, Col %2")
                           .arg(document->Editor()->CursorLine())
                           .arg(document->Editor()->CursorColumn()));
    QString encoding =
        document->Encoding() == kestrel::TextEncoding::Utf8 ? "UTF-8" : "Windows-1252";
    if (document->Editor()->isReadOnly()) {
        encoding += tr(", read-only");
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
