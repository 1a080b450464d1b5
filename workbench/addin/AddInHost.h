#pragma once

#include "ToolsApi.h"

#include <QString>

namespace workbench {

class HostServices;

// Loads an add-in library through its entry point and holds the expert it
// registers until the host shuts down.
class AddInHost {
public:
    AddInHost() = default;
    AddInHost(const AddInHost&) = delete;
    AddInHost& operator=(const AddInHost&) = delete;
    ~AddInHost();

    // Loads `path`; on failure returns false and says why in `error`. The
    // services' interface version follows the entry point found.
    bool Load(const QString& path, HostServices* services, QString& error);
    // Releases the expert and runs the add-in's termination procedure.
    void Shutdown();

    kestrel::TIExpert* Expert() const { return expert_; }
    // "INITEXPERT0017" or "INITEXPERT0016".
    const QString& EntryName() const { return entryName_; }

private:
    void* handle_ = nullptr;
    kestrel::TIExpert* expert_ = nullptr;
    kestrel::TExpertTerminateProc terminate_ = nullptr;
    QString entryName_;
    int interfaceVersion_ = 0;
};

// The add-in library that sits beside the workbench: the 0017 build.
QString DefaultAddInPath();

} // namespace workbench
