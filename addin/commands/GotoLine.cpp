#include "GotoLine.h"

#include "EditorRefs.h"
#include "EditorView.h"
#include "HostRef.h"
#include "HostString.h"
#include "WindowLookup.h"

namespace kestrel {

void GotoLine(TIToolServices* services, int32_t line) {
    if (services == nullptr || FindTopLevelWindow("TeditWindow") == nullptr) {
        return;
    }
    const std::string name = HostString(services->GetCurrentFile()).Str();
    const EditorRefs refs = OpenEditor(services, name);
    if (!refs) {
        return;
    }
    HostRef<TIEditView> view(refs.editor->GetView(0));
    if (!view) {
        return;
    }
    EditorPos position{};
    position.Col = 1;
    position.Line = line;
    // The cursor first, then the top of the view.
    PositionsOf(view.Get())->SetPos(0, position);
    PositionsOf(view.Get())->SetPos(1, position);
}

} // namespace kestrel
