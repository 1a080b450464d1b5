#include "RowFormatter.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace kestrel {

namespace {

void AppendJsonString(std::string& out, std::string_view utf8) {
    out.push_back('"');
    for (const char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                out += escape;
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back('"');
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

} // namespace

void AppendJsonRows(std::string& out, std::span<const SymbolRow> rows, TextEncoding encoding,
                    const std::string& file) {
    for (const SymbolRow& row : rows) {
        out += '{';
        if (!file.empty()) {
            out += "\"file\": ";
            AppendJsonString(out, ToUtf8(file, DetectEncoding(file)));
            out += ", ";
        }
        out += "\"line\": ";
        out += std::to_string(row.line);
        out += ", \"caption\": ";
        AppendJsonString(out, row.caption);
        out += ", \"category\": ";
        AppendJsonString(out, CategoryInfoOf(row.category).jsonName);
        out += ", \"name\": ";
        AppendJsonString(out, ToUtf8(row.name, encoding));
        out += ", \"class\": ";
        AppendJsonString(out, ToUtf8(row.className, encoding));
        out += ", \"details\": ";
        AppendJsonString(out, ToUtf8(row.details, encoding));
        out += "}\n";
    }
}

void AppendTable(std::string& out, const std::vector<SymbolRow>& rows, TextEncoding encoding) {
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
