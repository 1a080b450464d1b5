#include "RowFormatter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrel {

namespace {

#if defined(__SSE2__)
// The bytes of `v` that a JSON string cannot take as they stand, as bits:
// those below a blank or above ASCII, '"' and '\\'.
unsigned SpecialJsonBytes(__m128i v) {
    const __m128i blank = _mm_set1_epi8(' ');
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    // As signed bytes, the bytes above ASCII are below a blank too.
    const __m128i special =
        _mm_or_si128(_mm_cmplt_epi8(v, blank),
                     _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)));
    return static_cast<unsigned>(_mm_movemask_epi8(special));
}
#endif

// The length of the run at the start of `bytes` that a JSON string takes as
// it stands: printable ASCII but '"' and '\\'. Sixteen bytes at a time where
// SSE2 is available.
size_t PlainJsonRun(std::string_view bytes) {
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= bytes.size(); i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
        if (const unsigned mask = SpecialJsonBytes(v)) {
            return i + static_cast<size_t>(__builtin_ctz(mask));
        }
    }
    if (i == bytes.size()) {
        return i;
    }
    // The last few bytes go through a copy, as a read past the text's end
    // could leave its page: a byte at a time, they cost more than the rest
    // of a text as short as a row's.
    const size_t left = bytes.size() - i;
    char last[16] = {};
    std::memcpy(last, bytes.data() + i, left);
    const unsigned mask =
        SpecialJsonBytes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(last))) &
        ((1u << left) - 1);
    return mask != 0 ? i + static_cast<size_t>(__builtin_ctz(mask)) : bytes.size();
#else
    for (; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x20 || c >= 0x80 || c == '"' || c == '\\') {
            break;
        }
    }
    return i;
#endif
}

// The most bytes a byte of a text takes in a JSON string: an escape, or
// three bytes of UTF-8 for a byte above ASCII (a Windows-1252 character, or
// U+FFFD for a byte of invalid UTF-8).
constexpr size_t kMostJsonBytesPerByte = kLongestJsonEscape;

char* Write(char* p, std::string_view piece) {
    // An empty view may hold a null pointer, which memcpy must not be given
    // even for no bytes.
    if (!piece.empty()) {
        std::memcpy(p, piece.data(), piece.size());
    }
    return p + piece.size();
}

// Writes `bytes`, decoded by `encoding`, as the inside of a JSON string at
// `p`, which has room for kMostJsonBytesPerByte bytes a byte; gives the end
// of what it wrote. Runs of plain ASCII, nearly all of a Pascal source, are
// copied as they stand; the encoding is asked for only at a byte above
// ASCII.
char* WriteJsonText(char* p, std::string_view bytes, FileEncoding& encoding) {
    size_t i = 0;
    while (i < bytes.size()) {
        const size_t run = i + PlainJsonRun(bytes.substr(i));
        p = Write(p, bytes.substr(i, run - i));
        if (run == bytes.size()) {
            break;
        }
        const auto c = static_cast<unsigned char>(bytes[run]);
        i = run + 1;
        if (c < 0x80) {
            p = WriteJsonEscape(p, c);
        } else {
            // A run of bytes above ASCII.
            while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) >= 0x80) {
                ++i;
            }
            p = Write(p, ToUtf8(bytes.substr(run, i - run), encoding.Get()));
        }
    }
    return p;
}

// Makes room for `most` bytes at the end of `out` and gives where they
// start; Written then cuts `out` at the end of what was written there. One
// check for room for a whole row, not one for each of its pieces.
char* Room(std::string& out, size_t most) {
    const size_t start = out.size();
    out.resize(start + most);
    return out.data() + start;
}

void Written(std::string& out, const char* end) {
    out.resize(static_cast<size_t>(end - out.data()));
}

// Appends `bytes`, decoded by `encoding`, as a JSON string.
void AppendJsonText(std::string& out, std::string_view bytes, FileEncoding& encoding) {
    char* p = Room(out, 2 + kMostJsonBytesPerByte * bytes.size());
    *p++ = '"';
    p = WriteJsonText(p, bytes, encoding);
    *p++ = '"';
    Written(out, p);
}

void AppendBase64(std::string& out, std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i]) << 16 |
                                                 static_cast<unsigned char>(bytes[i + 1]) << 8 |
                                                 static_cast<unsigned char>(bytes[i + 2]));
        for (const int shift : {18, 12, 6, 0}) {
            out += kDigits[(v >> shift) & 63];
        }
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const uint32_t v =
            static_cast<uint32_t>(static_cast<unsigned char>(bytes[i]) << 16 |
                                  (two ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0));
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += two ? kDigits[(v >> 6) & 63] : '=';
        out += '=';
    }
}

