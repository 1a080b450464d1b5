#pragma once

#include "protocol/Protocol.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::lsp {

// UTF-16 code units of UTF-8 text, which the protocol counts columns in by
// default: one per sequence, two for the four-byte ones that lie beyond the
// Basic Multilingual Plane.
int64_t Utf16Length(std::string_view utf8);

// The text of one document, UTF-8, with its lines indexed the way the
// protocol counts them (CR LF, LF and a lone CR each end a line), so that
// positions and byte offsets convert both ways.
class TextDocument {
public:
    TextDocument() { Reindex(); }
    explicit TextDocument(std::string text) : text_(std::move(text)) { Reindex(); }

    const std::string& Text() const { return text_; }
    int64_t LineCount() const { return static_cast<int64_t>(lineStarts_.size()); }
    size_t LineStart(int64_t line) const { return lineStarts_[static_cast<size_t>(line)]; }
    // The offset just after the line's text, before its line break.
    size_t LineEnd(int64_t line) const;
    std::string_view LineText(int64_t line) const;
    // Whether some line ends in a CR that no LF follows; only then do the
    // protocol's lines differ from lines counted by LF.
    bool HasLoneCarriageReturn() const { return loneCarriageReturn_; }

    // The line that holds `offset`.
    int64_t LineOf(size_t offset) const;
    TextPosition PositionOf(size_t offset, PositionEncoding encoding) const;
    // The character count of `offset` within `line` (the offset must lie on
    // that line).
    int64_t CharacterOf(int64_t line, size_t offset, PositionEncoding encoding) const;
    // The offset of a position. A line past the end gives the end of the
    // text; a character past the end of its line gives the line's end; a
    // character inside a multi-byte or surrogate pair gives its start.
    size_t OffsetOf(TextPosition position, PositionEncoding encoding) const;

    // Tells this text apart from every other text any document has held:
    // each change gives a new one, so what was worked out from a text can be
    // kept until it changes.
    uint64_t Revision() const { return revision_; }

    // Replaces the bytes [from, to) by `replacement` (offsets are clamped).
    void Replace(size_t from, size_t to, std::string_view replacement);
    void SetText(std::string text);
    // Hands the text over, for its storage to be used again; the document
    // is then empty.
    std::string TakeText();

    // What changed since the text of `revision`: bytes [start, oldEnd) of
    // that text are now [start, newEnd), the rest is as it was. Nothing when
    // that text was not this document's, or is too many changes back.
    struct Change {
        size_t start = 0;
        size_t oldEnd = 0;
        size_t newEnd = 0;
    };
    std::optional<Change> ChangeSince(uint64_t revision) const;

private:
    void Reindex();
    void NewRevision();

    std::string text_;
    std::vector<size_t> lineStarts_;
    size_t loneCarriageReturns_ = 0;
    bool loneCarriageReturn_ = false;
    uint64_t revision_ = 0;
    // The latest changes, each with the revision it was made to.
    static constexpr size_t kKeptChanges = 64;
    std::vector<std::pair<uint64_t, Change>> changes_;
};

} // namespace kestrel::lsp
