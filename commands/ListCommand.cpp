#include "AddInApplication.h"
#include "CurrentFile.h"
#include "EditHeaderExpert.h"
#include "EditorRefs.h"
#include "HostReaderSource.h"
#include "HostRef.h"
#include "HourGlass.h"
#include "ProcList.h"
#include "ToolServices.h"
#include "WindowLookup.h"

#include <memory>

namespace kestrel {

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
        const EditorRefs refs = OpenEditor(ToolServices, *name);
        if (!refs) {
            return;
        }
        HostRef<TIEditReader> reader(refs.editor->CreateReader());
        if (!reader) {
            return;
        }
        form = std::make_unique<TfrmProc>(AddInApplication::Instance().OwnerWindow());
        form->LoadSource(HostReaderSource(reader.Get()));
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
