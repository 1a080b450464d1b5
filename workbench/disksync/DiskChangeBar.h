#pragma once

#include <QLabel>
#include <QToolBar>

namespace workbench {

// The bar over the code editor that says the current file was changed or
// deleted by another program, and offers what can be done about it.
class DiskChangeBar : public QToolBar {
    Q_OBJECT

public:
    explicit DiskChangeBar(QWidget* parent = nullptr);

    // Another program wrote the file while it had unsaved edits here.
    void ShowChanged(const QString& name);
    // The file cannot be read any more.
    void ShowUnreadable(const QString& name, const QString& error);
    // Another program deleted the file.
    void ShowDeleted(const QString& name);

    QString Text() const { return message_->text(); }
    QAction* ReloadAction() const { return reload_; }
    QAction* OverwriteAction() const { return overwrite_; }
    QAction* LaterAction() const { return later_; }

private:
    void Show(const QString& text, bool canReload, const QString& saveText);

    QLabel* message_;
    QAction* reload_;
    QAction* overwrite_;
    QAction* later_;
};

} // namespace workbench
