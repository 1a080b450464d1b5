#include "DisplayText.h"

using kestrel::TextEncoding;

namespace workbench {

namespace {

constexpr char16_t kLoneCarriageReturn = 0xF80D;
constexpr char16_t kParagraphSeparator = 0xF829;
// Qt's text document takes these two as frame marks and turns them into
// line breaks, so text that holds them cannot be kept as it is.
constexpr char16_t kFrameStart = 0xFDD0;
constexpr char16_t kFrameEnd = 0xFDD1;

} // namespace

QString DisplayFromBytes(std::string_view bytes, TextEncoding encoding) {
    QString text;
    if (encoding == TextEncoding::Windows1252) {
        text.reserve(static_cast<qsizetype>(bytes.size()));
        for (const char c : bytes) {
            text.append(QChar(static_cast<char16_t>(
                kestrel::Windows1252ToUnicode(static_cast<unsigned char>(c)))));
        }
    } else {
        text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    // CR LF becomes the editor's line break; other CRs and U+2029 get their
    // stand-ins.
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\n') {
                out.append(u'\n');
                ++i;
            } else {
                out.append(QChar(kLoneCarriageReturn));
            }
        } else if (c == QChar::ParagraphSeparator) {
            out.append(QChar(kParagraphSeparator));
        } else {
            out.append(c);
        }
    }
    return out;
}

std::string BytesFromDisplay(const QString& text, TextEncoding encoding) {
    // One pass, straight into bytes: this runs for every reader and writer
    // the host hands out.
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.size()) + static_cast<size_t>(text.size()) / 16);
    const char16_t* p = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* const end = p + text.size();
    for (; p != end; ++p) {
        char32_t c = *p;
        if (c < 0x80) {
            if (c == u'\n') {
                bytes += "\r\n";
            } else {
                bytes.push_back(static_cast<char>(c));
            }
            continue;
        }
        if (c == QChar::ParagraphSeparator) {
            bytes += "\r\n";
            continue;
        }
        if (c == kLoneCarriageReturn) {
            bytes.push_back('\r');
            continue;
        }
        if (c == kParagraphSeparator) {
            c = QChar::ParagraphSeparator;
        }
        if (encoding == TextEncoding::Windows1252) {
            const int b = kestrel::UnicodeToWindows1252(c);
            // Saving asks first (FirstUnencodable); readers get a '?'.
            bytes.push_back(static_cast<char>(b < 0 ? '?' : b));
            continue;
        }
        if (QChar::isHighSurrogate(c) && p + 1 != end && QChar::isLowSurrogate(p[1])) {
            c = QChar::surrogateToUcs4(static_cast<char16_t>(c), p[1]);
            ++p;
        } else if (QChar::isSurrogate(c)) {
            c = 0xFFFD;
        }
        kestrel::AppendUtf8(bytes, c);
    }
    return bytes;
}

int ByteLength(QChar c, TextEncoding encoding) {
    if (c == u'\n' || c == QChar::ParagraphSeparator) {
        return 2;
    }
    if (c == QChar(kLoneCarriageReturn)) {
        return 1;
    }
    if (c == QChar(kParagraphSeparator)) {
        return encoding == TextEncoding::Utf8 ? 3 : 1;
    }
    if (encoding == TextEncoding::Windows1252) {
        return 1;
    }
    const char16_t u = c.unicode();
    if (u < 0x80) {
        return 1;
    }
    if (u < 0x800) {
        return 2;
    }
    if (QChar::isHighSurrogate(u)) {
        return 4;
    }
    if (QChar::isLowSurrogate(u)) {
        return 0;
    }
    return 3;
}

bool RoundTrips(std::string_view bytes, TextEncoding encoding) {
    // Every Windows-1252 byte maps below U+2200, so only UTF-8 text can
    // hold a reserved code point; each is three bytes starting with EF.
    if (encoding != TextEncoding::Utf8) {
        return true;
    }
    for (size_t at = bytes.find('\xEF'); at != std::string_view::npos;
         at = bytes.find('\xEF', at + 1)) {
        char32_t c = 0;
        if (at + 2 < bytes.size()) {
            c = 0xF000 | (static_cast<char32_t>(bytes[at + 1] & 0x3F) << 6) |
                static_cast<char32_t>(bytes[at + 2] & 0x3F);
        }
        if (c == kLoneCarriageReturn || c == kParagraphSeparator || c == kFrameStart ||
            c == kFrameEnd) {
            return false;
        }
    }
    return true;
}

qsizetype FirstUnencodable(const QString& text, TextEncoding encoding) {
    if (encoding != TextEncoding::Windows1252) {
        return -1;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x80 || c == kLoneCarriageReturn || c == QChar::ParagraphSeparator) {
            continue;
        }
        if (kestrel::UnicodeToWindows1252(c) < 0) {
            return i;
        }
    }
    return -1;
}

} // namespace workbench
