#pragma once

#include "TextEncoding.h"

#include <QString>
#include <cstddef>
#include <string>
#include <string_view>

namespace workbench {

// Converts between a host buffer's bytes (CR LF line ends) and the text the
// code editor holds: UTF-8 with the same CR LF line ends, so that for most
// files the two are the same bytes and no copy is made. Two mappings remain,
// for what the editor cannot hold as it is:
// - a CR that ends no line: the editor takes every CR for a line end, so it
//   is held as the private-use stand-in U+F80D and shown as "CR";
// - Windows-1252 text: the editor holds UTF-8 only, so each byte is held as
//   the character it stands for.

// True when `bytes` need one of the mappings; false when the buffer's bytes
// are the editor's text.
bool NeedsDisplayMapping(std::string_view bytes, kestrel::TextEncoding encoding);
std::string DisplayFromBytes(std::string_view bytes, kestrel::TextEncoding encoding);
// The buffer for the editor's text. Line ends that the editor may hold
// besides CR LF (a lone CR or LF pasted in) become CR LF, as the editor shows
// them as line breaks; a character that Windows-1252 has no byte for becomes
// '?' (saving asks first, see FirstUnencodable).
std::string BytesFromDisplay(std::string_view text, kestrel::TextEncoding encoding);

// Whether `text` is in the buffer's own form (valid UTF-8, every line end
// CR LF, no stand-in for a lone CR), so that it is the buffer's bytes
// themselves.
bool InBufferForm(std::string_view text);
// The same judged on the stretch [from, to) of `text` and the bytes that
// join it on either side: enough after an edit of text that was in that
// form before, when the stretch covers every byte the edit inserted and
// every place it deleted from.
bool StretchInBufferForm(std::string_view text, size_t from, size_t to);

// The UTF-8 text of the stand-in for a lone CR, for the editor to draw.
std::string_view LoneCarriageReturnStandIn();

// Host byte columns against offsets into one line of the editor's text
// (line end excluded). A column inside a character stops at its start; a
// column past the line's end gives the line's length and the columns beyond.
struct LineOffset {
    size_t offset = 0;
    int beyond = 0;
};
LineOffset DisplayOffsetForByteColumn(std::string_view line, int byteColumn,
                                      kestrel::TextEncoding encoding);
int ByteColumnForDisplayOffset(std::string_view line, size_t offset,
                               kestrel::TextEncoding encoding);

// True when the editor's text gives back exactly `bytes`: false for buffers
// that hold U+F80D, the stand-in for a lone CR, as a real one could not be
// told apart from it.
bool RoundTrips(std::string_view bytes, kestrel::TextEncoding encoding);

// The offset of the first character of the editor's `text` that `encoding`
// has no byte for, or npos; `character` gets it.
size_t FirstUnencodable(std::string_view text, kestrel::TextEncoding encoding,
                        QString* character = nullptr);

} // namespace workbench
