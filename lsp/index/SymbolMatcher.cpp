#include "index/SymbolMatcher.h"

#include "CaseFold.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KESTREL_MATCH_SSE2 1
#endif

namespace kestrel::lsp {

namespace {

bool IsAsciiAlphanumeric(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The length of the UTF-8 sequence that `lead` begins.
size_t SequenceLength(unsigned char lead) {
    return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// Whether a word begins at `at` of the text: its start, after a separator
// (anything but a letter or digit), or an upper-case letter after a
// lower-case one or a digit ("GetArea" has words at G and A). Case is read
// from `text` when folding kept the byte positions, else only separators
// count.
bool IsWordStart(std::string_view text, std::string_view folded, size_t at) {
    if (at == 0) {
        return true;
    }
    const auto before = static_cast<unsigned char>(folded[at - 1]);
    if (before < 0x80 && !IsAsciiAlphanumeric(before)) {
        return true;
    }
    if (text.size() != folded.size()) {
        return false;
    }
    const auto previous = static_cast<unsigned char>(text[at - 1]);
    const auto current = static_cast<unsigned char>(text[at]);
    return current >= 'A' && current <= 'Z' &&
           ((previous >= 'a' && previous <= 'z') || (previous >= '0' && previous <= '9'));
}

uint32_t ByteBit(unsigned char byte) {
    return uint32_t{1} << (byte >= 'a' && byte <= 'z' ? byte - 'a' : 26 + byte % 6);
}

// The bit of WordStarts' pairs or quads for the `size` bytes at `at`.
uint32_t PrefixBit(const char* at, size_t size) {
    uint32_t bytes = 0;
    std::memcpy(&bytes, at, size);
    return uint32_t{1} << ((bytes * 0x9E3779B1u) >> 27);
}

} // namespace

std::string FoldCase(std::string_view utf8) {
    std::string folded(utf8);
    bool ascii = true;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        } else if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
        }
    }
    if (ascii) {
        return folded;
    }
    return CaseFoldUtf8(utf8);
}

uint64_t ByteMask(std::string_view folded) {
    uint64_t mask = 0;
    for (const char c : folded) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 'a' && byte <= 'z') {
            const uint64_t once = uint64_t{1} << (byte - 'a');
            mask |= (mask & once) << 26 | once;
            continue;
        }
        unsigned bit = 0;
        if (byte >= '0' && byte <= '9') {
            bit = 52 + byte % 4;
        } else if (byte >= 0x80) {
            bit = 56 + byte % 4;
        } else {
            bit = 60 + byte % 4;
        }
        mask |= uint64_t{1} << bit;
    }
    return mask;
}

WordStarts WordStartsOf(std::string_view text, std::string_view folded) {
    WordStarts starts;
    for (size_t at = 0; at < folded.size(); ++at) {
        if (IsWordStart(text, folded, at)) {
            const auto byte = static_cast<unsigned char>(folded[at]);
            starts.bytes |= ByteBit(byte);
            if (at + 2 <= folded.size()) {
                starts.pairs |= PrefixBit(folded.data() + at, 2);
            }
            if (at + 4 <= folded.size()) {
                starts.quads |= PrefixBit(folded.data() + at, 4);
            }
        }
    }
    return starts;
}

SymbolQuery::SymbolQuery(std::string_view utf8)
    : folded_(FoldCase(utf8)), mask_(ByteMask(folded_)) {
    const std::string_view folded = folded_;
    for (size_t at = 0; at < folded.size();) {
        const size_t length =
            std::min(SequenceLength(static_cast<unsigned char>(folded[at])), folded.size() - at);
        characters_.push_back(folded.substr(at, length));
        ascii_ = ascii_ && length == 1 && static_cast<unsigned char>(folded[at]) < 0x80;
        initials_ |= ByteBit(static_cast<unsigned char>(folded[at]));
        at += length;
    }
    // A one-byte query begins a word where its byte does.
    if (folded.size() >= 4) {
        firstQuad_ = PrefixBit(folded.data(), 4);
    } else if (folded.size() >= 2) {
        firstPair_ = PrefixBit(folded.data(), 2);
    }
}

