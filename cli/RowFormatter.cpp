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

// The length of the run at the start of `bytes` that a JSON string takes as
// it stands: printable ASCII but '"' and '\\'. Sixteen bytes at a time where
// SSE2 is available.
size_t PlainJsonRun(std::string_view bytes) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i blank = _mm_set1_epi8(' ');
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    for (; i + 16 <= bytes.size(); i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
        // As signed bytes, the bytes above ASCII are below a blank too.
        const __m128i special =
            _mm_or_si128(_mm_cmplt_epi8(v, blank),
                         _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)));
        if (const int mask = _mm_movemask_epi8(special)) {
            return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        }
    }
#endif
    for (; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x20 || c >= 0x80 || c == '"' || c == '\\') {
            break;
        }
    }
    return i;
}

// Appends `bytes`, decoded by `encoding`, as a JSON string. Runs of plain
// ASCII, nearly all of a Pascal source, are copied as they stand; the
// encoding is asked for only at a byte above ASCII.
void AppendJsonText(std::string& out, std::string_view bytes, FileEncoding& encoding) {
    out.push_back('"');
    size_t i = 0;
    while (i < bytes.size()) {
        const size_t run = i + PlainJsonRun(bytes.substr(i));
        out.append(bytes.data() + i, run - i);
        if (run == bytes.size()) {
            break;
        }
        const auto c = static_cast<unsigned char>(bytes[run]);
        i = run + 1;
        if (c < 0x80) {
            AppendJsonEscape(out, c);
        } else {
            // A run of bytes above ASCII.
            while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) >= 0x80) {
                ++i;
            }
            out += ToUtf8(bytes.substr(run, i - run), encoding.Get());
        }
    }
    out.push_back('"');
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

// Room for a row's members from "line" to the name's key.
constexpr size_t kRowHeadBytes =
    std::char_traits<char>::length(
        "\"line\": , \"caption\": \"\", \"category\": \"\", \"name\": ") +
    2 * kLongestNumber + LongestCategoryName();

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
    out += '{';
    out += fileMember;
    // The members from "line" to the name's key are put together here and
    // appended at once: each append is a call that checks for room anew.
    char head[kRowHeadBytes];
    char* p = head;
    const auto put = [&p](std::string_view piece) {
        std::memcpy(p, piece.data(), piece.size());
        p += piece.size();
    };
    put("\"line\": ");
    char* const digits = p;
    p = std::to_chars(digits, digits + kLongestNumber, row.line).ptr;
    const auto length = static_cast<size_t>(p - digits);
    put(", \"caption\": \"");
    // The caption: the same digits, zero-filled to five.
    if (row.line >= 0 && length < 5) {
        std::memset(p, '0', 5 - length);
        p += 5 - length;
        put({digits, length});
    } else {
        put(FormatLineCaption(row.line));
    }
    put("\", \"category\": \"");
    put(CategoryInfoOf(row.category).jsonName);
    put("\", \"name\": ");
    out.append(head, static_cast<size_t>(p - head));
    AppendJsonText(out, row.name, encoding);
    out += ", \"class\": ";
    AppendJsonText(out, row.className, encoding);
    out += ", \"details\": ";
    AppendJsonText(out, row.details, encoding);
    out += "}\n";
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
