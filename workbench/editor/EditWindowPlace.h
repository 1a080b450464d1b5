#pragma once

#include <QRect>

namespace workbench {

// Where the code editor window's frame goes, given the main window's frame
// and the screen's available area: wholly on the screen and clear of the
// main window, so that neither hides the other. Below the main window when
// there is room, else above it, else on the side with more room, shortened
// to fit; only when the screen is too small for any of these does it overlap.
QRect EditWindowPlace(const QRect& ownerFrame, const QSize& wanted, const QRect& available);

} // namespace workbench
