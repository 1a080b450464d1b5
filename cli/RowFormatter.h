#pragma once

#include "LineClassifier.h"
#include "TextEncoding.h"

#include <span>
#include <string>

namespace kestrel {

// The "file" member that starts each JSON row of a file, with its comma: the
// path as a string where it is valid UTF-8, else {"bytes": "<base64>"},
// which gives the very bytes back.
std::string JsonFileMember(std::string_view path);

// One JSON object on a line of its own. `fileMember` comes first (it may be
// empty); texts are decoded by `encoding` and written as UTF-8.
void AppendJsonRow(std::string& out, const SymbolRowView& row, TextEncoding encoding,
                   std::string_view fileMember);
inline void AppendJsonRow(std::string& out, const SymbolRow& row, TextEncoding encoding,
                          std::string_view fileMember) {
    AppendJsonRow(out, ViewOfRow(row), encoding, fileMember);
}

// An aligned table with a heading: Line, Category, Name, Class, Details.
void AppendTable(std::string& out, std::span<const SymbolRow> rows, TextEncoding encoding);

} // namespace kestrel
