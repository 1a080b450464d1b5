#pragma once

#include "CharacterSource.h"

#include <cstdint>
#include <string>

namespace kestrel {

// Where the bookmark marker goes for a cursor: the walk's result.
struct EditorWalk {
    bool reached = false;
    // One past the insertion offset: the writer copies up to offset - 1.
    int32_t offset = 0;
    // Blanks that fill the gap when the cursor stands beyond its line's end.
    std::string blanks;
};

// Walks the buffer from its start, one character per read, counting lines
// and columns (a tab is one column, lines end in CR LF), to the cursor at
// `line` and `column`. A cursor at or after the end of its line is reached
// at the line's CR, with the blanks between. The position just after the
// buffer's last character counts as reached when the cursor stands on the
// buffer's last line at or beyond it; a cursor past the last line, or a
// line or column below 1, is not reached; so is any place when a read
// fails.
EditorWalk SeekEditorPos(CharacterSource& reader, int32_t line, int32_t column);

} // namespace kestrel
