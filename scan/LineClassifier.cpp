#include "LineClassifier.h"

#include "SourceMarks.h"

#include <algorithm>
#include <tuple>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrel {

namespace {

constexpr std::string_view kBookmarkWord = "(bookmark)";
constexpr std::string_view kBookmarkRestLead = "bookmark(";

// The rest of a bookmark line, "bookmark(" and the line: kept, so a bookmark
// costs no allocation; the row's views point into it until the next
// bookmark of this thread. (Reached through a function, so that the common
// line does not pay for the thread's first use of it.)
std::string& BookmarkRest() {
    thread_local std::string rest;
    return rest;
}

// The position of the first blank, or npos: a plain loop, since the first
// word is short on most lines.
size_t FirstBlank(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ') {
            return i;
        }
    }
    return std::string_view::npos;
}

// The first "(" of `text` and the first "." before it, each npos where
// there is none, in one pass: sixteen bytes at a time where SSE2 is
// available, since a heading's rest can be long, and without a library
// call, since it is more often short.
void FindParenAndDot(std::string_view text, size_t& paren, size_t& dot) {
    paren = dot = std::string_view::npos;
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= text.size(); i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const auto parens =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('('))));
        auto dots =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('.'))));
        if (parens != 0) {
            dots &= (parens & (0u - parens)) - 1; // the dots before the first "("
        }
        if (dot == std::string_view::npos && dots != 0) {
            dot = i + static_cast<size_t>(__builtin_ctz(dots));
        }
        if (parens != 0) {
            paren = i + static_cast<size_t>(__builtin_ctz(parens));
            return;
        }
    }
#endif
    for (; i < text.size(); ++i) {
        if (text[i] == '(') {
            paren = i;
            return;
        }
        if (text[i] == '.' && dot == std::string_view::npos) {
            dot = i;
        }
    }
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size() || (!a.empty() && AsciiUpper(a[0]) != AsciiUpper(b[0]))) {
        return false;
    }
    return std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
}

std::pair<std::string_view, std::string_view> SplitFirstWord(std::string_view trimmed) {
    const size_t blank = FirstBlank(trimmed);
    if (blank == std::string_view::npos) {
        return {trimmed, {}};
    }
    return {trimmed.substr(0, blank), TrimBlanks(trimmed.substr(blank + 1))};
}

RoutineKind RoutineWord(std::string_view word) {
    static constexpr std::pair<std::string_view, RoutineKind> kWords[] = {
        {"PROCEDURE", RoutineKind::Procedure},     {"FUNCTION", RoutineKind::Function},
        {"CONSTRUCTOR", RoutineKind::Constructor}, {"DESTRUCTOR", RoutineKind::Destructor},
        {"OPERATOR", RoutineKind::Operator},
    };
    for (const auto& [text, kind] : kWords) {
        if (EqualsIgnoringAsciiCase(word, text)) {
            return kind;
        }
    }
    return RoutineKind::None;
}

