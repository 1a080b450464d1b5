#pragma once

#include "documents/TextDocument.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrel::lsp {

// Writes the bookmark marker at `cursor`, as the add-in's command does: a
// cursor beyond the end of its line gets blanks up to it first, so the
// marker begins at the cursor. Nothing for a line past the end of the text.
std::optional<TextEdit> InsertBookmarkEdit(const TextDocument& document, TextPosition cursor,
                                           PositionEncoding encoding);

// Deletes each comment that opens on `line` and carries the bookmark marker
// (`{//*}` or `{//* some text}`), through its closing brace, and nothing
// else. Empty when the line has no such comment.
std::vector<TextEdit> RemoveBookmarkEdits(const TextDocument& document, int64_t line,
                                          PositionEncoding encoding);

} // namespace kestrel::lsp
