#include "TextLineReader.h"

#include "SourceMarks.h"

#include <algorithm>

namespace kestrel {

void TextLineReader::Reset(std::string_view fileBytes) {
    StripByteOrderMark(fileBytes);
    position_ = fileBytes.data();
    end_ = position_ + fileBytes.size();
    inComment_ = false;
}

// The general case, from the first brace or LF of the line (`hit`): the line
// text gathers the runs outside comments, the comment text starts as "{"
// and gathers every character inside them, closing braces included; the
// brace that opens a comment goes to neither. (Runs are appended by length:
// appending a pair of pointers goes through the string's general replace.)
bool TextLineReader::NextWithBraces(std::string_view& text, const char* hit) {
    const char* const lineStart = position_;
    line_.clear();
    comment_.assign(1, '{');
    bool inComment = inComment_;
    // The comment text can hold the bookmark prefix only at one of its
    // '{': the one it starts with, or one met inside a comment, from which
    // the prefix's bytes (no brace, CR or LF among them) run on as they stand
    // in the file. So each is looked at here, which spares a search.
    bool prefixInside = false;
    const char* run = lineStart;
    for (;; hit = FindBraceOrLineFeed(hit + 1, end_)) {
        if (hit == end_) {
            // The end of the bytes: an unfinished line is dropped.
            position_ = end_;
            inComment_ = inComment;
            mayHoldBrace_ = false;
            text = {};
            return false;
        }
        const char c = *hit;
        if (inComment) {
            if (c == '{') {
                // No nesting: an ordinary comment character.
                prefixInside =
                    prefixInside || std::string_view(hit, static_cast<size_t>(end_ - hit))
                                        .starts_with(kBookmarkPrefix);
                continue;
            }
            if (c == '}') {
                comment_.append(run, static_cast<size_t>(hit + 1 - run));
                inComment = false;
                run = hit + 1;
                continue;
            }
            // The line ends inside the comment: its CR LF goes to the
            // comment text and the line text is returned whole.
            comment_.append(run, static_cast<size_t>(hit - run));
            if (hit == lineStart || hit[-1] != '\r') {
                comment_ += '\r';
            }
            comment_ += '\n';
            break;
        }
        if (c == '\n') {
            const bool carriageReturn = hit != run && hit[-1] == '\r';
            line_.append(run, static_cast<size_t>((carriageReturn ? hit - 1 : hit) - run));
            break;
        }
        line_.append(run, static_cast<size_t>(hit - run));
        inComment = c == '{';
        run = hit + 1;
    }
    position_ = hit + 1;
    inComment_ = inComment;
    mayHoldBrace_ = prefixInside || comment_.starts_with(kBookmarkPrefix);
    if (mayHoldBrace_) {
        comment_ += line_;
        text = comment_;
    } else {
        text = line_;
    }
    return true;
}

// A line wholly inside a comment: its text is empty, and its comment text
// ("{" and the line) is wanted only where it opens with the bookmark prefix.
// The comment goes on to the next line.
bool TextLineReader::NextInComment(std::string_view& text, const char* hit) {
    const std::string_view line(position_, static_cast<size_t>(hit - position_));
    if (line.starts_with(kBookmarkPrefix.substr(1))) {
        return NextWithBraces(text, hit);
    }
    text = {};
    position_ = hit + 1;
    mayHoldBrace_ = false;
    return true;
}

uint64_t CountLines(std::string_view fileBytes) {
    return static_cast<uint64_t>(std::count(fileBytes.begin(), fileBytes.end(), '\n')) + 1;
}

} // namespace kestrel
