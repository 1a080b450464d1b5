#include "AddInCommand.h"

#include "OpenDocuments.h"
#include "RecoveryStore.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

namespace workbench {

namespace {

// Says the command ended on every way out, after its error is shown.
class EndNotice {
public:
    explicit EndNotice(OpenDocuments& documents) : documents_(documents) {}
    ~EndNotice() { emit documents_.CommandEnded(); }
    EndNotice(const EndNotice&) = delete;
    EndNotice& operator=(const EndNotice&) = delete;

private:
    OpenDocuments& documents_;
};

} // namespace

void RunAddInCommand(OpenDocuments& documents, const std::function<void()>& command) {
    const EndNotice endNotice(documents);
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
