#include "documents/TextDocument.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrel::lsp {

namespace {

bool IsContinuationByte(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

} // namespace

int64_t Utf16Length(std::string_view utf8) {
    // Most text is ASCII, a unit per byte: eight bytes at a time while no
    // byte has its top bit set.
    int64_t units = 0;
    size_t ascii = 0;
    for (uint64_t word = 0; ascii + sizeof word <= utf8.size(); ascii += sizeof word) {
        std::memcpy(&word, utf8.data() + ascii, sizeof word);
        if ((word & 0x8080808080808080u) != 0) {
            break;
        }
    }
    units += static_cast<int64_t>(ascii);
    for (const char c : utf8.substr(ascii)) {
        const auto byte = static_cast<unsigned char>(c);
        units += byte >= 0xF0 ? 2 : (IsContinuationByte(byte) ? 0 : 1);
    }
    return units;
}

// Where the lines that begin in [from, to] of `text` start, after the line
// start `at` (one of them, or before them); and how many CRs in [from, to)
// end a line alone.
size_t LineStartsIn(std::string_view text, size_t at, size_t to, std::vector<size_t>& starts) {
    size_t lone = 0;
    for (size_t p = at; p < text.size() && p < to; ++p) {
        if (text[p] == '\n') {
            starts.push_back(p + 1);
        } else if (text[p] == '\r' && (p + 1 == text.size() || text[p + 1] != '\n')) {
            starts.push_back(p + 1);
            ++lone;
        }
    }
    return lone;
}

size_t LoneCarriageReturns(std::string_view text, size_t from, size_t to) {
    std::vector<size_t> ignored;
    return LineStartsIn(text, from, to, ignored);
}

void TextDocument::NewRevision() {
    static std::atomic<uint64_t> revisions{0};
    revision_ = ++revisions;
}

void TextDocument::Reindex() {
    NewRevision();
    changes_.clear();
    lineStarts_.clear();
    // Sources' lines are some thirty bytes long on average: room for most
    // of them at once spares most of the growth.
    lineStarts_.reserve(text_.size() / 32 + 1);
    lineStarts_.push_back(0);
    loneCarriageReturns_ = 0;
    const char* const begin = text_.data();
    const char* const end = begin + text_.size();
    const char* p = begin;
#if defined(__SSE2__)
    // Sixteen bytes at a time, every line break among them taken from one
    // mask. A line starts after each LF and after each CR that no LF
    // follows; the byte after the sixteen is read for that, so the last
    // sixteen bytes are left to the loop below.
    const __m128i lineFeeds = _mm_set1_epi8('\n');
    const __m128i returns = _mm_set1_epi8('\r');
    for (; end - p > 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        auto breaks = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineFeeds)));
        const auto crs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, returns)));
        if (crs != 0) {
            const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
            const unsigned lone =
                crs & ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(after, lineFeeds)));
            loneCarriageReturns_ += static_cast<size_t>(__builtin_popcount(lone));
            breaks |= lone;
        }
        for (; breaks != 0; breaks &= breaks - 1) {
            lineStarts_.push_back(static_cast<size_t>(p - begin) + __builtin_ctz(breaks) + 1);
        }
    }
#endif
    for (; p != end; ++p) {
        if (*p == '\n') {
            lineStarts_.push_back(static_cast<size_t>(p - begin) + 1);
        } else if (*p == '\r' && (p + 1 == end || p[1] != '\n')) {
            ++loneCarriageReturns_;
            lineStarts_.push_back(static_cast<size_t>(p - begin) + 1);
        }
    }
    loneCarriageReturn_ = loneCarriageReturns_ > 0;
}

size_t TextDocument::LineEnd(int64_t line) const {
    const size_t next = static_cast<size_t>(line) + 1;
    if (next >= lineStarts_.size()) {
        return text_.size();
    }
    size_t end = lineStarts_[next];
    if (end > 0 && text_[end - 1] == '\n') {
        --end;
    }
    if (end > lineStarts_[next - 1] && text_[end - 1] == '\r') {
        --end;
    }
    return end;
}

std::string_view TextDocument::LineText(int64_t line) const {
    const size_t start = LineStart(line);
    return std::string_view(text_).substr(start, LineEnd(line) - start);
}

