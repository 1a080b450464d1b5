#include "MenuTree.h"

#include <QMenu>

namespace workbench {

QAction* FindMenuAction(const QMenuBar& bar, const QString& objectName) {
    if (objectName.isEmpty()) {
        return nullptr;
    }
    QList<QAction*> pending = bar.actions();
    while (!pending.isEmpty()) {
        QAction* action = pending.takeFirst();
        if (action->objectName() == objectName) {
            return action;
        }
        if (QMenu* menu = action->menu()) {
            pending += menu->actions();
        }
    }
    return nullptr;
}

QWidget* MenuContaining(QMenuBar& bar, QAction* action) {
    if (bar.actions().contains(action)) {
        return &bar;
    }
    QList<QAction*> pending = bar.actions();
    while (!pending.isEmpty()) {
        QAction* candidate = pending.takeFirst();
        if (QMenu* menu = candidate->menu()) {
            if (menu->actions().contains(action)) {
                return menu;
            }
            pending += menu->actions();
        }
    }
    return nullptr;
}

} // namespace workbench
