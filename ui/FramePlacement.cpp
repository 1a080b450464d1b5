#include "FramePlacement.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace kestrel {

namespace {

// The frame of the window framed last; windows of one program under one
// window manager get the same frame.
QMargins& LastFrame() {
    static QMargins frame;
    return frame;
}

QMargins PlatformFrame(const QWidget* window) {
    const QWindow* handle = window->windowHandle();
    return handle != nullptr && window->isVisible() ? handle->frameMargins() : QMargins();
}

} // namespace

FramePlacement::FramePlacement(QWidget* window, Place place)
    : QObject(window), window_(window), place_(std::move(place)) {
    window_->installEventFilter(this);
}

QMargins FramePlacement::Frame() const {
    return framed_ ? PlatformFrame(window_) : LastFrame();
}

void FramePlacement::Apply() {
    assumed_ = Frame();
    place_(assumed_);
}

bool FramePlacement::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == window_ && !framed_ &&
        (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize)) {
        // The window manager reparents the window into its frame after the
        // window is mapped; the window system reports the move that brings.
        const QMargins frame = PlatformFrame(window_);
        if (!frame.isNull()) {
            framed_ = true;
            LastFrame() = frame;
            const bool managedSize = window_->isMaximized() || window_->isFullScreen();
            if (frame != assumed_ && !managedSize) {
                Apply();
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kestrel
