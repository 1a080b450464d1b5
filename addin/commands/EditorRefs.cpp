#include "EditorRefs.h"

namespace kestrel {

EditorRefs OpenEditor(TIToolServices* services, const std::string& fileName) {
    EditorRefs refs;
    refs.module = HostRef<TIModuleInterface>(services->GetModuleInterface(fileName.c_str()));
    if (refs.module) {
        refs.editor = HostRef<TIEditorInterface>(refs.module->GetEditorInterface());
        if (!refs.editor) {
            refs.module.Reset();
        }
    }
    return refs;
}

} // namespace kestrel
