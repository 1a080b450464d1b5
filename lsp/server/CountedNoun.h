#pragma once

#include <cstdint>
#include <string>

namespace kestrel::lsp {

// "1 file", "2 files".
inline std::string CountedNoun(int64_t count, const char* singular, const char* plural) {
    return std::to_string(count) + ' ' + (count == 1 ? singular : plural);
}

} // namespace kestrel::lsp
