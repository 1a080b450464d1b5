#pragma once

#include "TextEncoding.h"

#include <QString>
#include <string>
#include <string_view>

namespace workbench {

// Converts between a host buffer's bytes (CR LF line ends) and the text the
// editor shows ('\n' line ends). Two characters that a plain-text document
// cannot hold as they are, a CR that ends no line and U+2029, are shown as
// private-use stand-ins, so every buffer comes back byte for byte.
QString DisplayFromBytes(std::string_view bytes, kestrel::TextEncoding encoding);
std::string BytesFromDisplay(const QString& text, kestrel::TextEncoding encoding);

// The number of buffer bytes one display character (UTF-16 unit) stands for.
// A line end ('\n') is two; the low half of a surrogate pair is 0.
int ByteLength(QChar c, kestrel::TextEncoding encoding);

// True when the display text gives back exactly `bytes`: false for buffers
// that hold a code point the display reserves (the stand-ins, and U+FDD0 and
// U+FDD1, which Qt's text document turns into line breaks).
bool RoundTrips(std::string_view bytes, kestrel::TextEncoding encoding);

// The index of the first character of `text` that `encoding` has no bytes
// for, or -1.
qsizetype FirstUnencodable(const QString& text, kestrel::TextEncoding encoding);

} // namespace workbench
