#include "MessageBoxes.h"

#include "AddInApplication.h"

#include <QApplication>
#include <QMessageBox>

namespace kestrel {

namespace {

void Show(QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, AddInApplication::Instance().OwnerWindow());
    box.exec();
}

} // namespace

void ShowMessage(const QString& text) {
    Show(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text);
}

void ShowError(const QString& text) {
    Show(QMessageBox::Critical, QStringLiteral("Error"), text);
}

} // namespace kestrel
