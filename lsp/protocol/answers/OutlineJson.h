#pragma once

#include "documents/TextDocument.h"
#include "features/Outline.h"

#include <memory>
#include <string>
#include <vector>

namespace kestrel::lsp {

// An outline's `DocumentSymbol[]` answer, with where each entry's ranges
// stand in its text. A large unit's answer is megabytes; after an edit most
// of it is as it was, so an answer for the same tree with some entries on
// other lines, or placed elsewhere on a few lines, copies the unchanged runs
// and writes only the ranges of those entries.
class OutlineJson {
public:
    OutlineJson() = default;
    OutlineJson(const std::vector<OutlineSymbol>& outline, const TextDocument& document,
                PositionEncoding encoding);

    // Shared, so that an answer given again is not copied.
    const std::shared_ptr<const std::string>& Json() const { return json_; }
    bool IsEmpty() const { return !json_ || json_->empty(); }

    // The answer for `outline`, the tree this one was written from with the
    // same entries in the same order, after a change that left the text of
    // every line it moved an entry to as that entry's line was: only the
    // entries now on another line, and those on lines [first, last) (placed
    // anew on lines whose text changed), have new ranges. False, and the
    // answer emptied, when the tree has other entries: the caller writes
    // the answer anew from a tree made anew (the one given may hold entries
    // whose bytes no longer stand).
    bool Rewrite(const std::vector<OutlineSymbol>& outline, const TextDocument& document,
                 int64_t first, int64_t last);

private:
    // Where an entry's `range` and `selectionRange` stand in the text,
    // [at, end), and what they say; both ranges lie on `line`, the first
    // from character 0.
    struct Ranges {
        size_t at = 0;
        size_t end = 0;
        int64_t line = 0;
        int64_t lineEnd = 0;
        int64_t selectionStart = 0;
        int64_t selectionEnd = 0;
    };
    void Append(std::string& out, const std::vector<OutlineSymbol>& symbols,
                const TextDocument& document);
    Ranges RangesOf(const OutlineSymbol& symbol, const TextDocument& document) const;

    std::shared_ptr<const std::string> json_;
    std::vector<Ranges> ranges_; // in the order the entries stand in the text
    PositionEncoding encoding_ = PositionEncoding::Utf16;
};

} // namespace kestrel::lsp
