#include "CaseFold.h"

#include "CaseFoldTable.h"
#include "TextEncoding.h"

#include <algorithm>
#include <iterator>

namespace kestrel {

namespace {

// The code point that starts `utf8` at `i` and its length in bytes; a
// length of 0 where the bytes there are not a valid sequence.
std::pair<char32_t, size_t> DecodeUtf8(std::string_view utf8, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(utf8[k]); };
    const unsigned char lead = byte(i);
    const size_t length = lead < 0x80    ? 1
                          : lead >= 0xF0 ? 4
                          : lead >= 0xE0 ? 3
                          : lead >= 0xC0 ? 2
                                         : 0;
    if (length == 0 || i + length > utf8.size() || !IsValidUtf8(utf8.substr(i, length))) {
        return {0, 0};
    }
    char32_t codePoint = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        codePoint = codePoint << 6 | (byte(i + k) & 0x3F);
    }
    return {codePoint, length};
}

} // namespace

char32_t CaseFold(char32_t codePoint) {
    if (codePoint < 0x80) {
        return codePoint >= 'A' && codePoint <= 'Z' ? codePoint + ('a' - 'A') : codePoint;
    }
    // Runs may interleave (steps of two), so every run that starts at or
    // before the code point is a candidate.
    const auto* end =
        std::upper_bound(std::begin(kCaseFoldRuns), std::end(kCaseFoldRuns), codePoint,
                         [](char32_t c, const CaseFoldRun& run) { return c < run.first; });
    for (const auto* run = std::begin(kCaseFoldRuns); run != end; ++run) {
        if (codePoint <= run->last && (codePoint - run->first) % run->step == 0) {
            return static_cast<char32_t>(static_cast<int32_t>(codePoint) + run->delta);
        }
    }
    return codePoint;
}

std::string CaseFoldUtf8(std::string_view utf8) {
    std::string folded;
    folded.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto [codePoint, length] = DecodeUtf8(utf8, i);
        if (length == 0) {
            folded += utf8[i++];
            continue;
        }
        AppendUtf8(folded, CaseFold(codePoint));
        i += length;
    }
    return folded;
}

} // namespace kestrel
