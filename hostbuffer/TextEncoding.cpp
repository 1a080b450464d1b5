#include "TextEncoding.h"

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrel {

namespace {

// Code points of the bytes 0x80 to 0x9F; the rest of the code page equals
// Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Length of the valid UTF-8 sequence at the start of `s`, or 0.
size_t ValidSequenceLength(std::string_view s) {
    const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const auto cont = [&](size_t i) { return i < s.size() && (b(i) & 0xC0) == 0x80; };
    const unsigned char lead = b(0);
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return cont(1) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (!cont(1) || !cont(2)) {
            return 0;
        }
        if ((lead == 0xE0 && b(1) < 0xA0) || (lead == 0xED && b(1) > 0x9F)) {
            return 0; // overlong, or a surrogate
        }
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3)) {
            return 0;
        }
        if ((lead == 0xF0 && b(1) < 0x90) || (lead == 0xF4 && b(1) > 0x8F)) {
            return 0; // overlong, or beyond U+10FFFF
        }
        return 4;
    }
    return 0;
}

// The length of the run of ASCII bytes at the start of `bytes`.
size_t AsciiPrefixLength(std::string_view bytes) {
    const char* const begin = bytes.data();
    const char* const end = begin + bytes.size();
    const char* p = begin;
#if defined(__SSE2__)
    // Sixty-four bytes at a time: a byte above ASCII has its top bit set.
    while (end - p >= 64) {
        const auto load = [p](int offset) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + offset));
        };
        const __m128i any =
            _mm_or_si128(_mm_or_si128(load(0), load(16)), _mm_or_si128(load(32), load(48)));
        if (_mm_movemask_epi8(any) != 0) {
            break;
        }
        p += 64;
    }
#endif
    while (p != end && static_cast<unsigned char>(*p) < 0x80) {
        ++p;
    }
    return static_cast<size_t>(p - begin);
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        // ASCII runs are the common case.
        i += AsciiPrefixLength(bytes.substr(i));
        if (i >= bytes.size()) {
            break;
        }
        const size_t n = ValidSequenceLength(bytes.substr(i));
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}

TextEncoding DetectEncoding(std::string_view bytes) {
    return IsValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

char32_t Windows1252ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return kHighControls[byte - 0x80];
    }
    return byte;
}

int UnicodeToWindows1252(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        return static_cast<int>(codePoint);
    }
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == codePoint) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

std::string ToUtf8(std::string_view bytes, TextEncoding encoding) {
    std::string out;
    out.reserve(bytes.size());
    if (encoding == TextEncoding::Windows1252) {
        // Mostly ASCII, which stays as it is: copied a run at a time.
        size_t i = 0;
        while (i < bytes.size()) {
            size_t ascii = i;
            while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80) {
                ++ascii;
            }
            out.append(bytes.substr(i, ascii - i));
            if (ascii < bytes.size()) {
                AppendUtf8(out, Windows1252ToUnicode(static_cast<unsigned char>(bytes[ascii])));
                ++ascii;
            }
            i = ascii;
        }
        return out;
    }
    size_t i = 0;
    while (i < bytes.size()) {
        const size_t n = ValidSequenceLength(bytes.substr(i));
        if (n == 0) {
            AppendUtf8(out, 0xFFFD);
            ++i;
        } else {
            out.append(bytes.substr(i, n));
            i += n;
        }
    }
    return out;
}

char* WriteJsonEscape(char* p, unsigned char c) {
    static constexpr char kHex[] = "0123456789abcdef";
    *p++ = '\\';
    switch (c) {
    case '"':
    case '\\':
        *p++ = static_cast<char>(c);
        break;
    case '\n':
        *p++ = 'n';
        break;
    case '\r':
        *p++ = 'r';
        break;
    case '\t':
        *p++ = 't';
        break;
    default:
        *p++ = 'u';
        *p++ = '0';
        *p++ = '0';
        *p++ = kHex[c >> 4];
        *p++ = kHex[c & 0xF];
        break;
    }
    return p;
}

void AppendJsonEscape(std::string& out, unsigned char c) {
    char escape[kLongestJsonEscape];
    out.append(escape, static_cast<size_t>(WriteJsonEscape(escape, c) - escape));
}

void AppendJsonString(std::string& out, std::string_view utf8) {
    out += '"';
    size_t plain = 0; // start of the run not yet copied
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c != '"' && c != '\\') {
            continue;
        }
        out.append(utf8.data() + plain, i - plain);
        plain = i + 1;
        AppendJsonEscape(out, c);
    }
    out.append(utf8.data() + plain, utf8.size() - plain);
    out += '"';
}

} // namespace kestrel
