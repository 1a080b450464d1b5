// The add-in's only exported symbol: the host calls it once after loading
// the library.
#include "AddInApplication.h"
#include "EditHeaderExpert.h"
#include "ToolServices.h"

namespace kestrel {

TIToolServices* ToolServices = nullptr;

namespace {

bool InitExpert(TIToolServices* toolServices, TExpertRegisterProc registerProc,
                TExpertTerminateProc* terminate) {
    if (ToolServices != nullptr) {
        return false;
    }
    // Without a host there is no menu to join and nothing to edit: such a
    // call registers nothing and leaves the add-in ready for a real host.
    if (toolServices == nullptr) {
        return false;
    }
    ToolServices = toolServices;
    AddInApplication::Instance().SetOwnerWindow(toolServices->GetParentHandle());
    if (terminate != nullptr) {
        *terminate = nullptr;
    }
    auto* expert = new TEditHeaderExpert();
    if (registerProc != nullptr) {
        registerProc(expert);
    } else {
        expert->Release(); // nobody to hand it to
    }
    return true;
}

} // namespace
} // namespace kestrel

#define KESTREL_ENTRY_NAME_(v) INITEXPERT00##v
#define KESTREL_ENTRY_NAME(v) KESTREL_ENTRY_NAME_(v)

extern "C" __attribute__((visibility("default"))) bool
KESTREL_ENTRY_NAME(KESTREL_INTERFACE_VERSION)(kestrel::TIToolServices* toolServices,
                                              kestrel::TExpertRegisterProc registerProc,
                                              kestrel::TExpertTerminateProc* terminate) {
    return kestrel::InitExpert(toolServices, registerProc, terminate);
}
