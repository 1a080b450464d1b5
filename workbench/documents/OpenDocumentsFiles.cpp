// The questions and messages around opening and saving files:
// what cannot be opened, large files, read-only files, and characters that
// the file's encoding cannot hold.
#include "FileReading.h"
#include "OpenDocuments.h"

#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>

namespace workbench {

namespace {

// Files at least this large show their progress while they load.
constexpr int64_t kProgressFrom = int64_t{8} << 20;

// Asks with a Save button renamed `saveText` and Cancel; true for Save.
bool AskToSave(QWidget* parent, const QString& text, const QString& saveText) {
    QMessageBox box(QMessageBox::Warning, QObject::tr("Save"), text,
                    QMessageBox::Save | QMessageBox::Cancel, parent);
    box.button(QMessageBox::Save)->setText(saveText);
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Save;
}

} // namespace

EditorDocument* OpenDocuments::LoadDocument(const QString& path, bool report,
                                            kestrel::FileStatus& status) {
    const FileFacts facts = InspectFile(path);
    if (!facts.openable) {
        status = facts.openable;
        return nullptr;
    }
    if (facts.size > largeFileLimit_) {
        const QString size = QLocale().formattedDataSize(facts.size);
        if (!report ||
            QMessageBox::question(owner_, tr("Open"),
                                  tr("%1 is %2. Opening a file this large takes a long time and "
                                     "several times its size in memory. Open it anyway?")
                                      .arg(path, size),
                                  QMessageBox::Open | QMessageBox::Cancel,
                                  QMessageBox::Cancel) != QMessageBox::Open) {
            const std::string why = tr("the file is %1, more than the editor opens without asking")
                                        .arg(size)
                                        .toStdString();
            status = report ? kestrel::FileStatus::Cancel(why) : kestrel::FileStatus::Failure(why);
            return nullptr;
        }
    }
    if (!report || facts.size < kProgressFrom) {
        return EditorDocument::Load(path, status, this);
    }
    // Qt's text document keeps a block per line; a file of millions of
    // lines takes a while, so show how far it got and let the user stop.
    QProgressDialog progress(tr("Opening %1...").arg(path), tr("Cancel"), 0, 1000, owner_);
    progress.setWindowTitle(tr("Open"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    return EditorDocument::Load(path, status, this, [&](int permille) {
        progress.setValue(permille);
        return !progress.wasCanceled();
    });
}

bool OpenDocuments::ConfirmSave(EditorDocument* document, const QString& target, bool& asUtf8) {
    asUtf8 = false;
    const bool overItself = target == document->Path();
    if (overItself && document->IsReadOnly()) {
        if (AskToSave(editWindow_,
                      tr("%1 holds characters that this editor cannot write back exactly, so "
                         "it is not saved over. Save the text under another name?")
                          .arg(document->DisplayName()),
                      tr("Save As..."))) {
            SaveAs();
        }
        return false;
    }
    const FileFacts facts = InspectFile(target);
    if (facts.openable && facts.readOnlyOnDisk &&
        !AskToSave(editWindow_, tr("%1 is read-only on disk. Save over it anyway?").arg(target),
                   tr("Save Anyway"))) {
        return false;
    }
    if (const auto unencodable = document->FirstUnencodable()) {
        if (!AskToSave(editWindow_,
                       tr("%1 is a Windows-1252 file, which has no byte for \"%2\" (line %3, "
                          "column %4). Save it as UTF-8 instead? Everything else stays as it "
                          "was.")
                           .arg(document->DisplayName(), unencodable->character)
                           .arg(unencodable->line)
                           .arg(unencodable->column),
                       tr("Save as UTF-8"))) {
            document->Editor()->SetCursorLineColumn(unencodable->line, unencodable->column);
            return false;
        }
        asUtf8 = true;
    }
    return true;
}

void OpenDocuments::ShowFileNote(const QString& note) {
    if (!note.isEmpty() && editWindow_) {
        editWindow_->statusBar()->showMessage(note, 15000);
    }
}

} // namespace workbench
