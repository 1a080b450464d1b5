#pragma once

#include <QCursor>

namespace kestrel {

// The program's table of cursors by number, shared by every window.
void InstallCursor(int number, const QCursor& cursor);
// The cursor installed under `number`, or the arrow.
QCursor InstalledCursor(int number);

} // namespace kestrel
