#include "KeywordSet.h"

#include "LineClassifier.h"

#include <algorithm>

namespace kestrel {

namespace {

constexpr char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// AsciiUpper as a table: no branch per character.
constexpr std::array<char, 256> kAsciiUpper = [] {
    std::array<char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[c] = AsciiUpper(static_cast<char>(c));
    }
    return table;
}();

} // namespace

KeywordSet::KeywordSet(const std::vector<std::string>& words) {
    upperWords_.reserve(words.size());
    for (const std::string& word : words) {
        std::string& upper = upperWords_.emplace_back(word);
        std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
        if (word.empty()) {
            continue;
        }
        const uint64_t length = uint64_t{1} << std::min<size_t>(word.size(), 63);
        // The bytes whose ASCII upper case is the first letter's.
        for (const char first : {AsciiUpper(word[0]), AsciiLower(word[0])}) {
            lengthsByFirstByte_[static_cast<unsigned char>(first)] |= length;
        }
    }
    emptyWord_ = Find("");
    bookmarkWord_ = Find("(BOOKMARK)");
}

int KeywordSet::Find(std::string_view word) const {
    for (size_t index = 0; index < upperWords_.size(); ++index) {
        const std::string& upper = upperWords_[index];
        if (upper.size() != word.size()) {
            continue;
        }
        size_t i = 0;
        while (i < upper.size() && kAsciiUpper[static_cast<unsigned char>(word[i])] == upper[i]) {
            ++i;
        }
        if (i == upper.size()) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

const KeywordSet& ReservedKeywordSet() {
    static const KeywordSet set(ReservedWords());
    return set;
}

} // namespace kestrel
