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
    roles_.reserve(words.size());
    upperHeads_.reserve(words.size());
    nextOpenedBySame_.assign(words.size(), -1);
    firstOpenedBy_.fill(-1);
    std::array<int, 256> lastOpenedBy{};
    for (const std::string& word : words) {
        const int index = static_cast<int>(upperWords_.size());
        std::string& upper = upperWords_.emplace_back(word);
        std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
        sizes_.push_back(word.size());
        std::array<char, 16>& head = upperHeads_.emplace_back();
        head.fill(0);
        std::copy_n(upper.begin(), std::min<size_t>(upper.size(), 16), head.begin());
        roles_.push_back(upper == "PROCEDURE"        ? Role::Procedure
                         : upper == "FUNCTION"       ? Role::Function
                         : upper == "IMPLEMENTATION" ? Role::Implementation
                                                     : Role::Other);
        if (word.empty() || word.find(' ') != std::string::npos) {
            continue;
        }
        const uint64_t length = uint64_t{1} << std::min<size_t>(word.size(), 63);
        const uint64_t second =
            word.size() == 1 ? ~uint64_t{0}
                             : uint64_t{1} << SecondByteBit(static_cast<unsigned char>(word[1]));
        // The bytes whose ASCII upper case is the first letter's.
        const char upperFirst = AsciiUpper(word[0]);
        const char lowerFirst = AsciiLower(word[0]);
        for (const char first : {upperFirst, lowerFirst}) {
            const auto byte = static_cast<unsigned char>(first);
            lengthsByFirstByte_[byte] |= length;
            secondBytesByFirstByte_[byte] |= second;
            if (firstOpenedBy_[byte] < 0) {
                firstOpenedBy_[byte] = index;
            } else {
                nextOpenedBySame_[static_cast<size_t>(lastOpenedBy[byte])] = index;
            }
            lastOpenedBy[byte] = index;
            if (lowerFirst == upperFirst) {
                break; // not a letter: one byte
            }
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

int KeywordSet::FindOpenedBy(unsigned char firstByte, std::string_view word,
                             const char* readable) const {
    int index = firstOpenedBy_[firstByte];
#if defined(__SSE2__)
    if (word.size() <= 16 && readable - word.data() >= 16) {
        // The sixteen bytes from the word's start in ASCII upper case, each
        // word's head compared with them at once; the bytes past the word
        // do not count.
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(word.data()));
        const __m128i lower = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('a' - 1)),
                                            _mm_cmplt_epi8(bytes, _mm_set1_epi8('z' + 1)));
        const __m128i upper = _mm_sub_epi8(bytes, _mm_and_si128(lower, _mm_set1_epi8(0x20)));
        const unsigned wanted = (1u << word.size()) - 1;
        for (; index >= 0; index = nextOpenedBySame_[static_cast<size_t>(index)]) {
            const auto at = static_cast<size_t>(index);
            if (sizes_[at] != word.size()) {
                continue;
            }
            const __m128i head =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(upperHeads_[at].data()));
            const auto equal =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(upper, head)));
            if ((equal & wanted) == wanted) {
                return index;
            }
        }
        return -1;
    }
#endif
    for (; index >= 0; index = nextOpenedBySame_[static_cast<size_t>(index)]) {
        if (sizes_[static_cast<size_t>(index)] != word.size()) {
            continue;
        }
        // The first bytes are equal but for case: that is how the word was
        // found.
        const char* upper = upperWords_[static_cast<size_t>(index)].data();
        size_t i = 1;
        while (i < word.size() && kAsciiUpper[static_cast<unsigned char>(word[i])] == upper[i]) {
            ++i;
        }
        if (i == word.size()) {
            return index;
        }
    }
    return -1;
}

KeywordSet::FirstWord KeywordSet::FindFirstWordFrom(const char* p, const char* end) const {
    const char* const readable = end;
    while (IsBlankOrControl(end[-1])) {
        --end; // stops at p, which is not blank
    }
    const auto left = static_cast<size_t>(end - p);
    const auto firstByte = static_cast<unsigned char>(*p);
    const uint64_t lengths = lengthsByFirstByte_[firstByte];
    if (lengths >> 63 == 0) [[likely]] {
        // The first word ends at the first space, or at the end. Of the
        // lengths the words have, the shortest at which the text has either
        // is the only one that can match: no word holds a space.
        for (uint64_t rest = lengths; rest != 0; rest &= rest - 1) {
            const auto length = static_cast<size_t>(__builtin_ctzll(rest));
            if (length > left) {
                break;
            }
            if (length == left || p[length] == ' ') {
                const std::string_view word(p, length);
                const int index = FindOpenedBy(firstByte, word, readable);
                if (index < 0) {
                    break;
                }
                return {index, std::string_view(p, left), word};
            }
        }
        return {};
    }
    // A word of 63 bytes or more: the first word is found first.
    const char* wordEnd = p + 1;
    while (wordEnd != end && *wordEnd != ' ') {
        ++wordEnd;
    }
    const auto length = static_cast<size_t>(wordEnd - p);
    if (((lengths >> std::min<size_t>(length, 63)) & 1) == 0) {
        return {};
    }
    const std::string_view word(p, length);
    return {FindOpenedBy(firstByte, word, readable), std::string_view(p, left), word};
}

const KeywordSet& ReservedKeywordSet() {
    static const KeywordSet set(ReservedWords());
    return set;
}

} // namespace kestrel