int64_t TextDocument::LineOf(size_t offset) const {
    const auto after = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    return static_cast<int64_t>(after - lineStarts_.begin()) - 1;
}

int64_t TextDocument::CharacterOf(int64_t line, size_t offset, PositionEncoding encoding) const {
    const size_t start = LineStart(line);
    const std::string_view before = std::string_view(text_).substr(start, offset - start);
    return encoding == PositionEncoding::Utf8 ? static_cast<int64_t>(before.size())
                                              : Utf16Length(before);
}

TextPosition TextDocument::PositionOf(size_t offset, PositionEncoding encoding) const {
    offset = std::min(offset, text_.size());
    const int64_t line = LineOf(offset);
    return {line, CharacterOf(line, offset, encoding)};
}

size_t TextDocument::OffsetOf(TextPosition position, PositionEncoding encoding) const {
    if (position.line < 0) {
        return 0;
    }
    if (position.line >= LineCount()) {
        return text_.size();
    }
    const std::string_view text = LineText(position.line);
    const size_t start = LineStart(position.line);
    const int64_t wanted = std::max<int64_t>(position.character, 0);
    if (encoding == PositionEncoding::Utf8) {
        size_t at = std::min(static_cast<size_t>(wanted), text.size());
        while (at > 0 && at < text.size() && IsContinuationByte(text[at])) {
            --at;
        }
        return start + at;
    }
    int64_t units = 0;
    size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const int64_t width = lead >= 0xF0 ? 2 : 1;
        if (units + width > wanted) {
            break;
        }
        units += width;
        ++at;
        while (at < text.size() && IsContinuationByte(text[at])) {
            ++at;
        }
    }
    return start + at;
}

void TextDocument::Replace(size_t from, size_t to, std::string_view replacement) {
    from = std::min(from, text_.size());
    to = std::clamp(to, from, text_.size());
    const size_t newEnd = from + replacement.size();
    // A CR just before the change may end its line alone, or no longer.
    const size_t window = from > 0 ? from - 1 : 0;
    loneCarriageReturns_ -= LoneCarriageReturns(text_, window, to);
    text_.replace(from, to - from, replacement);
    loneCarriageReturns_ += LoneCarriageReturns(text_, window, newEnd);
    loneCarriageReturn_ = loneCarriageReturns_ > 0;

    // Lines that start before the change stay (the first line always);
    // those that start after it move with the text; those in between are
    // found again.
    const auto first = std::lower_bound(lineStarts_.begin() + 1, lineStarts_.end(), from);
    const auto last = std::upper_bound(first, lineStarts_.end(), to);
    std::vector<size_t> found;
    LineStartsIn(text_, *std::prev(first), newEnd, found);
    const auto moved = static_cast<std::ptrdiff_t>(newEnd) - static_cast<std::ptrdiff_t>(to);
    for (auto start = last; start != lineStarts_.end(); ++start) {
        *start = static_cast<size_t>(static_cast<std::ptrdiff_t>(*start) + moved);
    }
    const auto at = lineStarts_.erase(first, last);
    lineStarts_.insert(at, found.begin(), found.end());

    const uint64_t before = revision_;
    NewRevision();
    if (changes_.size() == kKeptChanges) {
        changes_.erase(changes_.begin());
    }
    changes_.emplace_back(before, Change{from, to, newEnd});
}

std::optional<TextDocument::Change> TextDocument::ChangeSince(uint64_t revision) const {
    if (revision == revision_) {
        return Change{0, 0, 0};
    }
    auto it = std::find_if(changes_.begin(), changes_.end(),
                           [revision](const auto& change) { return change.first == revision; });
    if (it == changes_.end()) {
        return std::nullopt;
    }
    // One span that holds every change since.
    Change all = it->second;
    for (++it; it != changes_.end(); ++it) {
        const Change& next = it->second;
        const size_t middleEnd = std::max(all.newEnd, next.oldEnd);
        all.oldEnd += middleEnd - all.newEnd;
        all.newEnd = next.newEnd + (middleEnd - next.oldEnd);
        all.start = std::min(all.start, next.start);
    }
    return all;
}

void TextDocument::SetText(std::string text) {
    text_ = std::move(text);
    Reindex();
}

std::string TextDocument::TakeText() {
    std::string text = std::move(text_);
    SetText({});
    return text;
}

} // namespace kestrel::lsp
