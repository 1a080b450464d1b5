#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrel {

// The '{', '}' and LF bytes among the 64 from `p` (fewer where `end` comes
// first), as bits: bit i for p[i]. These are the only bytes at which the
// line reader has anything to decide; keeping the bits, it finds the lines
// of a block one after another without looking at the bytes again. Sixteen
// bytes at a time where SSE2 is available (every x86-64), one at a time
// elsewhere.
inline uint64_t BraceAndLineFeedBits(const char* p, const char* end) {
    uint64_t bits = 0;
    int i = 0;
#if defined(__SSE2__)
    if (end - p >= 64) {
        const __m128i open = _mm_set1_epi8('{');
        const __m128i close = _mm_set1_epi8('}');
        const __m128i lineFeed = _mm_set1_epi8('\n');
        for (; i < 64; i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i hits = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(bytes, open), _mm_cmpeq_epi8(bytes, close)),
                _mm_cmpeq_epi8(bytes, lineFeed));
            bits |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(hits))} << i;
        }
        return bits;
    }
#endif
    for (; i < 64 && p + i != end; ++i) {
        const char c = p[i];
        if (c == '{' || c == '}' || c == '\n') {
            bits |= uint64_t{1} << i;
        }
    }
    return bits;
}

} // namespace kestrel
