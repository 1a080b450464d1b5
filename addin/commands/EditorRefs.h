#pragma once

#include "HostRef.h"
#include "ToolsApi.h"

#include <string>

namespace kestrel {

// A file's module and its editor, each held by its guard; the editor is
// given back first.
struct EditorRefs {
    HostRef<TIModuleInterface> module;
    HostRef<TIEditorInterface> editor;

    explicit operator bool() const { return static_cast<bool>(editor); }
};

// The module and the editor of `fileName`. Holds nothing when the host
// gives either of them not.
EditorRefs OpenEditor(TIToolServices* services, const std::string& fileName);

} // namespace kestrel
