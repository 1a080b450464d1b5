#include "features/structure/PascalLexer.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kestrel::lsp {

namespace {

bool IsWordStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

constexpr std::array<std::pair<std::string_view, Word>, 34> kWords{{
    {"unit", Word::Unit},
    {"program", Word::Program},
    {"library", Word::Library},
    {"interface", Word::Interface},
    {"implementation", Word::Implementation},
    {"initialization", Word::Initialization},
    {"finalization", Word::Finalization},
    {"uses", Word::Uses},
    {"begin", Word::Begin},
    {"end", Word::End},
    {"asm", Word::Asm},
    {"case", Word::Case},
    {"try", Word::Try},
    {"record", Word::Record},
    {"class", Word::Class},
    {"object", Word::Object},
    {"dispinterface", Word::Dispinterface},
    {"helper", Word::Helper},
    {"type", Word::Type},
    {"of", Word::Of},
    {"to", Word::To},
    {"packed", Word::Packed},
    {"bitpacked", Word::Packed},
    {"procedure", Word::Procedure},
    {"function", Word::Function},
    {"constructor", Word::Constructor},
    {"destructor", Word::Destructor},
    {"operator", Word::Operator},
    {"forward", Word::Forward},
    {"external", Word::External},
    {"generic", Word::Generic},
    {"var", Word::Var},
    {"const", Word::Const},
    {"threadvar", Word::Var},
}};

// What the lexer does at a character before a token: nearly every one is a
// blank or starts a name, and one table lookup tells.
enum CharClass : uint8_t { Other, Blank, LineBreak, Brace, Paren, Slash };

constexpr std::array<CharClass, 256> kCharClasses = [] {
    std::array<CharClass, 256> classes{};
    for (int c = 0; c < 0x20; ++c) {
        classes[static_cast<size_t>(c)] = Blank;
    }
    classes[' '] = Blank;
    classes['\n'] = LineBreak;
    classes['\r'] = LineBreak;
    classes['{'] = Brace;
    classes['('] = Paren;
    classes['/'] = Slash;
    return classes;
}();

// The words by first letter and length; no more than two share both
// ("class" and "const", "unit" and "uses"). Most names find an empty place
// and are turned away without folding a character.
struct WordPlace {
    std::array<std::pair<std::string_view, Word>, 2> words{};
};
constexpr size_t kLongestWord = 14;

constexpr std::array<WordPlace, 26 * (kLongestWord + 1)> kWordPlaces = [] {
    std::array<WordPlace, 26 * (kLongestWord + 1)> places{};
    const auto add = [&places](std::string_view word, Word value) {
        WordPlace& place =
            places[static_cast<size_t>(word[0] - 'a') * (kLongestWord + 1) + word.size()];
        if (!place.words[1].first.empty()) {
            throw "three words of the same first letter and length"; // stops the build
        }
        (place.words[0].first.empty() ? place.words[0] : place.words[1]) = {word, value};
    };
    for (const auto& [word, value] : kWords) {
        add(word, value);
    }
    add("in", Word::In);
    return places;
}();

// For each first letter, the lengths of the words it begins, as bits: most
// names are turned away by these alone.
constexpr std::array<uint16_t, 26> kWordLengths = [] {
    std::array<uint16_t, 26> lengths{};
    for (size_t letter = 0; letter < 26; ++letter) {
        for (size_t length = 0; length <= kLongestWord; ++length) {
            if (!kWordPlaces[letter * (kLongestWord + 1) + length].words[0].first.empty()) {
                lengths[letter] |= static_cast<uint16_t>(1u << length);
            }
        }
    }
    return lengths;
}();

} // namespace

Word WordOf(std::string_view text) {
    if (text.size() < 2 || text.size() > kLongestWord) {
        return Word::None;
    }
    const char first = LowerAscii(text[0]);
    if (first < 'a' || first > 'z' ||
        ((kWordLengths[static_cast<size_t>(first - 'a')] >> text.size()) & 1) == 0) {
        return Word::None;
    }
    const WordPlace& place =
        kWordPlaces[static_cast<size_t>(first - 'a') * (kLongestWord + 1) + text.size()];
    for (const auto& [word, value] : place.words) {
        if (word.empty()) {
            break;
        }
        bool same = true;
        for (size_t i = 1; i < word.size() && same; ++i) {
            same = LowerAscii(text[i]) == word[i];
        }
        if (same) {
            return value;
        }
    }
    return Word::None;
}

void PascalLexer::Resume(const SourceStructure::Checkpoint& checkpoint) {
    at_ = checkpoint.token.start;
    const size_t lastBreak = text_.substr(0, at_).find_last_of("\r\n");
    lineStart_ = lastBreak == std::string_view::npos ? 0 : lastBreak + 1;
    firstOnLine_ = true;
    openRegions_ = checkpoint.openRegions;
}

