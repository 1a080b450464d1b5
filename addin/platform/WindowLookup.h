#pragma once

class QWidget;

namespace kestrel {

// The first top-level window whose class name is `className`, compared
// without regard to letter case, visible or not; null when there is none.
QWidget* FindTopLevelWindow(const char* className);

// Gives `window` the keyboard focus.
void FocusWindow(QWidget* window);

} // namespace kestrel
