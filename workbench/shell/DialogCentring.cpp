#include "DialogCentring.h"

#include "OpenDocuments.h"

#include <QApplication>
#include <QEvent>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>

namespace workbench {

DialogCentring::DialogCentring(OpenDocuments& documents, QWidget& mainWindow)
    : QObject(&mainWindow), documents_(documents), mainWindow_(mainWindow) {
    qApp->installEventFilter(this);
}

DialogCentring::~DialogCentring() {
    qApp->removeEventFilter(this);
}

bool DialogCentring::eventFilter(QObject* watched, QEvent* event) {
    // The show event comes before the window is mapped: a move now is where
    // the window first appears.
    if (event->type() != QEvent::Show || (qobject_cast<QMessageBox*>(watched) == nullptr &&
                                          qobject_cast<QInputDialog*>(watched) == nullptr)) {
        return false;
    }
    auto* dialog = static_cast<QWidget*>(watched);
    QWidget* editWindow = documents_.EditWindow();
    QWidget* owner = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
    if (editWindow == nullptr || !editWindow->isVisible() ||
        (owner != &mainWindow_ && owner != editWindow)) {
        return false;
    }
    // The frame is not known before the window manager adds it; the code
    // editor window's own tells how much it adds.
    const QSize margins = editWindow->frameGeometry().size() - editWindow->size();
    QRect frame(QPoint(), dialog->size() + margins);
    frame.moveCenter(editWindow->frameGeometry().center());
    const QRect screen = editWindow->screen()->availableGeometry();
    frame.moveRight(std::min(frame.right(), screen.right()));
    frame.moveBottom(std::min(frame.bottom(), screen.bottom()));
    frame.moveLeft(std::max(frame.left(), screen.left()));
    frame.moveTop(std::max(frame.top(), screen.top()));
    dialog->move(frame.topLeft());
    return false;
}

} // namespace workbench