// The headings only the extended set knows: the program line, and routines
// opened by another word than PROCEDURE or FUNCTION. Moves `word` and `rest`
// past a leading CLASS. Gives false when the line is none of them.
bool ReadExtendedHeading(std::string_view& word, std::string_view& rest, SymbolCategory& category,
                         RoutineKind& routine, bool& classRoutine) {
    if (EqualsIgnoringAsciiCase(word, "PROGRAM")) {
        return true; // a header row, like UNIT
    }
    if (EqualsIgnoringAsciiCase(word, "CLASS")) {
        classRoutine = true;
        std::tie(word, rest) = SplitFirstWord(rest);
    }
    routine = RoutineWord(word);
    switch (routine) {
    case RoutineKind::None:
        return false;
    case RoutineKind::Function:
    case RoutineKind::Operator:
        category = catFunction;
        return true;
    default:
        category = catProcedure;
        return true;
    }
}

} // namespace

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlankOrControl(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlankOrControl(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

const std::vector<std::string>& ReservedWords() {
    static const std::vector<std::string> words{
        "UNIT",      "LIBRARY",  "PROJECT", "IMPLEMENTATION",
        "PROCEDURE", "FUNCTION", "{*}",     "(BOOKMARK)",
    };
    return words;
}

std::string FormatLineCaption(int32_t line) {
    // "%.5d" by hand: this runs for every row of a scan.
    char digits[16];
    char* end = digits + sizeof digits;
    char* p = end;
    const bool negative = line < 0;
    uint32_t value = negative ? 0u - static_cast<uint32_t>(line) : static_cast<uint32_t>(line);
    do {
        *--p = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (end - p < 5) {
        *--p = '0';
    }
    if (negative) {
        *--p = '-';
    }
    return std::string(p, end);
}

bool HoldsBookmarkPrefix(std::string_view text) {
    for (size_t brace = text.find('{'); brace != std::string_view::npos;
         brace = text.find('{', brace + 1)) {
        if (text.substr(brace).starts_with(kBookmarkPrefix)) {
            return true;
        }
    }
    return false;
}

const KeywordSet& ExtendedHeadingWords() {
    static const std::vector<std::string> words{
        "PROGRAM", "CLASS", "PROCEDURE", "FUNCTION", "CONSTRUCTOR", "DESTRUCTOR", "OPERATOR"};
    static const KeywordSet set(words);
    return set;
}

bool ClassifyCandidateLine(std::string_view text, int32_t line, bool& inImplementation,
                           const KeywordSet& keywords, SymbolRowView& row, Headings headings,
                           const KeywordSet::FirstWord& first, bool mayHoldBrace) {
    SymbolCategory category = catHeader;

    // The line, trimmed, is split at its first blank into the first word and
    // the rest. A bookmark line is read as "(bookmark) bookmark(<line>".
    std::string_view word;
    std::string_view rest;
    int keyword = first.index;
    if (mayHoldBrace && HoldsBookmarkPrefix(text)) {
        category = catBookmark;
        word = kBookmarkWord;
        keyword = keywords.BookmarkWord();
        std::string& bookmarkRest = BookmarkRest();
        bookmarkRest.assign(kBookmarkRestLead);
        bookmarkRest += TrimBlanks(text);
        rest = bookmarkRest;
    } else if (keyword >= 0) {
        // Split already, by the first test.
        word = first.word;
        rest = word.size() == first.trimmed.size()
                   ? std::string_view{}
                   : TrimBlanks(first.trimmed.substr(word.size() + 1));
    } else {
        std::tie(word, rest) = SplitFirstWord(TrimBlanks(text));
    }

    RoutineKind routine = RoutineKind::None;
    bool classRoutine = false;
    bool implementationLine = false;
    if (keyword >= 0) {
        const KeywordSet::Role role = keywords.RoleOf(keyword);
        if (role == KeywordSet::Role::Procedure) {
            category = catProcedure;
        } else if (role == KeywordSet::Role::Function) {
            category = catFunction;
        }
        if (headings == Headings::Extended && category != catBookmark) {
            routine = category == catProcedure  ? RoutineKind::Procedure
                      : category == catFunction ? RoutineKind::Function
                                                : RoutineWord(word);
        }
        implementationLine = role == KeywordSet::Role::Implementation;
    } else if (headings == Headings::Classic || category == catBookmark ||
               !ReadExtendedHeading(word, rest, category, routine, classRoutine)) {
        return false;
    }
    if (!inImplementation && (category == catProcedure || category == catFunction)) {
        category = catDeclaration;
    }

    // H: the rest up to its first "(", or all of it but its last character
    // when there is none.
    size_t paren = 0;
    size_t dot = 0;
    FindParenAndDot(rest, paren, dot);
    const size_t headLength =
        paren != std::string_view::npos ? paren : (rest.empty() ? 0 : rest.size() - 1);
    const std::string_view head = rest.substr(0, headLength);
    if (dot >= headLength) {
        dot = std::string_view::npos;
    }

    row.line = line;
    row.category = category;
    row.routine = routine;
    row.classRoutine = classRoutine;
    if (dot != std::string_view::npos) {
        row.className = head.substr(0, dot);
        row.name = head.substr(dot + 1);
    } else {
        row.className = {};
        row.name = head;
    }
    row.details = TrimBlanks(rest.substr(headLength));
    if (category == catHeader) {
        row.className = word;
    }

    if (implementationLine) {
        inImplementation = true;
    }
    return true;
}

void FillSymbolRow(const SymbolRowView& view, SymbolRow& row) {
    // Assigned rather than built, so a row that is filled again reuses its
    // storage.
    row.line = view.line;
    row.caption = FormatLineCaption(view.line);
    row.name.assign(view.name);
    row.className.assign(view.className);
    row.details.assign(view.details);
    row.category = view.category;
    row.routine = view.routine;
    row.classRoutine = view.classRoutine;
}

bool ClassifySourceLine(std::string_view text, int32_t line, bool& inImplementation,
                        const std::vector<std::string>& keywords, SymbolRow& row,
                        Headings headings) {
    std::optional<KeywordSet> own;
    const KeywordSet& set =
        &keywords == &ReservedWords() ? ReservedKeywordSet() : own.emplace(keywords);
    SymbolRowView view;
    if (!ClassifySourceLine(text, line, inImplementation, set, view, headings)) {
        return false;
    }
    FillSymbolRow(view, row);
    return true;
}

std::optional<SymbolRow> ClassifySourceLine(std::string_view text, int32_t line,
                                            bool& inImplementation,
                                            const std::vector<std::string>& keywords,
                                            Headings headings) {
    SymbolRow row;
    if (!ClassifySourceLine(text, line, inImplementation, keywords, row, headings)) {
        return std::nullopt;
    }
    return row;
}

} // namespace kestrel
