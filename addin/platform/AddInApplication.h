#pragma once

#include "ToolsApi.h"

#include <QPointer>
#include <QWidget>

namespace kestrel {

// The add-in's application object: it knows the host's main window, which
// owns every window and message box of the add-in.
class AddInApplication {
public:
    static AddInApplication& Instance();

    // Takes the host's main window by its handle; an unknown handle leaves
    // the add-in's windows without an owner.
    void SetOwnerWindow(WindowHandle handle);
    QWidget* OwnerWindow() const { return owner_.data(); }

private:
    QPointer<QWidget> owner_;
};

} // namespace kestrel
