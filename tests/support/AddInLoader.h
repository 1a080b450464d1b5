#pragma once

#include "ToolsApi.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <dlfcn.h>
#include <memory>

// Loads a fresh instance of an add-in library, as a host does: dlopen, then
// the one entry point. Each load uses its own copy of the file, so every
// instance starts with its process-wide state unset.
class AddInLoader {
public:
    struct Loaded {
        void* handle = nullptr;
        kestrel::TExpertInitProc entry = nullptr;
        QString error;
    };

    Loaded Load(const QString& libraryPath, const QString& entryName) {
        Loaded loaded;
        const QString copy = dir_.filePath(QString("addin%1.so").arg(count_++));
        if (!QFile::copy(libraryPath, copy)) {
            loaded.error = "cannot copy " + libraryPath;
            return loaded;
        }
        loaded.handle = dlopen(QFile::encodeName(copy).constData(), RTLD_NOW | RTLD_LOCAL);
        if (loaded.handle == nullptr) {
            loaded.error = QString::fromLocal8Bit(dlerror());
            return loaded;
        }
        loaded.entry = reinterpret_cast<kestrel::TExpertInitProc>(
            dlsym(loaded.handle, entryName.toLatin1().constData()));
        if (loaded.entry == nullptr) {
            loaded.error = "no entry point " + entryName;
        }
        return loaded;
    }

private:
    QTemporaryDir dir_;
    int count_ = 0;
};
