#pragma once

// Recovery tests run with a data folder of their own, whoever starts them,
// under the names the workbench runs with.

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

namespace testing {

inline void UseOwnDataFolder(const QTemporaryDir& home) {
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
    QCoreApplication::setOrganizationName("Brenta");
    QCoreApplication::setApplicationName("Kestrel Workbench");
}

// Every recovery copy under `root`, in any session.
inline QStringList RecoveryCopies(const QString& root) {
    QStringList copies;
    for (const QString& session : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDir folder(root + "/" + session);
        for (const QString& copy : folder.entryList({"*.kestrel-recovery"}, QDir::Files)) {
            copies << folder.filePath(copy);
        }
    }
    return copies;
}

} // namespace testing
