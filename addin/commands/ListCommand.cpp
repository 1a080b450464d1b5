#include "ListCommand.h"

#include "AddInApplication.h"
#include "CurrentFile.h"
#include "EditorRefs.h"
#include "HostRef.h"
#include "HourGlass.h"
#include "ProcList.h"
#include "WindowLookup.h"

#include <memory>

namespace kestrel {

int32_t ChooseSymbolLine(TIToolServices* services) {
    QWidget* editWindow = FindTopLevelWindow("TeditWindow");
    if (editWindow == nullptr) {
        return 0;
    }
    FocusWindow(editWindow);
    if (services == nullptr) {
        return 0;
    }
    const std::optional<std::string> name = AcceptCurrentFile(services);
    if (!name) {
        return 0;
    }

    std::unique_ptr<TfrmProc> form;
    {
        HourGlass hourGlass;
        const EditorRefs refs = OpenEditor(services, *name);
        if (!refs) {
            return 0;
        }
        HostRef<TIEditReader> reader(refs.editor->CreateReader());
        if (!reader) {
            return 0;
        }
        form = std::make_unique<TfrmProc>(AddInApplication::Instance().OwnerWindow());
        // Read straight from the host, one character per call.
        form->LoadSource(*reader.Get());
        // The reader, the editor and the module are given back here, in
        // that order, before the window is shown.
    }

    const int result = form->exec();
    return result > 0 ? result : 0;
}

} // namespace kestrel
