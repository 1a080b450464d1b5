#pragma once

#include <string_view>

namespace workbench {

class ScintillaText;

// Gives `editor` the text `text` as one undo step that replaces only the
// stretch between the common beginning and end, so a small change on disk
// makes a small edit: quick, and the undo step stays small.
void ReplaceEditorText(ScintillaText& editor, std::string_view text);

} // namespace workbench
