#include "EditorFocusReturn.h"

#include "OpenDocuments.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace workbench {

namespace {

// How long after a modal window closed the main window's activation is
// still the window system's doing, not the user's.
constexpr int kLateActivationMs = 500;

} // namespace

EditorFocusReturn::EditorFocusReturn(OpenDocuments& documents, QWidget& mainWindow)
    : QObject(&mainWindow), documents_(documents), mainWindow_(mainWindow) {
    qApp->installEventFilter(this);
    connect(&documents_, &OpenDocuments::CommandEnded, this, &EditorFocusReturn::CommandEnded);
}

EditorFocusReturn::~EditorFocusReturn() {
    qApp->removeEventFilter(this);
}

bool EditorFocusReturn::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    QWidget* editWindow = documents_.EditWindow();
    switch (event->type()) {
    case QEvent::WindowActivate:
        if (widget == editWindow) {
            lastActivated_ = widget;
        } else if (widget == &mainWindow_) {
            if (lastActivated_ == editWindow && editWindow != nullptr &&
                sinceModalClosed_.isValid() && sinceModalClosed_.elapsed() < kLateActivationMs) {
                QTimer::singleShot(0, this, &EditorFocusReturn::ReturnToEditor);
            } else {
                lastActivated_ = widget;
            }
        }
        break;
    case QEvent::Hide:
        if (widget->isWindow() && widget->isModal() && editWindow != nullptr &&
            lastActivated_ == editWindow) {
            sinceModalClosed_.start();
            QTimer::singleShot(0, this, &EditorFocusReturn::ReturnToEditor);
        }
        break;
    default:
        break;
    }
    return false;
}

void EditorFocusReturn::CommandEnded() {
    QWidget* editWindow = documents_.EditWindow();
    if (editWindow == nullptr || !editWindow->isVisible()) {
        return;
    }
    // As if the command had started from the editor: the main window's
    // activation that the window system makes late is answered too.
    lastActivated_ = editWindow;
    sinceModalClosed_.start();
    QTimer::singleShot(0, this, &EditorFocusReturn::ReturnToEditor);
}

void EditorFocusReturn::ReturnToEditor() {
    QWidget* editWindow = documents_.EditWindow();
    // Another modal window may have opened meanwhile; it keeps the focus.
    if (editWindow == nullptr || !editWindow->isVisible() || QApplication::activeModalWidget()) {
        return;
    }
    editWindow->raise();
    editWindow->activateWindow();
    if (CodeEditor* editor = documents_.CurrentEditor()) {
        editor->setFocus(Qt::ActiveWindowFocusReason);
    }
}

} // namespace workbench
