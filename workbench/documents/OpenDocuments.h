#pragma once

#include "DiskSync.h"
#include "EditorDocument.h"
#include "FileStamp.h"
#include "ReadToEnd.h"
#include "TEditWindow.h"

#include <QList>
#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <string_view>

namespace workbench {

class RecoveryStore;

// The files open in the workbench and the code editor window that shows
// them: opening, saving and closing them safely, with their recovery copies
// and their watch on the disk. The host objects, the disk watch and the
// recovery offer reach the workbench through this object only.
class OpenDocuments : public QObject, private DiskSync::Host {
    Q_OBJECT

public:
    // `owner` is the main window: dialogs are centred on it, the code editor
    // window belongs to it, and add-ins get it as their parent window.
    explicit OpenDocuments(QMainWindow& owner);
    // Closes the code editor window; its documents go without asking.
    ~OpenDocuments() override;

    QMainWindow* Owner() const { return owner_; }
    DiskSync& Disk() const { return *diskSync_; }
    RecoveryStore& Recovery() const { return *recovery_; }

    // Opens `path` (or shows it when it is open already); a message box
    // reports failure when `report`.
    EditorDocument* OpenFile(const QString& path, bool report = true);
    // Opens unsaved text recovered for `path` as a modified document; `base`
    // describes the file the text was edited from. Null when the file is
    // open already.
    EditorDocument* OpenRecovered(const QString& path, std::string_view fileBytes,
                                  const FileStamp& base);
    EditorDocument* FindDocument(const QString& path) const;
    EditorDocument* CurrentDocument() const;
    CodeEditor* CurrentEditor() const;
    QList<EditorDocument*> Documents() const { return documents_; }
    // Null while no file is open.
    TEditWindow* EditWindow() const override { return editWindow_; }

    // Closes a file, asking first when it has unsaved changes; false when
    // the user keeps it open.
    bool CloseDocument(EditorDocument* document);
    // Closes every file; false as soon as the user keeps one open.
    bool CloseAll();
    // Saves under the document's own name, or under `path`.
    bool SaveDocument(EditorDocument* document) override { return SaveDocument(document, {}); }
    bool SaveDocument(EditorDocument* document, const QString& path);
    // Asks for a name and saves the current document under it.
    void SaveAs();

    // At start-up: offers what a workbench that died left unsaved (see
    // workbench::OfferRecovery), opening what the user recovers.
    void OfferRecovery();

    // Files larger than this ask before they are opened.
    void SetLargeFileLimit(int64_t bytes) { largeFileLimit_ = bytes; }

signals:
    // An add-in's command or File > Open has ended: whichever window it
    // started from, the code editor window takes the keyboard again.
    void CommandEnded();
    // A file was opened or closed, another became current, or the current
    // one was renamed.
    void DocumentsChanged();

private:
    void AddDocument(EditorDocument* document);
    // Where the code editor window opens the first time.
    void PlaceEditWindow();
    // Opening and saving safely (OpenDocumentsFiles.cpp).
    EditorDocument* LoadDocument(const QString& path, bool report, kestrel::FileStatus& status);
    bool ConfirmSave(EditorDocument* document, const QString& target, bool& asUtf8);
    void ShowFileNote(const QString& note);

    QMainWindow* owner_;
    DiskSync* diskSync_;
    RecoveryStore* recovery_;
    QPointer<TEditWindow> editWindow_;
    QList<EditorDocument*> documents_;
    int64_t largeFileLimit_ = static_cast<int64_t>(kestrel::kLargeFileBytes);
};

} // namespace workbench
