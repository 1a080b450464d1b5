#pragma once

#include "SymbolRow.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// The first words that make a line worth a row, in the order the symbol
// list window keeps them.
const std::vector<std::string>& ReservedWords();

// "%.5d": zero-filled to at least five digits.
std::string FormatLineCaption(int32_t line);

// Which headings make rows. `Classic` gives the rows the add-in lists.
// `Extended` also takes the program line, constructors, destructors,
// operators and class methods (`class procedure` and the like), as an
// outline of the file wants them, and records each routine's opening word.
enum class Headings { Classic, Extended };

// Classifies one line as the source line reader returned it. Gives the row,
// or nothing when the line's first word is not one of `keywords` (nor, for
// extended headings, one of the extra heading words). Sets
// `inImplementation` on the IMPLEMENTATION line (after building its row).
std::optional<SymbolRow> ClassifySourceLine(std::string_view text, int32_t line,
                                            bool& inImplementation,
                                            const std::vector<std::string>& keywords,
                                            Headings headings = Headings::Classic);

// The same into `row`, which keeps its storage from one row to the next:
// gives false, and leaves `row` as it was, when the line makes no row.
bool ClassifySourceLine(std::string_view text, int32_t line, bool& inImplementation,
                        const std::vector<std::string>& keywords, SymbolRow& row,
                        Headings headings = Headings::Classic);

} // namespace kestrel
