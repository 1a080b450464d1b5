#pragma once

#include <cstdint>
#include <limits>
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
// fails. `reader` is the host's reader itself, or any character source:
// anything with their GetText, which is called once per character.
template <class Reader> EditorWalk SeekEditorPos(Reader& reader, int32_t line, int32_t column) {
    EditorWalk walk;
    if (line < 1 || column < 1) {
        return walk;
    }
    constexpr int32_t kLastOffset = std::numeric_limits<int32_t>::max();
    int32_t lineCounter = 1;
    // The lines above the target: only their line feeds count. This runs
    // once per character of everything above the cursor, so it does the
    // least per character, in locals the reader's calls cannot touch;
    // reaching the end or a failing reader here reaches no place.
    int32_t offset = 0;
    while (lineCounter < line) {
        char c = 0;
        bool read = false;
        if (offset != kLastOffset) {
            try {
                read = reader.GetText(offset, &c, 1) == 1;
            } catch (...) {
            }
        }
        if (!read) {
            walk.offset = offset;
            return walk;
        }
        ++offset;
        lineCounter += c == '\n' ? 1 : 0;
    }
    walk.offset = offset;
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
