#include "index/SymbolMatcher.h"

#include "CaseFold.h"

#include <cstring>

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

SymbolQuery::SymbolQuery(std::string_view utf8)
    : folded_(FoldCase(utf8)), mask_(ByteMask(folded_)) {
    const std::string_view folded = folded_;
    for (size_t at = 0; at < folded.size();) {
        const size_t length =
            std::min(SequenceLength(static_cast<unsigned char>(folded[at])), folded.size() - at);
        characters_.push_back(folded.substr(at, length));
        ascii_ = ascii_ && length == 1 && static_cast<unsigned char>(folded[at]) < 0x80;
        at += length;
    }
}

bool SymbolQuery::Matches(std::string_view folded) const {
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

MatchTier SymbolQuery::BestTier(std::string_view folded, size_t nameStart) const {
    const std::string_view query = folded_;
    const std::string_view name = folded.substr(std::min(nameStart, folded.size()));
    if (folded == query || name == query) {
        return MatchTier::Exact;
    }
    if (folded.starts_with(query) || name.starts_with(query)) {
        return MatchTier::Prefix;
    }
    return MatchTier::WordStart;
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
