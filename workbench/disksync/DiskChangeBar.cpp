#include "DiskChangeBar.h"

#include <QStyle>

namespace workbench {

DiskChangeBar::DiskChangeBar(QWidget* parent)
    : QToolBar(parent), message_(new QLabel(this)), reload_(new QAction(tr("&Reload"), this)),
      overwrite_(new QAction(this)), later_(new QAction(tr("&Later"), this)) {
    setObjectName("DiskChangeBar");
    setMovable(false);
    setFloatable(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    toggleViewAction()->setVisible(false);
    message_->setTextFormat(Qt::PlainText);
    message_->setContentsMargins(6, 0, 6, 0);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(16, 16));
    addWidget(icon);
    addWidget(message_);
    reload_->setObjectName("DiskReloadAction");
    reload_->setToolTip(tr("Show the file as it is on disk; your edits stay in Undo."));
    overwrite_->setObjectName("DiskOverwriteAction");
    later_->setObjectName("DiskLaterAction");
    later_->setToolTip(tr("Keep editing; saving will ask before replacing the file."));
    addAction(reload_);
    addAction(overwrite_);
    addAction(later_);
    hide();
}

void DiskChangeBar::ShowChanged(const QString& name) {
    Show(tr("%1 has been changed by another program.").arg(name), true, tr("&Overwrite"));
    overwrite_->setToolTip(tr("Save your text over the other program's changes."));
}

void DiskChangeBar::ShowUnreadable(const QString& name, const QString& error) {
    Show(tr("%1 has been changed by another program and cannot be read: %2").arg(name, error),
         false, tr("&Overwrite"));
    overwrite_->setToolTip(tr("Save your text over the file."));
}

void DiskChangeBar::ShowDeleted(const QString& name) {
    Show(tr("%1 has been deleted by another program. Saving writes it again.").arg(name), false,
         tr("&Save"));
    overwrite_->setToolTip(tr("Write the file again with your text."));
}

void DiskChangeBar::Show(const QString& text, bool canReload, const QString& saveText) {
    message_->setText(text);
    reload_->setVisible(canReload);
    overwrite_->setText(saveText);
    show();
}

} // namespace workbench
