#include "SaveJournalFolder.h"

#include <QStandardPaths>

namespace workbench {

QString SaveJournalFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return data.isEmpty() ? QString() : data + "/saves";
}

} // namespace workbench
