#pragma once

#include <QString>

namespace kestrel {

// A plain message: no icon, one OK button, owned by the host's main window.
void ShowMessage(const QString& text);

// An error: caption "Error", the error icon, one OK button.
void ShowError(const QString& text);

} // namespace kestrel
