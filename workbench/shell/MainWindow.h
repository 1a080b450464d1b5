#pragma once

#include "AddInHost.h"
#include "HostObjects.h"
#include "OpenDocuments.h"

#include <QMainWindow>

namespace workbench {

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
    void Find(bool next);
    void GoToLine();

    OpenDocuments* documents_;
    HostServices* services_;
    AddInHost addIn_;
    QString lastFind_;
};

} // namespace workbench
