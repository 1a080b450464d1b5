#pragma once

#include <QLabel>
#include <QToolBar>

namespace workbench {

// The bar over the code editor that says unsaved changes are not safe from
// a crash: their recovery copies cannot be written. It stays until they can.
class RecoveryBar : public QToolBar {
    Q_OBJECT

public:
    explicit RecoveryBar(QWidget* parent = nullptr);

    // Shows the bar with why the copies fail.
    void ShowFailure(const QString& why);
    QString Text() const { return message_->text(); }

private:
    QLabel* message_;
};

} // namespace workbench
