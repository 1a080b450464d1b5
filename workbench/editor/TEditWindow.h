#pragma once

#include "EditorDocument.h"

#include <QLabel>
#include <QMainWindow>
#include <QTabWidget>

namespace workbench {

// The code editor window: a top-level window with a tab per open file and a
// status bar with the cursor's line and column. Add-ins find it by its
// class name, "TEditWindow".
class TEditWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit TEditWindow(QWidget* owner);

    void AddDocument(EditorDocument* document);
    void RemoveDocument(EditorDocument* document);
    EditorDocument* CurrentDocument() const;
    void SetCurrentDocument(EditorDocument* document);
    // The line above the editor that says why the current file is
    // read-only; hidden when it is not.
    QLabel* ReadOnlyBanner() const { return banner_; }
    // A passing note in the status bar, such as a search that wrapped.
    void ShowNote(const QString& text);

signals:
    void CloseRequested(EditorDocument* document);
    void CurrentChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void UpdateStatus();
    void UpdateTabTitle(EditorDocument* document);
    // "name – Code Editor", with a mark while the current file is modified.
    void UpdateWindowTitle();

    QLabel* banner_;
    QTabWidget* tabs_;
    QLabel* position_;
    QLabel* encoding_;
    QList<EditorDocument*> documents_;
};

} // namespace workbench
