#include "SeekEditorPos.h"

#include <limits>

namespace kestrel {

EditorWalk SeekEditorPos(CharacterSource& reader, int32_t line, int32_t column) {
    EditorWalk walk;
    if (line < 1 || column < 1) {
        return walk;
    }
    constexpr int32_t kLastOffset = std::numeric_limits<int32_t>::max();
    int32_t lineCounter = 1;
    // The lines above the target: only their line feeds count. This runs
    // once per character of everything above the cursor, so it does the
    // least per character; reaching the end or a failing reader here
    // reaches no place.
    while (lineCounter < line) {
        char c = 0;
        if (walk.offset == kLastOffset) {
            return walk;
        }
        try {
            if (reader.GetText(walk.offset, &c, 1) != 1) {
                return walk;
            }
        } catch (...) {
            return walk;
        }
        ++walk.offset;
        lineCounter += c == '\n' ? 1 : 0;
    }
    int32_t columnCounter = 0;
    while (!walk.reached) {
        char c = 0;
        bool atEnd = walk.offset == kLastOffset;
        if (!atEnd) {
            try {
                atEnd = reader.GetText(walk.offset, &c, 1) != 1;
            } catch (...) {
                // A reader that fails tells nothing of where the buffer
                // ends: no place is reached.
                return walk;
            }
        }
        if (atEnd) {
            // The end of the buffer is column columnCounter + 1 of the last
            // line: the cursor there or to its right still gets its marker,
            // appended at the end.
            if (lineCounter == line && column > columnCounter) {
                walk.blanks.assign(static_cast<size_t>(column - columnCounter - 1), ' ');
                ++walk.offset;
                walk.reached = true;
            }
            return walk;
        }
        ++walk.offset;
        ++columnCounter;
        if (lineCounter == line && columnCounter == column) {
            walk.reached = true;
        }
        if (c == '\n') {
            ++lineCounter;
            if (lineCounter > line) {
                --walk.offset;
                const int64_t gap = int64_t{column} - columnCounter + 1;
                if (gap > 0) {
                    walk.blanks.append(static_cast<size_t>(gap), ' ');
                }
                walk.reached = true;
            }
            columnCounter = 0;
        }
    }
    return walk;
}

} // namespace kestrel
