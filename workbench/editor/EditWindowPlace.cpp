#include "EditWindowPlace.h"

#include <algorithm>

namespace workbench {

namespace {

// Space between the two windows, and the editor's indent from the main
// window's left edge, so that both title bars show.
constexpr int kGap = 8;
constexpr int kIndent = 40;
// Shorter than this, an editor shows too few lines to be worth keeping
// clear of the main window.
constexpr int kMinimumHeight = 240;

} // namespace

QRect EditWindowPlace(const QRect& ownerFrame, const QSize& wanted, const QRect& available) {
    QRect place(QPoint(ownerFrame.left() + kIndent, 0),
                wanted.boundedTo(available.size()).expandedTo(QSize(1, 1)));
    // Sideways: from the main window's left edge, moved in to fit.
    place.moveRight(std::min(place.right(), available.right()));
    place.moveLeft(std::max(place.left(), available.left()));

    const int roomBelow = available.bottom() - (ownerFrame.bottom() + kGap);
    const int roomAbove = (ownerFrame.top() - kGap) - available.top();
    const int height = place.height();
    const auto below = [&](int h) {
        place.setHeight(h);
        place.moveTop(ownerFrame.bottom() + kGap + 1);
    };
    const auto above = [&](int h) {
        place.setHeight(h);
        place.moveBottom(ownerFrame.top() - kGap - 1);
    };
    const int enough = std::min(height, kMinimumHeight);
    if (roomBelow >= height) {
        below(height);
    } else if (roomAbove >= height) {
        above(height);
    } else if (roomBelow >= roomAbove && roomBelow >= enough) {
        below(roomBelow);
    } else if (roomAbove >= enough) {
        above(roomAbove);
    } else {
        // No room above or below: as far down as it fits, over the main
        // window if it must.
        place.moveBottom(std::min(ownerFrame.bottom() + kGap + height, available.bottom()));
        place.moveTop(std::max(place.top(), available.top()));
    }
    return place;
}

} // namespace workbench
