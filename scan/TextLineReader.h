#pragma once

#include "FindBraceOrLineFeed.h"

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

namespace kestrel {

// Reads the logical lines of a file's bytes held in memory: exactly the
// texts that ReadSourceLine gives, one call per character, on the editor
// host's buffer of those bytes (byte-order mark left out, a CR before every
// bare LF). Works a run of bytes at a time, returns lines without braces as
// views into the bytes, and builds the others in storage it keeps, so a scan
// allocates nothing once that storage has grown. Offsets are not limited to
// 32 bits.
class TextLineReader {
public:
    TextLineReader() = default;
    explicit TextLineReader(std::string_view fileBytes) { Reset(fileBytes); }

    // Starts a new scan of `fileBytes` (not owned), keeping the storage.
    void Reset(std::string_view fileBytes);
    // Goes on from `at`, the start of a line after the first that a scan of
    // `fileBytes` reached inside a { } comment or not, as `inComment` says.
    void Resume(std::string_view fileBytes, size_t at, bool inComment) {
        position_ = fileBytes.data() + at;
        end_ = fileBytes.data() + fileBytes.size();
        inComment_ = inComment;
    }

    // The next line, valid until the next call. At the end of the bytes it
    // gives the empty text and false, and the characters of an unfinished
    // last line are dropped.
    bool Next(std::string_view& text) {
        const char* const hit = FindBraceOrLineFeed(position_, end_);
        if (hit == end_ || *hit != '\n') {
            return NextWithBraces(text, hit);
        }
        if (inComment_) {
            return NextInComment(text, hit);
        }
        // Most lines: no brace and no open comment, so the text is the line
        // as it stands, without its CR LF (the host's CR before a bare LF
        // included).
        const char* const lineEnd = (hit != position_ && hit[-1] == '\r') ? hit - 1 : hit;
        text = std::string_view(position_, static_cast<size_t>(lineEnd - position_));
        position_ = hit + 1;
        mayHoldBrace_ = false;
        return true;
    }

    // Inside a { } comment at the start of the next line.
    bool InComment() const { return inComment_; }

    // Whether the text Next gave last may hold a '{'. Only a line whose
    // comments hold the bookmark prefix can: its text starts with them.
    bool LastTextMayHoldBrace() const { return mayHoldBrace_; }

private:
    bool NextWithBraces(std::string_view& text, const char* hit);
    // A line with no brace inside a comment, up to its LF at `hit`.
    bool NextInComment(std::string_view& text, const char* hit);

    const char* position_ = nullptr;
    const char* end_ = nullptr;
    bool inComment_ = false;
    bool mayHoldBrace_ = false;
    std::string line_;
    std::string comment_;
};

// Hands each line of `reader`'s bytes, numbered from 1, to `onLine`, and
// last the empty text of the end, as ScanLines does for a character source.
// Stops after line 2,147,483,647, the last that a line number can hold;
// callers that must not lose rows refuse such files first
// (CountLines).
template <class OnLine> void ScanLines(TextLineReader& reader, OnLine&& onLine) {
    std::string_view text;
    int32_t line = 0;
    bool more = true;
    while (more && line < std::numeric_limits<int32_t>::max()) {
        more = reader.Next(text);
        onLine(std::as_const(text), ++line);
    }
}

// How many numbers ScanLines gives out for `fileBytes`: one per LF, and one
// for the end.
uint64_t CountLines(std::string_view fileBytes);

} // namespace kestrel
