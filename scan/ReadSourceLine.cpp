#include "ReadSourceLine.h"

#include "SourceMarks.h"

#include <cstring>
#include <limits>

namespace kestrel {

namespace {

constexpr size_t kKeptScratch = 1 << 20;

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
[[gnu::noinline]] Grown Grow(char* data, size_t size, size_t capacity) {
    const size_t newCapacity = capacity == 0 ? 256 : capacity * 2;
    char* newData = new char[newCapacity];
    if (size != 0) {
        std::memcpy(newData, data, size);
    }
    delete[] data;
    return {newData, newCapacity};
}

} // namespace

void ReadSourceLine(SourceScanState& state, std::string& text) {
    thread_local Scratch lineScratch;
    thread_local Scratch commentScratch;

    // The state and both texts live in locals for the loop and are written
    // back on every way out.
    CharacterSource* const reader = state.Reader;
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
    const auto keep = [](Scratch& scratch, char* data, size_t capacity) {
        if (capacity > kKeptScratch) {
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
            const Grown grown = Grow(data, size, capacity);
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
            taken = reader->GetText(position, &c, 1) == 1;
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

std::string ReadSourceLine(SourceScanState& state) {
    std::string text;
    ReadSourceLine(state, text);
    return text;
}

} // namespace kestrel
