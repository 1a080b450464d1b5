#pragma once

#include "LineClassifier.h"
#include "TextEncoding.h"

#include <span>
#include <string>
#include <vector>

namespace kestrel {

// One JSON object per row, each on its own line; `file` is added when not
// empty. Texts are decoded by `encoding` and written as UTF-8.
void AppendJsonRows(std::string& out, std::span<const SymbolRow> rows, TextEncoding encoding,
                    const std::string& file);

// An aligned table with a heading: Line, Category, Name, Class, Details.
void AppendTable(std::string& out, const std::vector<SymbolRow>& rows, TextEncoding encoding);

} // namespace kestrel