// Inlined into Read: a call a token costs more than most tokens.
[[gnu::always_inline]] inline bool PascalLexer::ReadToken(Token& token) {
    const char* const begin = text_.data();
    const char* const end = begin + text_.size();
    while (at_ < text_.size()) {
        const char* p = begin + at_;
        // Runs of blanks (indentation, mostly) in a tight loop.
        while (p != end && kCharClasses[static_cast<unsigned char>(*p)] == Blank) {
            ++p;
        }
        at_ = static_cast<size_t>(p - begin);
        if (p == end) {
            break;
        }
        const char c = *p;
        switch (kCharClasses[static_cast<unsigned char>(c)]) {
        case LineBreak:
            NewLine();
            continue;
        case Brace:
            Comment(at_ + 1, "}");
            continue;
        case Paren:
            if (Peek() == '*') {
                Comment(at_ + 2, "*)");
                continue;
            }
            break;
        case Slash:
            if (Peek() == '/') {
                // To the line's end: its LF, or a lone CR before it.
                const size_t lineFeed = std::min(text_.find('\n', at_), text_.size());
                at_ = std::min(lineFeed, text_.substr(0, lineFeed).find('\r', at_));
                continue;
            }
            break;
        case Blank:
        case Other:
            break;
        }
        token.start = at_;
        token.firstOnLine = firstOnLine_;
        token.column = firstOnLine_ ? Column() : 0;
        token.word = Word::None;
        token.symbol = 0;
        if (firstOnLine_ && lineStartsOut_ != nullptr) {
            lineStartsOut_->push_back(
                {tokenIndex_, openRegions_, out_.comments.size(), out_.regions.size()});
        }
        firstOnLine_ = false;
        if (IsWordStart(c) || (c == '&' && IsWordStart(Peek()))) {
            const char* const word = c == '&' ? p + 1 : p;
            const char* q = word + 1;
            while (q != end && IsNameChar(*q)) {
                ++q;
            }
            at_ = static_cast<size_t>(q - begin);
            token.kind = Token::Name;
            token.word = c == '&' ? Word::None
                                  : WordOf(std::string_view(word, static_cast<size_t>(q - word)));
        } else if (c == '\'' || c == '#') {
            Literal();
            token.kind = Token::Literal;
        } else if ((c >= '0' && c <= '9') || c == '$' || c == '%' || c == '&') {
            ++at_;
            while (at_ < text_.size() && (IsNameChar(text_[at_]) || text_[at_] == '.') &&
                   !(text_[at_] == '.' && Peek() == '.')) {
                ++at_;
            }
            token.kind = Token::Literal;
        } else {
            // `:=`, `..`, `<=`, `>=`, `<>`, `**` and `><` are one token,
            // which no one-character symbol compares equal to.
            const char next = Peek();
            const bool pair = (next == '=' && (c == ':' || c == '<' || c == '>')) ||
                              (c == '.' && next == '.') || (c == '<' && next == '>') ||
                              (c == '*' && next == '*') || (c == '>' && next == '<');
            at_ += pair ? 2 : 1;
            token.kind = Token::Symbol;
            token.symbol = pair ? Token::kPair : c;
        }
        token.end = at_;
        return true;
    }
    return false;
}

size_t PascalLexer::Read(std::vector<Token>& tokens, size_t count,
                         std::vector<LineStart>* lineStarts) {
    lineStartsOut_ = lineStarts_ ? lineStarts : nullptr;
    size_t read = 0;
    for (; read < count; ++read) {
        tokenIndex_ = tokens.size();
        if (!ReadToken(tokens.emplace_back())) {
            tokens.pop_back();
            break;
        }
    }
    lineStartsOut_ = nullptr;
    return read;
}

uint32_t PascalLexer::Column() const {
    uint32_t column = 0;
    for (size_t i = lineStart_; i < at_; ++i) {
        column = text_[i] == '\t' ? (column / 8 + 1) * 8 : column + 1;
    }
    return column;
}

void PascalLexer::NewLine() {
    at_ += text_[at_] == '\r' && Peek() == '\n' ? 2 : 1;
    lineStart_ = at_;
    firstOnLine_ = true;
}

void PascalLexer::Comment(size_t body, std::string_view close) {
    const size_t start = at_;
    const size_t found = text_.find(close, body);
    const size_t end = found == std::string_view::npos ? text_.size() : found + close.size();
    const std::string_view inner = text_.substr(body, end - body);
    if (close == "}" && inner.starts_with('$')) {
        Directive(start, end, inner.substr(1));
    }
    // Most comments end on their own line: two quick searches tell.
    const std::string_view comment = text_.substr(start, end - start);
    if (comment.find('\n') != std::string_view::npos ||
        comment.find('\r') != std::string_view::npos) {
        lineStart_ = start + comment.find_last_of("\r\n") + 1;
        out_.comments.push_back({start, end});
    }
    at_ = end;
}

void PascalLexer::Directive(size_t start, size_t end, std::string_view text) {
    const auto starts = [&text](std::string_view word) {
        if (text.size() < word.size()) {
            return false;
        }
        for (size_t i = 0; i < word.size(); ++i) {
            if (LowerAscii(text[i]) != word[i]) {
                return false;
            }
        }
        return text.size() == word.size() || !IsNameChar(text[word.size()]);
    };
    if (starts("region")) {
        openRegions_.push_back(start);
    } else if (starts("endregion") && !openRegions_.empty()) {
        out_.regions.push_back({openRegions_.back(), end});
        openRegions_.pop_back();
    }
}

void PascalLexer::Literal() {
    while (at_ < text_.size()) {
        if (text_[at_] == '#') {
            ++at_;
            while (at_ < text_.size() && (IsNameChar(text_[at_]) || text_[at_] == '$')) {
                ++at_;
            }
        } else if (text_[at_] == '\'') {
            ++at_;
            while (at_ < text_.size() && text_[at_] != '\'' && text_[at_] != '\n' &&
                   text_[at_] != '\r') {
                ++at_;
            }
            at_ += at_ < text_.size() && text_[at_] == '\'' ? 1 : 0;
        } else {
            return;
        }
    }
}

} // namespace kestrel::lsp
