#include "LineClassifier.h"

#include "SourceMarks.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace kestrel {

namespace {

constexpr std::string_view kBookmarkWord = "(bookmark)";
constexpr std::string_view kBookmarkRestLead = "bookmark(";

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlankOrControl(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlankOrControl(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiUpper(x) == AsciiUpper(y);
           });
}

bool IsKeyword(std::string_view word, const std::vector<std::string>& keywords) {
    return std::any_of(keywords.begin(), keywords.end(),
                       [word](const std::string& k) { return EqualsIgnoringAsciiCase(word, k); });
}

std::pair<std::string_view, std::string_view> SplitFirstWord(std::string_view trimmed) {
    const size_t blank = trimmed.find(' ');
    if (blank == std::string_view::npos) {
        return {trimmed, {}};
    }
    return {trimmed.substr(0, blank), Trim(trimmed.substr(blank + 1))};
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

std::optional<SymbolRow> ClassifySourceLine(std::string_view text, int32_t line,
                                            bool& inImplementation,
                                            const std::vector<std::string>& keywords,
                                            Headings headings) {
    SymbolCategory category = catHeader;

    // The line, trimmed, is split at its first blank into the first word and
    // the rest. A bookmark line is read as "(bookmark) bookmark(<line>".
    const std::string_view trimmed = Trim(text);
    std::string bookmarkRest;
    std::string_view word;
    std::string_view rest;
    if (trimmed.find(kBookmarkPrefix) != std::string_view::npos) {
        category = catBookmark;
        word = kBookmarkWord;
        bookmarkRest.reserve(kBookmarkRestLead.size() + trimmed.size());
        bookmarkRest += kBookmarkRestLead;
        bookmarkRest += trimmed;
        rest = bookmarkRest;
    } else {
        std::tie(word, rest) = SplitFirstWord(trimmed);
    }

    // Most lines end here, so nothing is copied before the keyword test.
    RoutineKind routine = RoutineKind::None;
    bool classRoutine = false;
    std::string upper;
    if (IsKeyword(word, keywords)) {
        upper = word;
        std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
        if (upper == "PROCEDURE") {
            category = catProcedure;
        } else if (upper == "FUNCTION") {
            category = catFunction;
        }
        if (headings == Headings::Extended && category != catBookmark) {
            routine = RoutineWord(upper);
        }
    } else if (headings == Headings::Classic || category == catBookmark ||
               !ReadExtendedHeading(word, rest, category, routine, classRoutine)) {
        return std::nullopt;
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

    SymbolRow row;
    row.line = line;
    row.caption = FormatLineCaption(line);
    row.category = category;
    row.routine = routine;
    row.classRoutine = classRoutine;
    if (dot != std::string_view::npos) {
        row.className = std::string(head.substr(0, dot));
        row.name = std::string(head.substr(dot + 1));
    } else {
        row.name = std::string(head);
    }
    row.details = std::string(Trim(rest.substr(headLength)));
    if (category == catHeader) {
        row.className = std::string(word);
    }

    if (upper == "IMPLEMENTATION") {
        inImplementation = true;
    }
    return row;
}

} // namespace kestrel
