#pragma once

#include "EditorPos.h"
#include "ToolsApi.h"

namespace kestrel {

// The view's position operations in this build's EditorPos layout.
inline TIEditViewOf<EditorPos>* PositionsOf(TIEditView* view) {
    return static_cast<TIEditViewOf<EditorPos>*>(view);
}

} // namespace kestrel
