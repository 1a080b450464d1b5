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
    sizes_.reserve(words.size());
    for (const std::string& word : words) {
        std::string& upper = upperWords_.emplace_back(word);
        std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
        sizes_.push_back(word.size());
        if (word.empty()) {
            continue;
        }
        const uint64_t length = uint64_t{1} << std::min<size_t>(word.size(), 63);
        const uint64_t second =
            word.size() == 1 ? ~uint64_t{0}
                             : uint64_t{1} << SecondByteBit(static_cast<unsigned char>(word[1]));
        // The bytes whose ASCII upper case is the first letter's.
        for (const char first : {AsciiUpper(word[0]), AsciiLower(word[0])}) {
            lengthsByFirstByte_[static_cast<unsigned char>(first)] |= length;
            secondBytesByFirstByte_[static_cast<unsigned char>(first)] |= second;
        }
    }
    emptyWord_ = Find("");
    bookmarkWord_ = Find("(BOOKMARK)");
}

int KeywordSet::Find(std::string_view word) const {
    for (size_t index = 0; index < sizes_.size(); ++index) {
        if (sizes_[index] != word.size()) {
            continue;
        }
        const std::string& upper = upperWords_[index];
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
