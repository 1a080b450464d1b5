#pragma once

#include "AddInHost.h"
#include "EditorDocument.h"
#include "HostObjects.h"
#include "RecoveryStore.h"
#include "TEditWindow.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>

namespace workbench {

class DiskSync;

// The stand-in IDE's main window: the menu bar, the open files, the code
// editor window, and the add-in with the host services it is given.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Loads an add-in; a message box reports failure unless `quiet`.
    bool LoadAddIn(const QString& path, QString* error = nullptr, bool quiet = false);
    AddInHost& AddIns() { return addIn_; }
    HostServices* Services() const { return services_; }
    DiskSync& Disk() const { return *diskSync_; }
    RecoveryStore& Recovery() const { return *recovery_; }

    // Opens `path` (or shows it when it is open already); a message box
    // reports failure when `report`.
    EditorDocument* OpenFile(const QString& path, bool report = true);
    // Opens a recovery copy as a modified document; null when its file is
    // open already.
    EditorDocument* OpenRecovered(const RecoveryStore::Copy& copy);
    EditorDocument* FindDocument(const QString& path) const;
    EditorDocument* CurrentDocument() const;
    TEditWindow* EditWindow() const { return editWindow_; }
    // Closes a file, asking first when it has unsaved changes; false when
    // the user keeps it open.
    bool CloseDocument(EditorDocument* document);
    bool SaveDocument(EditorDocument* document, const QString& path = {});

    // Files larger than this ask before they are opened.
    void SetLargeFileLimit(int64_t bytes) { largeFileLimit_ = bytes; }

    QAction* FindMenuAction(const QString& objectName) const;
    // The menu (or the menu bar) that holds `action`.
    QWidget* MenuContaining(QAction* action) const;

    // Runs an add-in's command; an exception that leaves it is shown and the
    // workbench goes on.
    void RunAddInCommand(const std::function<void()>& command);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void AddDocument(EditorDocument* document);
    void OpenWithDialog();
    void SaveAs();
    void Find(bool next);
    void GoToLine();
    CodeEditor* CurrentEditor() const;
    // Opening and saving safely (MainWindowFiles.cpp).
    EditorDocument* LoadDocument(const QString& path, bool report, QString& error, bool& cancelled);
    bool ConfirmSave(EditorDocument* document, const QString& target, bool& asUtf8);
    void ShowFileNote(const QString& note);

    HostServices* services_;
    DiskSync* diskSync_;
    RecoveryStore* recovery_;
    AddInHost addIn_;
    QPointer<TEditWindow> editWindow_;
    QList<EditorDocument*> documents_;
    QString lastFind_;
    int64_t largeFileLimit_ = int64_t{256} << 20;
};

} // namespace workbench