bool SymbolQuery::Matches(std::string_view folded, size_t readable) const {
    if (ascii_) {
        return MatchesAscii(folded, readable);
    }
    const char* const begin = folded.data();
    const char* const end = begin + folded.size();
    const char* at = begin;
    for (const std::string_view character : characters_) {
        // A lead or ASCII byte never occurs inside another character, so a
        // hit on the first byte followed by the rest is a whole character.
        for (;;) {
            const auto* hit = static_cast<const char*>(
                std::memchr(at, character.front(), static_cast<size_t>(end - at)));
            if (hit == nullptr) {
                return false;
            }
            if (character.size() == 1 ||
                (static_cast<size_t>(end - hit) >= character.size() &&
                 std::memcmp(hit + 1, character.data() + 1, character.size() - 1) == 0)) {
                at = hit + character.size();
                break;
            }
            at = hit + 1;
        }
    }
    return true;
}

// Most texts that hold the query's letters do not hold them in order, and
// each is short: a text is compared with the query's next byte 16 bytes at a
// time, and the hit taken is the first after the one before.
bool SymbolQuery::MatchesAscii(std::string_view folded, size_t readable) const {
    const std::string_view query = folded_;
    size_t next = 0;
    if (query.empty()) {
        return true;
    }
#ifdef KESTREL_MATCH_SSE2
    for (size_t chunk = 0; chunk < folded.size(); chunk += 16) {
        const size_t left = folded.size() - chunk;
        __m128i bytes;
        if (readable - chunk >= 16) {
            bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(folded.data() + chunk));
        } else {
            char tail[16] = {};
            std::memcpy(tail, folded.data() + chunk, left);
            bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tail));
        }
        // The places of this chunk after the last hit.
        unsigned open = left >= 16 ? 0xFFFFu : (1u << left) - 1;
        for (;;) {
            const unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(
                                      _mm_cmpeq_epi8(bytes, _mm_set1_epi8(query[next])))) &
                                  open;
            if (hits == 0) {
                break;
            }
            if (++next == query.size()) {
                return true;
            }
            open &= ~(hits ^ (hits - 1)); // drops the hit and what comes before it
        }
    }
    return false;
#else
    (void)readable;
    for (const char c : folded) {
        if (c == query[next] && ++next == query.size()) {
            return true;
        }
    }
    return false;
#endif
}

MatchTier SymbolQuery::BestTier(std::string_view folded, size_t nameStart) const {
    const std::string_view query = folded_;
    const std::string_view name = folded.substr(std::min(nameStart, folded.size()));
    // Most texts begin with neither: their first bytes tell, before the
    // rest is compared.
    const auto begins = [&](std::string_view text) {
        return query.empty() ||
               (!text.empty() && text.front() == query.front() && text.starts_with(query));
    };
    const bool textBegins = begins(folded);
    const bool nameBegins = begins(name);
    if ((textBegins && folded.size() == query.size()) ||
        (nameBegins && name.size() == query.size())) {
        return MatchTier::Exact;
    }
    return textBegins || nameBegins ? MatchTier::Prefix : MatchTier::WordStart;
}

MatchTier SymbolQuery::Tier(std::string_view text, std::string_view folded,
                            size_t nameStart) const {
    const MatchTier best = BestTier(folded, nameStart);
    if (best != MatchTier::WordStart) {
        return best;
    }
    const std::string_view query = folded_;
    for (size_t at = folded.find(query); at != std::string_view::npos;
         at = folded.find(query, at + 1)) {
        if (IsWordStart(text, folded, at)) {
            return MatchTier::WordStart;
        }
    }
    return MatchesInitials(text, folded) ? MatchTier::WordStart : MatchTier::Subsequence;
}

// Each character of the query at the start of a word, in order ("ga" for
// GetArea). Taking the first word that fits is enough to find a match when
// there is one.
bool SymbolQuery::MatchesInitials(std::string_view text, std::string_view folded) const {
    size_t next = 0;
    if (ascii_) {
        for (size_t at = 0; at < folded.size() && next < folded_.size(); ++at) {
            if (folded[at] == folded_[next] && IsWordStart(text, folded, at)) {
                ++next;
            }
        }
        return next == folded_.size();
    }
    for (size_t at = 0; at < folded.size() && next < characters_.size(); ++at) {
        const std::string_view character = characters_[next];
        if (folded.compare(at, character.size(), character) == 0 && IsWordStart(text, folded, at)) {
            ++next;
            at += character.size() - 1;
        }
    }
    return next == characters_.size();
}

} // namespace kestrel::lsp
