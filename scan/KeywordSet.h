#pragma once

#include "BlankCharacters.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// The first words that make a line a row, made ready for the classifier's
// first test. For each byte that can open one of the words (either ASCII
// case), the lengths and the second bytes of the words it opens, as bits:
// nearly every line is turned away by its first two bytes or the length of
// its first word, before anything is trimmed, split or copied.
class KeywordSet {
public:
    explicit KeywordSet(const std::vector<std::string>& words);

    // The index of `word` among the words, ignoring ASCII case, or -1.
    int Find(std::string_view word) const;

    // The word at `index` in ASCII upper case.
    std::string_view UpperWord(int index) const { return upperWords_[index]; }

    // The index of "(BOOKMARK)", the first word of every bookmark line, or
    // -1: without it no bookmark makes a row.
    int BookmarkWord() const { return bookmarkWord_; }

    // The first word of `text` as the classifier splits it off: `text`
    // without blanks at either end (IsBlankOrControl), up to its first space.
    struct FirstWord {
        int index = -1;           // among the words, or -1
        std::string_view trimmed; // set when `index` is
        std::string_view word;    // set when `index` is
    };
    FirstWord FindFirstWordOf(std::string_view text) const {
        const char* p = text.data();
        const char* end = p + text.size();
        while (p != end && IsBlankOrControl(*p)) {
            ++p;
        }
        if (p == end) {
            return {emptyWord_, {}, {}};
        }
        const auto firstByte = static_cast<unsigned char>(*p);
        const uint64_t lengths = lengthsByFirstByte_[firstByte];
        const auto second = static_cast<unsigned char>(p + 1 != end ? p[1] : 0);
        if (lengths == 0 ||
            ((secondBytesByFirstByte_[firstByte] >> SecondByteBit(second)) & 1) == 0) {
            return {};
        }
        while (IsBlankOrControl(end[-1])) {
            --end; // stops at p, which is not blank
        }
        const char* wordEnd = p + 1;
        while (wordEnd != end && *wordEnd != ' ') {
            ++wordEnd;
        }
        const auto length = static_cast<size_t>(wordEnd - p);
        if (((lengths >> (length < 63 ? length : 63)) & 1) == 0) {
            return {};
        }
        const std::string_view word(p, length);
        return {Find(word), std::string_view(p, static_cast<size_t>(end - p)), word};
    }

private:
    // A second byte as a bit of secondBytesByFirstByte_: ASCII letters of
    // either case give the same bit; other bytes may share one.
    static unsigned SecondByteBit(unsigned char c) {
        return (c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c) & 63u;
    }

    std::vector<std::string> upperWords_;
    std::vector<size_t> sizes_; // of upperWords_, side by side for Find
    // Bit n for a word of length n (lengths from 63 on share bit 63).
    std::array<uint64_t, 256> lengthsByFirstByte_{};
    // The bits of the second bytes of the words each byte opens; every bit
    // for a word of one byte, which has none.
    std::array<uint64_t, 256> secondBytesByFirstByte_{};
    int emptyWord_ = -1;
    int bookmarkWord_ = -1;
};

// ReservedWords() as a KeywordSet, made once.
const KeywordSet& ReservedKeywordSet();

} // namespace kestrel
