#pragma once

#include "BlankCharacters.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

    // The words that the classifier treats apart, as it meets them.
    enum class Role : unsigned char { Other, Procedure, Function, Implementation };
    Role RoleOf(int index) const { return roles_[static_cast<size_t>(index)]; }

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
        const char* p = SkipBlanks(text.data(), text.data() + text.size());
        const char* end = text.data() + text.size();
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
        return FindFirstWordFrom(p, end);
    }

private:
    // A second byte as a bit of secondBytesByFirstByte_: ASCII letters of
    // either case give the same bit; other bytes may share one.
    static unsigned SecondByteBit(unsigned char c) {
        return (c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c) & 63u;
    }

    // The first byte from `p` on that is not blank (IsBlankOrControl), or
    // `end`: sixteen bytes at a time while sixteen are left, where SSE2 is
    // available, since most lines open with an indent.
    static const char* SkipBlanks(const char* p, const char* end) {
#if defined(__SSE2__)
        const __m128i space = _mm_set1_epi8(' ');
        while (end - p >= 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const auto blank = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(bytes, space), space)));
            if (blank != 0xFFFF) {
                return p + __builtin_ctz(~blank);
            }
            p += 16;
        }
#endif
        while (p != end && IsBlankOrControl(*p)) {
            ++p;
        }
        return p;
    }

    // The index of `word`, which opens with `firstByte`, among the words
    // without a space, ignoring ASCII case, or -1. The bytes up to
    // `readable` may be read, past the word's end.
    int FindOpenedBy(unsigned char firstByte, std::string_view word, const char* readable) const;
    // The rest of FindFirstWordOf, for a line whose first two bytes `p` may
    // open one of the words; `end` is the text's end.
    FirstWord FindFirstWordFrom(const char* p, const char* end) const;

    std::vector<std::string> upperWords_;
    std::vector<size_t> sizes_; // of upperWords_, side by side for Find
    std::vector<Role> roles_;   // of upperWords_
    // The first sixteen bytes of each word in upper case, zero-filled: a
    // word is compared sixteen bytes at a time.
    std::vector<std::array<char, 16>> upperHeads_;
    // Bit n for a word of length n (lengths from 63 on share bit 63); words
    // with a space, which can never be a first word, are left out.
    std::array<uint64_t, 256> lengthsByFirstByte_{};
    // The bits of the second bytes of the words each byte opens; every bit
    // for a word of one byte, which has none.
    std::array<uint64_t, 256> secondBytesByFirstByte_{};
    // The words without a space that each byte opens, in index order: the
    // first of each byte here, the next after a word in nextOpenedBySame_.
    std::array<int, 256> firstOpenedBy_{};
    std::vector<int> nextOpenedBySame_;
    int emptyWord_ = -1;
    int bookmarkWord_ = -1;
};

// ReservedWords() as a KeywordSet, made once.
const KeywordSet& ReservedKeywordSet();

} // namespace kestrel
