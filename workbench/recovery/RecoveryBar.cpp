#include "RecoveryBar.h"

#include <QStyle>

namespace workbench {

RecoveryBar::RecoveryBar(QWidget* parent) : QToolBar(parent), message_(new QLabel(this)) {
    setObjectName("RecoveryBar");
    setMovable(false);
    setFloatable(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    toggleViewAction()->setVisible(false);
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);
    message_->setContentsMargins(6, 0, 6, 0);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(16, 16));
    addWidget(icon);
    addWidget(message_);
    hide();
}

void RecoveryBar::ShowFailure(const QString& why) {
    message_->setText(tr("Unsaved changes are not safe from a crash. %1 Save your files, or free "
                         "some space: the workbench keeps trying.")
                          .arg(why));
    show();
}

} // namespace workbench
