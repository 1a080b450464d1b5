#include "DisplayText.h"

#include <algorithm>
#include <cstring>

using kestrel::TextEncoding;

namespace workbench {

namespace {

constexpr char32_t kLoneCarriageReturn = 0xF80D;
constexpr char kStandIn[] = "\xEF\xA0\x8D"; // U+F80D in UTF-8

size_t Utf8Length(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xF0) {
        return 4;
    }
    if (lead >= 0xE0) {
        return 3;
    }
    return lead >= 0xC0 ? 2 : 1;
}

// The code point at `at` (valid UTF-8 assumed, as the editor holds), and its
// length.
char32_t DecodeAt(std::string_view text, size_t at, size_t& length) {
    const auto lead = static_cast<unsigned char>(text[at]);
    length = std::min(Utf8Length(lead), text.size() - at);
    if (length == 1) {
        return lead;
    }
    char32_t c = lead & (0xFF >> (length + 1));
    for (size_t i = 1; i < length; ++i) {
        c = (c << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    return c;
}

bool IsStandInAt(std::string_view text, size_t at) {
    return text.compare(at, 3, kStandIn) == 0;
}

// The host bytes of the editor's character at `at`, whose UTF-8 length is
// `length`.
int HostLength(std::string_view line, size_t at, size_t length, TextEncoding encoding) {
    if (encoding == TextEncoding::Windows1252 || (length == 3 && IsStandInAt(line, at))) {
        return 1;
    }
    return static_cast<int>(length);
}

} // namespace

std::string_view LoneCarriageReturnStandIn() {
    return kStandIn;
}

bool NeedsDisplayMapping(std::string_view bytes, TextEncoding encoding) {
    if (encoding == TextEncoding::Windows1252) {
        return true;
    }
    for (const char *p = bytes.data(), *end = p + bytes.size();
         (p = static_cast<const char*>(std::memchr(p, '\r', end - p))) != nullptr; ++p) {
        if (p + 1 == end || p[1] != '\n') {
            return true;
        }
    }
    return false;
}

std::string DisplayFromBytes(std::string_view bytes, TextEncoding encoding) {
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 16);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) {
            text += kStandIn;
        } else if (encoding == TextEncoding::Windows1252 && static_cast<unsigned char>(c) >= 0x80) {
            kestrel::AppendUtf8(text, kestrel::Windows1252ToUnicode(static_cast<unsigned char>(c)));
        } else {
            text.push_back(c);
        }
    }
    return text;
}

std::string BytesFromDisplay(std::string_view text, TextEncoding encoding) {
    // One pass straight into bytes, runs of plain bytes copied whole: this
    // runs for every reader and writer the host hands out after an edit.
    std::string bytes;
    bytes.reserve(text.size());
    size_t run = 0; // start of the plain bytes not copied yet
    const auto flush = [&](size_t upTo) { bytes.append(text.data() + run, upTo - run); };
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i; // CR LF stays as it is
                continue;
            }
            flush(i);
            bytes += "\r\n";
            run = i + 1;
        } else if (c == '\n') {
            flush(i);
            bytes += "\r\n";
            run = i + 1;
        } else if (c >= 0x80) {
            size_t length = 0;
            const char32_t code = DecodeAt(text, i, length);
            if (code == kLoneCarriageReturn) {
                flush(i);
                bytes.push_back('\r');
                run = i + length;
            } else if (encoding == TextEncoding::Windows1252) {
                flush(i);
                const int b = kestrel::UnicodeToWindows1252(code);
                bytes.push_back(static_cast<char>(b < 0 ? '?' : b));
                run = i + length;
            }
            i += length - 1;
        }
    }
    flush(text.size());
    return bytes;
}

namespace {

// True when `text` holds no lone CR, no lone LF and no stand-in. A CR at its
// end is lone only when `endsText`, an LF at its start only when
// `startsText`: otherwise `text` is part of a longer one, and their partners
// lie outside it.
bool BufferForm(std::string_view text, bool startsText, bool endsText) {
    if (text.find(kStandIn) != std::string_view::npos) {
        return false;
    }
    for (const char *p = text.data(), *end = p + text.size();
         (p = static_cast<const char*>(std::memchr(p, '\r', end - p))) != nullptr; ++p) {
        if (p + 1 == end ? endsText : p[1] != '\n') {
            return false;
        }
    }
    for (const char *p = text.data(), *end = p + text.size();
         (p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr; ++p) {
        if (p == text.data() ? startsText : p[-1] != '\r') {
            return false;
        }
    }
    return true;
}

} // namespace

bool InBufferForm(std::string_view text) {
    return BufferForm(text, true, true) && kestrel::IsValidUtf8(text);
}

bool StretchInBufferForm(std::string_view text, size_t from, size_t to) {
    // Two bytes each side hold every pair and every stand-in that a byte
    // of the stretch can be part of.
    to = std::min(to, text.size());
    from = std::min(from, to);
    const size_t start = from < 2 ? 0 : from - 2;
    const size_t end = std::min(text.size(), to + 2);
    if (!BufferForm(text.substr(start, end - start), start == 0, end == text.size())) {
        return false;
    }
    // The add-in's writer may put in bytes that are not UTF-8, which a copy
    // would mend: the characters the stretch touches must be whole. They
    // reach from the one before it to the end of the one it ends in.
    const auto continues = [&text](size_t at) {
        return (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
    };
    size_t first = from == 0 ? 0 : from - 1;
    for (int back = 0; back < 3 && first > 0 && continues(first); ++back) {
        --first;
    }
    size_t last = to;
    while (last < text.size() && continues(last)) {
        ++last;
    }
    return kestrel::IsValidUtf8(text.substr(first, last - first));
}

LineOffset DisplayOffsetForByteColumn(std::string_view line, int byteColumn,
                                      TextEncoding encoding) {
    int bytes = 0;
    size_t at = 0;
    while (at < line.size()) {
        const size_t length =
            std::min(Utf8Length(static_cast<unsigned char>(line[at])), line.size() - at);
        const int host = HostLength(line, at, length, encoding);
        if (bytes + host > byteColumn) {
            return {at, 0};
        }
        bytes += host;
        at += length;
    }
    return {at, byteColumn - bytes};
}

int ByteColumnForDisplayOffset(std::string_view line, size_t offset, TextEncoding encoding) {
    int bytes = 0;
    for (size_t at = 0; at < offset && at < line.size();) {
        const size_t length =
            std::min(Utf8Length(static_cast<unsigned char>(line[at])), line.size() - at);
        bytes += HostLength(line, at, length, encoding);
        at += length;
    }
    return bytes;
}

bool RoundTrips(std::string_view bytes, TextEncoding encoding) {
    // Every Windows-1252 byte maps below U+2200, so only UTF-8 text can
    // hold the stand-in.
    if (encoding != TextEncoding::Utf8) {
        return true;
    }
    return bytes.find(kStandIn) == std::string_view::npos;
}

size_t FirstUnencodable(std::string_view text, TextEncoding encoding, QString* character) {
    if (encoding != TextEncoding::Windows1252) {
        return std::string_view::npos;
    }
    for (size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        size_t length = 0;
        const char32_t c = DecodeAt(text, i, length);
        if (c != kLoneCarriageReturn && kestrel::UnicodeToWindows1252(c) < 0) {
            if (character) {
                *character = QString::fromUtf8(text.data() + i, static_cast<qsizetype>(length));
            }
            return i;
        }
        i += length;
    }
    return std::string_view::npos;
}

} // namespace workbench
