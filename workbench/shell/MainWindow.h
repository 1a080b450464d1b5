#pragma once

#include "AddInHost.h"
#include "HostObjects.h"
#include "OpenDocuments.h"

#include <QLabel>
#include <QMainWindow>

namespace workbench {

class EditorFocusReturn;

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

    OpenDocuments& Documents() const { return *documents_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void OpenWithDialog();
    // Asks for the text unless `next` and there is one; searches onwards or
    // back, round the end.
    void Find(bool next, bool forward = true);
    void GoToLine();
    void GoToBookmark(bool next);
    // A search that went round the end says so in the code editor's status
    // bar, so that the user knows the rest was seen already.
    void SayWrapped(CodeEditor::SearchHit hit, bool forward);
    // The text in the window: what is open, or what to do first.
    void UpdateHint();

    OpenDocuments* documents_;
    EditorFocusReturn* focusReturn_ = nullptr;
    HostServices* services_;
    AddInHost addIn_;
    QString lastFind_;
    QLabel* hint_ = nullptr;
};

} // namespace workbench
