#include "LineClassifier.h"

#include "SourceMarks.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace kestrel {

namespace {

constexpr std::string_view kBookmarkWord = "(bookmark)";
constexpr std::string_view kBookmarkRestLead = "bookmark(";

// Whether `text` holds "{//*".
bool HasBookmarkPrefix(std::string_view text) {
    for (size_t brace = text.find('{'); brace != std::string_view::npos;
         brace = text.find('{', brace + 1)) {
        if (text.substr(brace).starts_with(kBookmarkPrefix)) {
            return true;
        }
    }
    return false;
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

// The lengths of the keywords as bits of a mask (all lengths from 63 on
// share the top bit): most first words are turned away on their length
// alone. Worked out once for the reserved words.
uint64_t KeywordLengths(const std::vector<std::string>& keywords) {
    const auto lengths = [](const std::vector<std::string>& words) {
        uint64_t mask = 0;
        for (const std::string& word : words) {
            mask |= uint64_t{1} << std::min<size_t>(word.size(), 63);
        }
        return mask;
    };
    static const std::vector<std::string>* const reservedWords = &ReservedWords();
    static const uint64_t reserved = lengths(*reservedWords);
    return &keywords == reservedWords ? reserved : lengths(keywords);
}

bool MayBeKeyword(std::string_view word, uint64_t keywordLengths) {
    return (keywordLengths >> std::min<size_t>(word.size(), 63)) & 1;
}

bool IsKeyword(std::string_view word, const std::vector<std::string>& keywords) {
    // Length and first letter first: they turn away nearly every other
    // keyword without a call.
    const char first = word.empty() ? '\0' : AsciiUpper(word[0]);
    return std::any_of(keywords.begin(), keywords.end(), [&](const std::string& k) {
        return k.size() == word.size() && (k.empty() || AsciiUpper(k[0]) == first) &&
               EqualsIgnoringAsciiCase(word, k);
    });
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

bool ClassifySourceLine(std::string_view text, int32_t line, bool& inImplementation,
                        const std::vector<std::string>& keywords, SymbolRow& row,
                        Headings headings) {
    SymbolCategory category = catHeader;

    // The line, trimmed, is split at its first blank into the first word and
    // the rest. A bookmark line is read as "(bookmark) bookmark(<line>".
    const std::string_view trimmed = TrimBlanks(text);
    thread_local std::string bookmarkRest; // kept, so a bookmark costs no allocation
    std::string_view word;
    std::string_view rest;
    if (HasBookmarkPrefix(trimmed)) {
        category = catBookmark;
        word = kBookmarkWord;
        bookmarkRest.assign(kBookmarkRestLead);
        bookmarkRest += trimmed;
        rest = bookmarkRest;
    } else {
        const size_t blank = FirstBlank(trimmed);
        word = trimmed.substr(0, blank);
        // The reserved words' lengths turn away most lines at once; the
        // extended headings have words of other lengths.
        if (headings == Headings::Classic && !MayBeKeyword(word, KeywordLengths(keywords))) {
            return false;
        }
        rest = blank == std::string_view::npos ? std::string_view{}
                                               : TrimBlanks(trimmed.substr(blank + 1));
    }

    // Most lines end here, so nothing is copied before the keyword test.
    RoutineKind routine = RoutineKind::None;
    bool classRoutine = false;
    bool implementationLine = false;
    if (IsKeyword(word, keywords)) {
        if (EqualsIgnoringAsciiCase(word, "PROCEDURE")) {
            category = catProcedure;
        } else if (EqualsIgnoringAsciiCase(word, "FUNCTION")) {
            category = catFunction;
        }
        if (headings == Headings::Extended && category != catBookmark) {
            routine = RoutineWord(word);
        }
        implementationLine = EqualsIgnoringAsciiCase(word, "IMPLEMENTATION");
    } else if (headings == Headings::Classic || category == catBookmark ||
               !ReadExtendedHeading(word, rest, category, routine, classRoutine)) {
        return false;
    }
    if (!inImplementation && (category == catProcedure || category == catFunction)) {
        category = catDeclaration;
    }

    // H: the rest up to its first "(", or all of it but its last character
    // when there is none.
    const size_t paren = rest.find('(');
    const size_t headLength =
        paren != std::string_view::npos ? paren : (rest.empty() ? 0 : rest.size() - 1);
    const std::string_view head = rest.substr(0, headLength);
    const size_t dot = head.find('.');

    // Assigned rather than built, so a row that is filled again reuses its
    // storage.
    row.line = line;
    row.caption = FormatLineCaption(line);
    row.category = category;
    row.routine = routine;
    row.classRoutine = classRoutine;
    if (dot != std::string_view::npos) {
        row.className.assign(head.substr(0, dot));
        row.name.assign(head.substr(dot + 1));
    } else {
        row.className.clear();
        row.name.assign(head);
    }
    row.details.assign(TrimBlanks(rest.substr(headLength)));
    if (category == catHeader) {
        row.className.assign(word);
    }

    if (implementationLine) {
        inImplementation = true;
    }
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
