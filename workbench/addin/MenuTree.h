#pragma once

#include <QAction>
#include <QMenuBar>

namespace workbench {

// The action named `objectName` anywhere in the menu bar's tree of menus,
// breadth first; null when there is none.
QAction* FindMenuAction(const QMenuBar& bar, const QString& objectName);
// The menu (or the menu bar itself) that holds `action`.
QWidget* MenuContaining(QMenuBar& bar, QAction* action);

} // namespace workbench
