#include "AddInApplication.h"
#include "CurrentFile.h"
#include "EditHeaderExpert.h"
#include "HostReaderSource.h"
#include "HostRef.h"
#include "HourGlass.h"
#include "ProcList.h"
#include "ScanLines.h"
#include "ToolServices.h"
#include "WindowLookup.h"

#include <memory>

namespace kestrel {

namespace {

// Reads the whole buffer into the window's two lists, each in one batch
// update.
void ScanInto(TfrmProc& form, TIEditReader* reader) {
    HostReaderSource source(reader);
    bool inImplementation = false;
    form.lstProc->BeginUpdate();
    form.lstShowLine->BeginUpdate();
    struct EndUpdates {
        TfrmProc& form;
        ~EndUpdates() {
            form.lstShowLine->EndUpdate();
            form.lstProc->EndUpdate();
        }
    } endUpdates{form};
    ScanLines(source, [&](const std::string& text, int32_t line) {
        form.AddSourceLine(text, line, inImplementation);
    });
}

} // namespace

void TEditHeaderExpert::memFindProcClick(TIMenuItemIntf* /*sender*/) {
    QWidget* editWindow = FindTopLevelWindow("TeditWindow");
    if (editWindow == nullptr) {
        return;
    }
    FocusWindow(editWindow);
    if (ToolServices == nullptr) {
        return;
    }
    const std::optional<std::string> name = AcceptCurrentFile(ToolServices);
    if (!name) {
        return;
    }

    std::unique_ptr<TfrmProc> form;
    {
        HourGlass hourGlass;
        HostRef<TIModuleInterface> module(ToolServices->GetModuleInterface(name->c_str()));
        if (!module) {
            return;
        }
        HostRef<TIEditorInterface> editor(module->GetEditorInterface());
        if (!editor) {
            return;
        }
        HostRef<TIEditReader> reader(editor->CreateReader());
        if (!reader) {
            return;
        }
        form = std::make_unique<TfrmProc>(AddInApplication::Instance().OwnerWindow());
        ScanInto(*form, reader.Get());
        // The reader, the editor and the module are given back here, in
        // that order, before the window is shown.
    }

    const int result = form->exec();
    form.reset();
    if (result > 0) {
        GotoProcLine(result);
    }
}

} // namespace kestrel
