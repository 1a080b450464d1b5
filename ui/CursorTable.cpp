#include "CursorTable.h"

#include <QMap>

namespace kestrel {

namespace {
QMap<int, QCursor>& Table() {
    static QMap<int, QCursor> table;
    return table;
}
} // namespace

void InstallCursor(int number, const QCursor& cursor) {
    Table().insert(number, cursor);
}

QCursor InstalledCursor(int number) {
    return Table().value(number, QCursor(Qt::ArrowCursor));
}

} // namespace kestrel
