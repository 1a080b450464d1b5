#include "AddInHost.h"

#include "HostObjects.h"
#include "LibraryCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <dlfcn.h>
#include <exception>

namespace workbench {

namespace {

// The registration callback carries no context: the expert being
// registered is caught here by the load in progress.
kestrel::TIExpert* registering = nullptr;

bool RegisterExpert(kestrel::TIExpert* expert) {
    registering = expert;
    return true;
}

} // namespace

QString DefaultAddInPath() {
    const QDir dir(QCoreApplication::applicationDirPath());
    // Beside the program, then in the build tree, then where it is installed.
    for (const QString& candidate :
         {QStringLiteral("libkestrel0017.so"), QStringLiteral("../addin/libkestrel0017.so"),
          QStringLiteral(KESTREL_ADDIN_DIR_FROM_BIN "/libkestrel0017.so")}) {
        if (QFile::exists(dir.filePath(candidate))) {
            return QDir::cleanPath(dir.filePath(candidate));
        }
    }
    return dir.filePath(QStringLiteral("libkestrel0017.so"));
}

AddInHost::~AddInHost() {
    Shutdown();
}

bool AddInHost::Load(const QString& path, HostServices* services, QString& error) {
    if (const QString refusal = CheckLibrary(path); !refusal.isEmpty()) {
        error = QStringLiteral("%1: %2").arg(path, refusal);
        return false;
    }
    handle_ = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        error = QString::fromLocal8Bit(dlerror());
        return false;
    }
    kestrel::TExpertInitProc entry = nullptr;
    for (const auto& [name, version] :
         {std::pair{"INITEXPERT0017", kestrel::kInterfaceVersion0017},
          std::pair{"INITEXPERT0016", kestrel::kInterfaceVersion0016}}) {
        entry = reinterpret_cast<kestrel::TExpertInitProc>(dlsym(handle_, name));
        if (entry != nullptr) {
            entryName_ = name;
            interfaceVersion_ = version;
            break;
        }
    }
    if (entry == nullptr) {
        error = QObject::tr("%1 is not an add-in: it has no INITEXPERT0017 or INITEXPERT0016 "
                            "entry point")
                    .arg(path);
        return false;
    }
    services->SetInterfaceVersion(interfaceVersion_);
    registering = nullptr;
    bool entered = false;
    try {
        entered = entry(services, &RegisterExpert, &terminate_);
    } catch (const std::exception& e) {
        error = QObject::tr("The add-in failed while loading: %1").arg(e.what());
        return false;
    } catch (...) {
        error = QObject::tr("The add-in failed while loading");
        return false;
    }
    expert_ = std::exchange(registering, nullptr);
    if (!entered) {
        error = QObject::tr("The add-in declined to load");
        if (expert_ != nullptr) {
            expert_->Release();
            expert_ = nullptr;
        }
        return false;
    }
    return true;
}

void AddInHost::Shutdown() {
    if (expert_ != nullptr) {
        std::exchange(expert_, nullptr)->Release();
    }
    if (terminate_ != nullptr) {
        std::exchange(terminate_, nullptr)();
    }
    // The library stays mapped: windows and code of the add-in may still be
    // referenced by Qt until the process ends.
}

} // namespace workbench
