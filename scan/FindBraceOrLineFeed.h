#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrel {

// The first '{', '}' or LF in [p, end), or `end` when there is none: the only
// bytes at which the line reader has anything to decide. Sixteen bytes at a
// time where SSE2 is available (every x86-64), a byte at a time elsewhere.
inline const char* FindBraceOrLineFeed(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i open = _mm_set1_epi8('{');
    const __m128i close = _mm_set1_epi8('}');
    const __m128i lineFeed = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hits =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, open), _mm_cmpeq_epi8(bytes, close)),
                         _mm_cmpeq_epi8(bytes, lineFeed));
        if (const int mask = _mm_movemask_epi8(hits)) {
            return p + __builtin_ctz(static_cast<unsigned>(mask));
        }
        p += 16;
    }
#endif
    while (p != end && *p != '{' && *p != '}' && *p != '\n') {
        ++p;
    }
    return p;
}

} // namespace kestrel
