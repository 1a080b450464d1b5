#pragma once

// Files for tests: written into a temporary folder, read back whole.

#include <QFile>
#include <QTemporaryDir>

namespace testing {

// Writes `bytes` to `name` in `dir`; the path, or an empty one on failure.
inline QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        return {};
    }
    return path;
}

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace testing
