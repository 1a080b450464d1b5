#pragma once

#include "BlankCharacters.h"
#include "KeywordSet.h"
#include "SymbolRow.h"
#include "SymbolRowView.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// The first words that make a line worth a row, in the order the symbol
// list window keeps them.
const std::vector<std::string>& ReservedWords();

// `s` without blank characters at either end.
std::string_view TrimBlanks(std::string_view s);

// "%.5d": zero-filled to at least five digits.
std::string FormatLineCaption(int32_t line);

// Which headings make rows. `Classic` gives the rows the add-in lists.
// `Extended` also takes the program line, constructors, destructors,
// operators and class methods (`class procedure` and the like), as an
// outline of the file wants them, and records each routine's opening word.
enum class Headings { Classic, Extended };

// Whether `text` holds the bookmark prefix "{//*", which makes its line a
// bookmark line.
bool HoldsBookmarkPrefix(std::string_view text);

// The words that open the extended headings' lines, as a KeywordSet.
const KeywordSet& ExtendedHeadingWords();

// The classifier's work on a line that passed the first test of
// ClassifySourceLine below, which read its first word.
bool ClassifyCandidateLine(std::string_view text, int32_t line, bool& inImplementation,
                           const KeywordSet& keywords, SymbolRowView& row, Headings headings,
                           const KeywordSet::FirstWord& first, bool mayHoldBrace);

// Classifies one line as the source line reader returned it. Gives true and
// the row in `row` (its texts are views: see SymbolRowView), or false, with
// `row` as it was, when the line's first word is not one of `keywords` (nor,
// for extended headings, one of the extra heading words) and it holds no
// bookmark. Sets `inImplementation` on the IMPLEMENTATION line. A caller
// that knows `text` holds no '{' says so with `mayHoldBrace`, which spares
// the search for a bookmark. Most lines are turned away by the first word's
// first byte and length, before anything else is done.
inline bool ClassifySourceLine(std::string_view text, int32_t line, bool& inImplementation,
                               const KeywordSet& keywords, SymbolRowView& row,
                               Headings headings = Headings::Classic, bool mayHoldBrace = true) {
    const auto opensExtendedHeading = [text] {
        // Asked for once: the set is looked up for most lines of a source. (Not
        // at the top: the check that it is made would cost the classic
        // headings a test on every line.)
        static const KeywordSet& extendedWords = ExtendedHeadingWords();
        return extendedWords.FindFirstWordOf(text).index >= 0;
    };
    const KeywordSet::FirstWord first = keywords.FindFirstWordOf(text);
    if (first.index < 0 && !(headings == Headings::Extended && opensExtendedHeading()) &&
        !(mayHoldBrace && HoldsBookmarkPrefix(text))) {
        return false;
    }
    return ClassifyCandidateLine(text, line, inImplementation, keywords, row, headings, first,
                                 mayHoldBrace);
}

// The row's texts copied into `row`, which keeps its storage from one row to
// the next, with the caption made from the line number.
void FillSymbolRow(const SymbolRowView& view, SymbolRow& row);

// The same as a SymbolRow, or nothing.
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
