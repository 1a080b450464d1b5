#include "OpenDocuments.h"

#include "DiskSync.h"
#include "EditWindowPlace.h"
#include "FileReading.h"
#include "RecoveryBar.h"
#include "RecoveryOffer.h"
#include "RecoveryStore.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>

namespace workbench {

OpenDocuments::OpenDocuments(QMainWindow& owner)
    : QObject(&owner), owner_(&owner), diskSync_(new DiskSync(*this, this)),
      recovery_(new RecoveryStore(RecoveryStore::DefaultFolder(), this)) {}

OpenDocuments::~OpenDocuments() {
    for (EditorDocument* document : documents_) {
        if (editWindow_) {
            editWindow_->RemoveDocument(document);
        }
    }
    qDeleteAll(documents_); // their editors with them
    documents_.clear();
    delete editWindow_;
}

EditorDocument* OpenDocuments::FindDocument(const QString& path) const {
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

EditorDocument* OpenDocuments::CurrentDocument() const {
    return editWindow_ ? editWindow_->CurrentDocument() : nullptr;
}

CodeEditor* OpenDocuments::CurrentEditor() const {
    EditorDocument* document = CurrentDocument();
    return document ? document->Editor() : nullptr;
}

EditorDocument* OpenDocuments::OpenFile(const QString& path, bool report) {
    if (EditorDocument* open = FindDocument(path)) {
        editWindow_->SetCurrentDocument(open);
        return open;
    }
    kestrel::FileStatus status;
    EditorDocument* document = LoadDocument(path, report, status);
    if (document == nullptr) {
        if (report && !status.Cancelled()) {
            QMessageBox::warning(owner_, tr("Open"),
                                 tr("Cannot open %1: %2").arg(path, MessageOf(status)));
        }
        return nullptr;
    }
    AddDocument(document);
    if (document->IsReadOnly() && report) {
        QMessageBox::information(editWindow_, tr("Open"),
                                 tr("%1 holds characters that this editor cannot write back "
                                    "exactly; it is opened read-only.")
                                     .arg(path));
    }
    return document;
}

EditorDocument* OpenDocuments::OpenRecovered(const QString& path, std::string_view fileBytes,
                                             const FileStamp& base) {
    if (FindDocument(path)) {
        return nullptr;
    }
    EditorDocument* document = EditorDocument::Recovered(path, fileBytes, base, this);
    AddDocument(document);
    return document;
}

void OpenDocuments::OfferRecovery() {
    workbench::OfferRecovery(
        owner_, *recovery_,
        [this](const QString& path, std::string_view bytes, const FileStamp& base) {
            return OpenRecovered(path, bytes, base) != nullptr;
        });
}

void OpenDocuments::AddDocument(EditorDocument* document) {
    if (!editWindow_) {
        editWindow_ = new TEditWindow(owner_);
        connect(editWindow_, &TEditWindow::CloseRequested, this,
                [this](EditorDocument* d) { CloseDocument(d); });
        connect(editWindow_, &QWidget::windowTitleChanged, this, &OpenDocuments::DocumentsChanged);
        PlaceEditWindow();
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
    emit DocumentsChanged();
}

void OpenDocuments::PlaceEditWindow() {
    // The main window's frame tells how much the window manager adds around
    // a window.
    const QSize margins = owner_->frameGeometry().size() - owner_->size();
    const QRect place = EditWindowPlace(owner_->frameGeometry(), editWindow_->size() + margins,
                                        owner_->screen()->availableGeometry());
    editWindow_->resize(place.size() - margins);
    editWindow_->move(place.topLeft());
}

bool OpenDocuments::SaveDocument(EditorDocument* document, const QString& path) {
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
    QString note;
    if (const kestrel::FileStatus saved = document->Save(target, asUtf8, &note); !saved) {
        QMessageBox::critical(owner_, tr("Save"),
                              tr("Cannot save %1: %2").arg(target, MessageOf(saved)));
        return false;
    }
    ShowFileNote(note);
    diskSync_->Saved(document, previousPath);
    return true;
}

void OpenDocuments::SaveAs() {
    EditorDocument* document = CurrentDocument();
    if (document == nullptr) {
        return;
    }
    const QString path = QFileDialog::getSaveFileName(owner_, tr("Save As"), document->Path(),
                                                      tr("Pascal sources (*.pas *.pp *.dpr);;"
                                                         "All files (*)"));
    if (!path.isEmpty() && SaveDocument(document, path)) {
        editWindow_->SetCurrentDocument(document);
    }
}

bool OpenDocuments::CloseDocument(EditorDocument* document) {
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
    emit DocumentsChanged();
    return true;
}

bool OpenDocuments::CloseAll() {
    const QList<EditorDocument*> documents = documents_;
    for (EditorDocument* document : documents) {
        if (!CloseDocument(document)) {
            return false;
        }
    }
    return true;
}

} // namespace workbench
