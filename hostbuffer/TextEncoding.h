#pragma once

#include "Utf8.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrel {

// How a file's bytes are turned into Unicode for display and output.
enum class TextEncoding { Utf8, Windows1252 };

bool IsValidUtf8(std::string_view bytes);

// UTF-8 where the bytes are valid UTF-8, else Windows-1252.
TextEncoding DetectEncoding(std::string_view bytes);

// The Unicode code point of a Windows-1252 byte. The five bytes the code page
// leaves undefined map to the C1 control of the same value, so every byte has
// a code point and the mapping can be reversed exactly.
char32_t Windows1252ToUnicode(unsigned char byte);

// The byte for a code point, or -1 where Windows-1252 has none.
int UnicodeToWindows1252(char32_t codePoint);

// Bytes in `encoding` as UTF-8. Invalid UTF-8 sequences (possible only in
// texts cut out of a file) become U+FFFD.
std::string ToUtf8(std::string_view bytes, TextEncoding encoding);

// Appends UTF-8 text as a JSON string literal: quote, backslash and control
// characters escaped, everything else as it is.
void AppendJsonString(std::string& out, std::string_view utf8);

// Appends the JSON escape of an ASCII byte that can't stand in a string as it
// is: quote, backslash or a control character.
void AppendJsonEscape(std::string& out, unsigned char c);

// The longest escape AppendJsonEscape gives: "\u00XX".
inline constexpr size_t kLongestJsonEscape = 6;

// The same escape written at `p`, which has room for kLongestJsonEscape
// bytes; gives the end of what it wrote.
char* WriteJsonEscape(char* p, unsigned char c);

} // namespace kestrel
