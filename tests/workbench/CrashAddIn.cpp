// An add-in built only for tests. Once the workbench has opened its files,
// it types into the current one through the host's writer. With
// KESTREL_TEST_CRASH set to "segv" or "abort", it then runs a command of its
// own that writes again and crashes in that way. With "second", it runs a
// command that writes, and once that is in the recovery copy on disk, one
// that writes three times and crashes. With "save", it replaces
// the whole text by what it types, saves it and ends the workbench (a test
// stops the process somewhere in that save).
#include "HostRef.h"
#include "HostString.h"
#include "ToolsApi.h"

#include <QAction>
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <string_view>

using namespace kestrel;

namespace {

TIToolServices* services = nullptr;

void Type(const char* text) {
    HostString file(services->GetCurrentFile());
    HostRef<TIModuleInterface> module(services->GetModuleInterface(file.Str().c_str()));
    if (!module) {
        return;
    }
    HostRef<TIEditorInterface> editor(module->GetEditorInterface());
    HostRef<TIEditWriter> writer(editor->CreateWriter());
    writer->CopyTo(0);
    writer->Insert(text);
}

// A real bad access, kept out of the sanitizers' sight so that the signal
// itself arrives.
__attribute__((no_sanitize("address", "undefined"))) void Crash() {
    if (std::string_view(std::getenv("KESTREL_TEST_CRASH")) == "abort") {
        std::abort();
    }
    volatile uintptr_t nowhere = 8;
    *reinterpret_cast<volatile int*>(nowhere) = 1;
}

// Triggers the workbench's menu command of that name.
void Trigger(const char* name) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* command = window->findChild<QAction*>(name)) {
            command->trigger();
            return;
        }
    }
}

void CrashCommand(void* /*data*/, TIMenuItemIntf* /*sender*/) {
    Type("{written by the command}");
    if (std::string_view(std::getenv("KESTREL_TEST_CRASH")) == "second") {
        Type("{again}");
        Type("{once more}");
    }
    Crash();
}

void WriteCommand(void* /*data*/, TIMenuItemIntf* /*sender*/) {
    Type("{first command}");
}

} // namespace

extern "C" __attribute__((visibility("default"))) bool
INITEXPERT0017(TIToolServices* toolServices, TExpertRegisterProc /*registerProc*/,
               TExpertTerminateProc* terminate) {
    services = toolServices;
    *terminate = nullptr;
    HostRef<TIMainMenuIntf> menu(services->GetMainMenu());
    HostRef<TIMenuItemIntf> search(menu->FindMenuItem("SearchSymbolItem"));
    HostRef<TIMenuItemIntf> parent(search->GetParent());
    HostRef<TIMenuItemIntf> item(
        parent->InsertItem(search->GetIndex() + 1, "Crash", "CrashTestItem", "", 0, 0, 0,
                           mfEnabled | mfVisible, {&CrashCommand, nullptr}));
    HostRef<TIMenuItemIntf> write(
        parent->InsertItem(search->GetIndex() + 1, "Write", "WriteTestItem", "", 0, 0, 0,
                           mfEnabled | mfVisible, {&WriteCommand, nullptr}));
    QTimer::singleShot(0, qApp, [] {
        const char* crash = std::getenv("KESTREL_TEST_CRASH");
        const bool save = crash != nullptr && std::string_view(crash) == "save";
        if (save) {
            Trigger("EditSelectAllItem");
            Trigger("EditCutItem");
        }
        Type("{typed before}");
        if (save) {
            Trigger("FileSaveItem");
            QApplication::quit();
        } else if (crash != nullptr && std::string_view(crash) == "second") {
            // The second command runs once the first one's copy is on disk.
            Trigger("WriteTestItem");
            QTimer::singleShot(3000, qApp, [] { Trigger("CrashTestItem"); });
        } else if (crash != nullptr) {
            Trigger("CrashTestItem");
        }
    });
    return true;
}
