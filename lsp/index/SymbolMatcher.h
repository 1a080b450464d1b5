#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::lsp {

// How well a query matches a symbol's search text, best first.
enum class MatchTier : uint8_t {
    Exact,       // the whole text, or the name alone
    Prefix,      // the start of the text or of the name
    WordStart,   // a run from a word's start, or the initials of words
    Subsequence, // the query's characters in order, anywhere
};

// Text made comparable without regard to case: ASCII letters lowered
// quickly, anything else case-folded by Unicode's rules.
std::string FoldCase(std::string_view utf8);

// A set of the bytes of folded text, in 64 bits: a text can hold a query as
// a subsequence only when its mask holds the query's mask. Each letter has
// two bits, for once and for twice or more (a query's letters are so often
// all in a long name that their counts turn more texts away); digits, other
// ASCII and the bytes of other characters share four bits each.
uint64_t ByteMask(std::string_view folded);

// The bytes at which words begin in a search text (see SymbolQuery::Tier),
// and the texts of two and of four bytes that begin there, as three sets of
// 32 bits. A text can match a query better than as a subsequence only when
// the query begins at a word's start, or its characters are all initials of
// words; the sets tell most others apart.
struct WordStarts {
    uint32_t bytes = 0; // a bit a letter; other bytes share six
    uint32_t pairs = 0; // hashed
    uint32_t quads = 0; // hashed
};
WordStarts WordStartsOf(std::string_view text, std::string_view folded);

// A workspace-symbol query: matches and ranks a symbol's search text, held
// as it was written and case-folded. The name is the text's tail from
// `nameStart` (the search text is "Class.Name" for a method).
class SymbolQuery {
public:
    explicit SymbolQuery(std::string_view utf8);

    bool Empty() const { return folded_.empty(); }
    uint64_t Mask() const { return mask_; }
    // Whether a text that Matches may match better than as a subsequence
    // (false means surely not).
    bool MayStartWord(WordStarts starts) const {
        return (starts.quads & firstQuad_) != 0 || (starts.pairs & firstPair_) != 0 ||
               (starts.bytes & initials_) == initials_;
    }

    // Whether the query is a subsequence of `folded`, whole characters at a
    // time. `readable` bytes from folded's start may be read (at least its
    // size): a query of ASCII alone reads the text 16 bytes at a time.
    bool Matches(std::string_view folded, size_t readable) const {
        return ascii_ ? MatchesAscii(folded, readable) : MatchesCharacters(folded);
    }
    bool Matches(std::string_view folded) const { return Matches(folded, folded.size()); }

    // The tier of a text that Matches.
    MatchTier Tier(std::string_view text, std::string_view folded, size_t nameStart) const;
    // The best tier a text that Matches may have, found cheaply: Exact or
    // Prefix are final; WordStart may turn out Subsequence.
    MatchTier BestTier(std::string_view folded, size_t nameStart) const;

private:
    bool MatchesAscii(std::string_view folded, size_t readable) const;
    // A query with characters beyond ASCII: whole characters at a time.
    bool MatchesCharacters(std::string_view folded) const;
    bool MatchesInitials(std::string_view text, std::string_view folded) const;

    std::string folded_;
    std::vector<std::string_view> characters_; // the folded query, a character each
    uint64_t mask_ = 0;
    // WordStarts' bits of the query's first four bytes, or else of its
    // first two; and of the first bytes of its characters.
    uint32_t firstQuad_ = 0;
    uint32_t firstPair_ = 0;
    uint32_t initials_ = 0;
    // A query of ASCII alone is compared byte by byte: no ASCII byte occurs
    // inside another character.
    bool ascii_ = true;
};

} // namespace kestrel::lsp
