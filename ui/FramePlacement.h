#pragma once

#include <QMargins>
#include <QObject>
#include <functional>

class QWidget;

namespace kestrel {

// Keeps a top-level window where it was placed, frame included, once the
// window manager has framed it. Qt sizes a window by its client area; the
// frame that the window manager adds is known only after the first showing.
// Until then the frame of the window framed last stands in, and `place` runs
// again with the real frame as soon as the window system reports it.
class FramePlacement : public QObject {
public:
    // `place` puts the window where it belongs, given the frame's size.
    using Place = std::function<void(const QMargins& frame)>;

    FramePlacement(QWidget* window, Place place);

    // Places the window with the best frame known now: its own once the
    // window manager has framed it, else the one framed last.
    void Apply();

    // The window's own frame when it is known, else the one framed last.
    QMargins Frame() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    Place place_;
    QMargins assumed_; // the frame the window was last placed for
    bool framed_ = false;
};

} // namespace kestrel
