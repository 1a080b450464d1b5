#pragma once

#include <string>
#include <string_view>

namespace kestrel {

// A code point in simple Unicode case folding (one code point to one).
char32_t CaseFold(char32_t codePoint);

// UTF-8 text with every code point case-folded, so that names compare alike
// in any case. Bytes that are not valid UTF-8 stay as they are.
std::string CaseFoldUtf8(std::string_view utf8);

} // namespace kestrel
