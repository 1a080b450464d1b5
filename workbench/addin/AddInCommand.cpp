#include "AddInCommand.h"

#include "OpenDocuments.h"
#include "RecoveryStore.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

namespace workbench {

void RunAddInCommand(OpenDocuments& documents, const std::function<void()>& command) {
    const RecoveryStore::CrashGuard crashGuard(documents.Recovery());
    QString failure;
    try {
        command();
        return;
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    } catch (...) {
        failure = QObject::tr("an unknown error");
    }
    QApplication::restoreOverrideCursor();
    QMessageBox::critical(documents.Owner(), QObject::tr("Add-in error"),
                          QObject::tr("The add-in's command failed: %1").arg(failure));
}

} // namespace workbench
