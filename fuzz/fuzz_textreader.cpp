// The reader for text in memory against the character reader on the host
// buffer of the same bytes: every line and its number must agree. Each line
// also goes through the classifier and through its rule written out step
// by step, which must give the same row.
#include "HostBuffer.h"
#include "LineClassifier.h"
#include "MemorySource.h"
#include "ScanLines.h"
#include "TextLineReader.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace kestrel;

struct Line {
    std::string text;
    int32_t number;
    bool operator==(const Line&) const = default;
};

template <class Source> std::vector<Line> LinesOf(Source& source) {
    std::vector<Line> lines;
    ScanLines(source, [&](std::string_view text, int32_t number) {
        lines.push_back({std::string(text), number});
    });
    return lines;
}

std::string Trim(const std::string& s) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    const auto first = std::find_if_not(s.begin(), s.end(), blank);
    const auto last = std::find_if_not(s.rbegin(), s.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string Upper(std::string s) {
    for (char& c : s) {
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return s;
}

// The classifier's rule, one step after another, on whole strings.
std::optional<SymbolRow> ClassifyStepByStep(const std::string& text, int32_t line,
                                            bool& inImplementation) {
    SymbolCategory category = catHeader;
    std::string s = Trim(text) + " ";
    if (s.find("{//*") != std::string::npos) {
        s = "(bookmark) bookmark(" + s;
        category = catBookmark;
    }
    const size_t p = s.find(' ');
    const std::string w = s.substr(0, p);
    const std::string u = Upper(w);
    const auto& words = ReservedWords();
    if (std::none_of(words.begin(), words.end(),
                     [&](const std::string& k) { return Upper(k) == u; })) {
        return std::nullopt;
    }
    if (u == "PROCEDURE") {
        category = catProcedure;
    } else if (u == "FUNCTION") {
        category = catFunction;
    }
    if (!inImplementation && (category == catProcedure || category == catFunction)) {
        category = catDeclaration;
    }
    const std::string r = Trim(s.substr(p + 1));
    const size_t paren = r.find('(');
    const size_t q = paren != std::string::npos ? paren : (r.empty() ? 0 : r.size() - 1);
    const std::string h = r.substr(0, q);
    const size_t d = h.find('.');
    SymbolRow row;
    row.line = line;
    row.caption = FormatLineCaption(line);
    row.category = category;
    row.name = d == std::string::npos ? h : h.substr(d + 1);
    row.className = category == catHeader    ? w
                    : d == std::string::npos ? std::string()
                                             : h.substr(0, d);
    row.details = Trim(r.substr(q));
    if (u == "IMPLEMENTATION") {
        inImplementation = true;
    }
    return row;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const HostBuffer buffer = BufferFromFileBytes(input);
    MemorySource host(buffer.bytes);
    TextLineReader reader(input);
    const std::vector<Line> expected = LinesOf(host);
    if (LinesOf(reader) != expected) {
        std::abort();
    }
    // A reader reused for a second scan starts afresh.
    reader.Reset(input);
    if (LinesOf(reader) != expected || CountLines(input) != expected.size()) {
        std::abort();
    }
    bool inImplementation = false;
    bool inImplementationStepByStep = false;
    SymbolRow row;
    for (const Line& line : expected) {
        const bool classified =
            ClassifySourceLine(line.text, line.number, inImplementation, ReservedWords(), row);
        const std::optional<SymbolRow> stepByStep =
            ClassifyStepByStep(line.text, line.number, inImplementationStepByStep);
        if (classified != stepByStep.has_value() || (classified && row != *stepByStep) ||
            inImplementation != inImplementationStepByStep) {
            std::abort();
        }
    }
    return 0;
}
