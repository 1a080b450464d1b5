#pragma once

#include "SourceMarks.h"
#include "SourceScanState.h"

#include <cstring>
#include <limits>
#include <string>

namespace kestrel {

// Reads the next logical line: brace comments are left out of the text, and
// a line whose comment text contains "{//*" comes back with that comment
// text in front of it. Returns the empty text, with AtEnd set, at the end of
// the buffer; characters of an unfinished last line are dropped.
std::string ReadSourceLine(SourceScanState& state);

// The same, into `text`, whose storage is reused from line to line.
void ReadSourceLine(SourceScanState& state, std::string& text);

// What the reader keeps between lines.
namespace read_source_line {

// Scratch grown beyond this by one huge line is not kept for the rest of the
// program.
inline constexpr size_t kKeptScratch = 1 << 20;

// Scratch storage for the two texts, kept from line to line so that a line
// costs one allocation: its result.
struct Scratch {
    char* data = nullptr;
    size_t capacity = 0;
    Scratch() = default;
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    ~Scratch() { delete[] data; }
};

struct Grown {
    char* data;
    size_t capacity;
};

// Doubles a scratch buffer; the old one is freed only once the new one
// exists. Takes and returns plain values so the caller's buffer state can
// stay in registers across the reader's calls.
[[gnu::noinline]] inline Grown Grow(char* data, size_t size, size_t capacity) {
    const size_t newCapacity = capacity == 0 ? 256 : capacity * 2;
    char* newData = new char[newCapacity];
    if (size != 0) {
        std::memcpy(newData, data, size);
    }
    delete[] data;
    return {newData, newCapacity};
}

} // namespace read_source_line

// The same from `reader` rather than state.Reader: anything with a
// character source's GetText, which is asked for one character per call.
// Given the editor host's reader itself, each character costs one call
// into the host rather than two.
template <class Reader>
void ReadSourceLine(Reader& reader, SourceScanState& state, std::string& text) {
    thread_local read_source_line::Scratch lineScratch;
    thread_local read_source_line::Scratch commentScratch;

    // The state and both texts live in locals for the loop and are written
    // back on every way out.
    int32_t position = state.Position;
    bool inComment = state.InComment;
    char* line = lineScratch.data;
    size_t lineCapacity = lineScratch.capacity;
    size_t lineSize = 0;
    char* comment = commentScratch.data;
    size_t commentCapacity = commentScratch.capacity;
    size_t commentSize = 0;

    // Scratch grown by one huge line is not kept for the rest of the
    // program.
    const auto keep = [](read_source_line::Scratch& scratch, char* data, size_t capacity) {
        if (capacity > read_source_line::kKeptScratch) {
            delete[] data;
            data = nullptr;
            capacity = 0;
        }
        scratch.data = data;
        scratch.capacity = capacity;
    };
    // Writes the state back; the texts must have been used by then.
    const auto finish = [&](bool atEnd) {
        state.Position = position;
        state.InComment = inComment;
        state.AtEnd = atEnd;
        keep(lineScratch, line, lineCapacity);
        keep(commentScratch, comment, commentCapacity);
    };
    const auto append = [](char*& data, size_t& size, size_t& capacity, char c) {
        if (size == capacity) [[unlikely]] {
            const read_source_line::Grown grown = read_source_line::Grow(data, size, capacity);
            data = grown.data;
            capacity = grown.capacity;
        }
        data[size++] = c;
    };

    // One character from the reader; false at the end of the buffer, when
    // the reader fails, or when no further offset can be addressed.
    const auto fetch = [&](char& c) {
        if (position == std::numeric_limits<int32_t>::max()) [[unlikely]] {
            return false;
        }
        bool taken = false;
        try {
            taken = reader.GetText(position, &c, 1) == 1;
        } catch (...) {
            taken = false;
        }
        ++position;
        return taken;
    };
    const auto lineDone = [&] {
        if (!inComment) {
            lineSize = lineSize < 2 ? 0 : lineSize - 2; // the line's CR LF
        }
        const std::string_view lineText(line, lineSize);
        const std::string_view commentText(comment, commentSize);
        if (commentText.find(kBookmarkPrefix) == std::string_view::npos) {
            text.assign(lineText);
        } else {
            text.assign(commentText);
            text.append(lineText);
        }
        finish(false);
    };

    try {
        append(comment, commentSize, commentCapacity, '{');
        char c = 0;
        for (;;) {
            // Outside a comment: characters go to the line text, braces
            // nowhere.
            while (!inComment) {
                if (!fetch(c)) [[unlikely]] {
                    finish(true);
                    text.clear();
                    return;
                }
                if (c == '{') {
                    inComment = true;
                } else if (c != '}') {
                    append(line, lineSize, lineCapacity, c);
                    if (c == '\n') [[unlikely]] {
                        lineDone();
                        return;
                    }
                }
            }
            // Inside a comment: every character goes to the comment text, and
            // the first closing brace ends the comment.
            while (inComment) {
                if (!fetch(c)) [[unlikely]] {
                    finish(true);
                    text.clear();
                    return;
                }
                append(comment, commentSize, commentCapacity, c);
                if (c == '}') {
                    inComment = false;
                } else if (c == '\n') [[unlikely]] {
                    lineDone();
                    return;
                }
            }
        }
    } catch (...) {
        // Running out of memory while a text grows ends the scan like the
        // end of the buffer does.
        finish(true);
        text.clear();
    }
}

} // namespace kestrel
