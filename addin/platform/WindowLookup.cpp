#include "WindowLookup.h"

#include <QApplication>
#include <QWidget>

namespace kestrel {

QWidget* FindTopLevelWindow(const char* className) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return nullptr;
    }
    const QLatin1String wanted(className);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        // The class name without its namespace, as the window system knows it.
        QLatin1String name(widget->metaObject()->className());
        if (const qsizetype colon = QString(name).lastIndexOf(QLatin1String("::")); colon >= 0) {
            name = name.sliced(colon + 2);
        }
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
            return widget;
        }
    }
    return nullptr;
}

void FocusWindow(QWidget* window) {
    window->activateWindow();
    window->setFocus(Qt::OtherFocusReason);
}

} // namespace kestrel
