#include "AddInApplication.h"

#include <QApplication>

namespace kestrel {

AddInApplication& AddInApplication::Instance() {
    static AddInApplication application;
    return application;
}

void AddInApplication::SetOwnerWindow(WindowHandle handle) {
    // Window handles mean something only inside a running GUI application.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr || handle == 0) {
        owner_.clear();
        return;
    }
    owner_ = QWidget::find(static_cast<WId>(handle));
}

} // namespace kestrel
