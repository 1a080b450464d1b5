#include "features/BookmarkEdits.h"

#include "SourceMarks.h"

namespace kestrel::lsp {

namespace {

// Whether a brace comment is open at `offset`, by the scanner's rule: "{"
// opens one, the next "}" closes it, and comments do not nest.
bool InCommentAt(std::string_view text, size_t offset) {
    bool inComment = false;
    size_t at = 0;
    for (;;) {
        at = text.find(inComment ? '}' : '{', at);
        if (at == std::string_view::npos || at >= offset) {
            return inComment;
        }
        inComment = !inComment;
        ++at;
    }
}

} // namespace

std::optional<TextEdit> InsertBookmarkEdit(const TextDocument& document, TextPosition cursor,
                                           PositionEncoding encoding) {
    if (cursor.line < 0 || cursor.line >= document.LineCount() || cursor.character < 0) {
        return std::nullopt;
    }
    const int64_t lineLength =
        document.CharacterOf(cursor.line, document.LineEnd(cursor.line), encoding);
    if (cursor.character <= lineLength) {
        const TextPosition at = document.PositionOf(document.OffsetOf(cursor, encoding), encoding);
        return TextEdit{{at, at}, kBookmarkMarker};
    }
    const TextPosition end{cursor.line, lineLength};
    return TextEdit{{end, end},
                    std::string(static_cast<size_t>(cursor.character - lineLength), ' ') +
                        kBookmarkMarker};
}

std::vector<TextEdit> RemoveBookmarkEdits(const TextDocument& document, int64_t line,
                                          PositionEncoding encoding) {
    std::vector<TextEdit> edits;
    if (line < 0 || line >= document.LineCount()) {
        return edits;
    }
    const std::string_view text = document.Text();
    const size_t lineEnd = document.LineEnd(line);
    size_t at = document.LineStart(line);
    if (InCommentAt(text, at)) {
        // A comment opened on an earlier line runs on: skip past its end.
        at = text.find('}', at);
        at = at == std::string_view::npos ? lineEnd : at + 1;
    }
    while (at < lineEnd) {
        const size_t open = text.find('{', at);
        if (open == std::string_view::npos || open >= lineEnd) {
            break;
        }
        const size_t close = text.find('}', open + 1);
        if (close == std::string_view::npos) {
            break; // never closed: there is no end to delete up to
        }
        const std::string_view onLine = text.substr(open, std::min(close + 1, lineEnd) - open);
        if (onLine.find(kBookmarkPrefix) != std::string_view::npos) {
            edits.push_back(
                {{document.PositionOf(open, encoding), document.PositionOf(close + 1, encoding)},
                 {}});
        }
        at = close + 1;
    }
    return edits;
}

} // namespace kestrel::lsp