// A cell of the table: control characters would break the alignment, so
// they show as blanks.
std::string TableCell(std::string_view bytes, TextEncoding encoding) {
    std::string text = ToUtf8(bytes, encoding);
    std::replace_if(
        text.begin(), text.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, ' ');
    return text;
}

size_t DisplayWidth(std::string_view utf8) {
    return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// The longest line number and caption: "-2147483648".
constexpr size_t kLongestNumber = 11;

constexpr size_t LongestCategoryName() {
    size_t longest = std::char_traits<char>::length(kHeaderCategory.jsonName);
    for (const CategoryInfo& info : kFilterCategories) {
        longest = std::max(longest, std::char_traits<char>::length(info.jsonName));
    }
    return longest;
}

// A row's pieces around its file member, numbers and texts.
constexpr std::string_view kRowPieces[] = {
    "{",
    "\"line\": ",
    ", \"caption\": \"",
    "\", \"category\": \"",
    "\", \"name\": \"",
    "\", \"class\": \"",
    "\", \"details\": \"",
    "\"}\n",
};

constexpr size_t RowPiecesBytes() {
    size_t bytes = 0;
    for (const std::string_view piece : kRowPieces) {
        bytes += piece.size();
    }
    return bytes;
}

// The most bytes of a row besides its file member and texts.
constexpr size_t kMostRowBytes = RowPiecesBytes() + 2 * kLongestNumber + LongestCategoryName();

} // namespace

std::string JsonFileMember(std::string_view path) {
    std::string member = "\"file\": ";
    if (IsValidUtf8(path)) {
        FileEncoding utf8(TextEncoding::Utf8);
        AppendJsonText(member, path, utf8);
    } else {
        member += "{\"bytes\": \"";
        AppendBase64(member, path);
        member += "\"}";
    }
    member += ", ";
    return member;
}

void AppendJsonRow(std::string& out, const SymbolRowView& row, FileEncoding& encoding,
                   std::string_view fileMember) {
    const size_t texts = row.name.size() + row.className.size() + row.details.size();
    char* p = Room(out, kMostRowBytes + fileMember.size() + kMostJsonBytesPerByte * texts);
    p = Write(p, kRowPieces[0]);
    p = Write(p, fileMember);
    p = Write(p, kRowPieces[1]);
    char* const digits = p;
    p = std::to_chars(digits, digits + kLongestNumber, row.line).ptr;
    const auto length = static_cast<size_t>(p - digits);
    p = Write(p, kRowPieces[2]);
    // The caption: the same digits, zero-filled to five.
    if (row.line >= 0 && length < 5) {
        p = std::fill_n(p, 5 - length, '0');
        p = Write(p, {digits, length});
    } else {
        p = Write(p, FormatLineCaption(row.line));
    }
    p = Write(p, kRowPieces[3]);
    p = Write(p, CategoryInfoOf(row.category).jsonName);
    p = Write(p, kRowPieces[4]);
    p = WriteJsonText(p, row.name, encoding);
    p = Write(p, kRowPieces[5]);
    p = WriteJsonText(p, row.className, encoding);
    p = Write(p, kRowPieces[6]);
    p = WriteJsonText(p, row.details, encoding);
    p = Write(p, kRowPieces[7]);
    Written(out, p);
}

void AppendTable(std::string& out, std::span<const SymbolRow> rows, TextEncoding encoding) {
    using Cells = std::array<std::string, 5>;
    std::vector<Cells> table;
    table.reserve(rows.size() + 1);
    table.push_back({"Line", "Category", "Name", "Class", "Details"});
    for (const SymbolRow& row : rows) {
        table.push_back({row.caption, CategoryInfoOf(row.category).jsonName,
                         TableCell(row.name, encoding), TableCell(row.className, encoding),
                         TableCell(row.details, encoding)});
    }
    std::array<size_t, 5> widths{};
    for (const Cells& cells : table) {
        for (size_t i = 0; i < cells.size(); ++i) {
            widths[i] = std::max(widths[i], DisplayWidth(cells[i]));
        }
    }
    for (const Cells& cells : table) {
        std::string line;
        for (size_t i = 0; i < cells.size(); ++i) {
            line += cells[i];
            if (i + 1 < cells.size()) {
                line.append(widths[i] - DisplayWidth(cells[i]) + 2, ' ');
            }
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        out += line;
        out += '\n';
    }
}

} // namespace kestrel
