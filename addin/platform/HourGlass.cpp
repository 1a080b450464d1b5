#include "HourGlass.h"

#include <QApplication>

namespace kestrel {

HourGlass::HourGlass() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        active_ = true;
    }
}

HourGlass::~HourGlass() {
    Restore();
}

void HourGlass::Restore() {
    if (active_) {
        QApplication::restoreOverrideCursor();
        active_ = false;
    }
}

} // namespace kestrel
