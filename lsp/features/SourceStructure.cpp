#include "features/SourceStructure.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kestrel::lsp {

namespace {

using Structure = SourceStructure;
constexpr size_t kNone = Structure::kNone;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsWordStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// The words the reader acts on.
enum Word : uint8_t {
    None,
    Unit,
    Program,
    Library,
    Interface,
    Implementation,
    Initialization,
    Finalization,
    Uses,
    Begin,
    End,
    Asm,
    Case,
    Try,
    Record,
    Class,
    Object,
    Dispinterface,
    Helper,
    Type,
    Of,
    To,
    Packed,
    Procedure,
    Function,
    Constructor,
    Destructor,
    Operator,
    Forward,
    External,
    Generic,
    Var,
    Const,
    In,
};

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

Word WordOf(std::string_view text) {
    if (text.size() < 2 || text.size() > 14) {
        return Word::None;
    }
    char folded[16];
    for (size_t i = 0; i < text.size(); ++i) {
        folded[i] = Lower(text[i]);
    }
    const std::string_view key(folded, text.size());
    // Most names are no word: only the words of the same first letter and
    // length are compared.
    static const auto kByLetter = [] {
        std::array<std::vector<std::pair<std::string_view, Word>>, 26> byLetter;
        for (const auto& entry : kWords) {
            byLetter[static_cast<size_t>(entry.first[0] - 'a')].push_back(entry);
        }
        byLetter[static_cast<size_t>('i' - 'a')].push_back({"in", Word::In});
        return byLetter;
    }();
    if (key[0] < 'a' || key[0] > 'z') {
        return Word::None;
    }
    for (const auto& [word, value] : kByLetter[static_cast<size_t>(key[0] - 'a')]) {
        if (word.size() == key.size() && word == key) {
            return value;
        }
    }
    return Word::None;
}

using Token = Structure::Token;

// Splits the text into names, symbols and literals; comments are left out
// and those of several lines (and regions) noted.
class Lexer {
public:
    Lexer(std::string_view text, Structure& out) : text_(text), out_(out) {}

    // Goes on from the first token of a line, `checkpoint.token`, as it
    // stood when that token was read.
    void Resume(const Structure::Checkpoint& checkpoint) {
        at_ = checkpoint.token.start;
        const size_t lastBreak = text_.substr(0, at_).find_last_of("\r\n");
        lineStart_ = lastBreak == std::string_view::npos ? 0 : lastBreak + 1;
        firstOnLine_ = true;
        openRegions_ = checkpoint.openRegions;
    }

    // How far the text has been read: nothing at or after Position() + 1
    // has been looked at.
    size_t Position() const { return at_; }
    // The regions open, and what was noted, before the last token that
    // began a line.
    const std::vector<size_t>& LineOpenRegions() const { return lineOpenRegions_; }
    size_t LineComments() const { return lineComments_; }
    size_t LineRegions() const { return lineRegions_; }

    // The next token; false at the end of the text.
    bool Next(Token& token) {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '\n' || c == '\r') {
                NewLine();
                continue;
            }
            if (c == ' ' || c == '\t' || static_cast<unsigned char>(c) < 0x20) {
                ++at_;
                continue;
            }
            if (c == '{') {
                Comment(at_ + 1, "}");
                continue;
            }
            if (c == '(' && Next() == '*') {
                Comment(at_ + 2, "*)");
                continue;
            }
            if (c == '/' && Next() == '/') {
                while (at_ < text_.size() && text_[at_] != '\n' && text_[at_] != '\r') {
                    ++at_;
                }
                continue;
            }
            token = Token{};
            token.start = at_;
            token.firstOnLine = firstOnLine_;
            token.column = firstOnLine_ ? Column() : 0;
            if (firstOnLine_) {
                lineOpenRegions_ = openRegions_;
                lineComments_ = out_.comments.size();
                lineRegions_ = out_.regions.size();
            }
            firstOnLine_ = false;
            if (IsWordStart(c) || (c == '&' && IsWordStart(Next()))) {
                at_ += c == '&' ? 1 : 0;
                const size_t word = at_;
                while (at_ < text_.size() && IsNameChar(text_[at_])) {
                    ++at_;
                }
                token.kind = Token::Name;
                token.word = c == '&' ? Word::None : WordOf(text_.substr(word, at_ - word));
            } else if (c == '\'' || c == '#') {
                Literal();
                token.kind = Token::Literal;
            } else if ((c >= '0' && c <= '9') || c == '$' || c == '%' || c == '&') {
                ++at_;
                while (at_ < text_.size() && (IsNameChar(text_[at_]) || text_[at_] == '.') &&
                       !(text_[at_] == '.' && Next() == '.')) {
                    ++at_;
                }
                token.kind = Token::Literal;
            } else {
                // `:=`, `..`, `<=`, `>=`, `<>`, `**` and `><` are one token,
                // which no one-character symbol compares equal to.
                const char next = Next();
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

private:
    // The column of `at_` as an editor shows it, tabs every eight.
    uint32_t Column() const {
        uint32_t column = 0;
        for (size_t i = lineStart_; i < at_; ++i) {
            column = text_[i] == '\t' ? (column / 8 + 1) * 8 : column + 1;
        }
        return column;
    }

    char Next() const { return at_ + 1 < text_.size() ? text_[at_ + 1] : '\0'; }

    void NewLine() {
        at_ += text_[at_] == '\r' && Next() == '\n' ? 2 : 1;
        lineStart_ = at_;
        firstOnLine_ = true;
    }

    // A comment from its opening at `at_` to its closing `close`, or to the
    // end of the text.
    void Comment(size_t body, std::string_view close) {
        const size_t start = at_;
        const size_t found = text_.find(close, body);
        const size_t end = found == std::string_view::npos ? text_.size() : found + close.size();
        const std::string_view inner = text_.substr(body, end - body);
        if (close == "}" && inner.starts_with('$')) {
            Directive(start, end, inner.substr(1));
        }
        const size_t lastBreak = text_.substr(start, end - start).find_last_of("\r\n");
        if (lastBreak != std::string_view::npos) {
            lineStart_ = start + lastBreak + 1;
            out_.comments.push_back({start, end});
        }
        at_ = end;
    }

    void Directive(size_t start, size_t end, std::string_view text) {
        const auto starts = [&text](std::string_view word) {
            if (text.size() < word.size()) {
                return false;
            }
            for (size_t i = 0; i < word.size(); ++i) {
                if (Lower(text[i]) != word[i]) {
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

    // A string, or characters by code (`#13#10'text'`), as one literal.
    void Literal() {
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

    std::string_view text_;
    Structure& out_;
    size_t at_ = 0;
    size_t lineStart_ = 0;
    bool firstOnLine_ = true;
    std::vector<size_t> openRegions_;
    std::vector<size_t> lineOpenRegions_;
    size_t lineComments_ = 0;
    size_t lineRegions_ = 0;
};

bool IsHeadingWord(Word word) {
    return word == Word::Procedure || word == Word::Function || word == Word::Constructor ||
           word == Word::Destructor || word == Word::Operator;
}

RoutineKind KindOf(Word word) {
    switch (word) {
    case Word::Function:
        return RoutineKind::Function;
    case Word::Constructor:
        return RoutineKind::Constructor;
    case Word::Destructor:
        return RoutineKind::Destructor;
    case Word::Operator:
        return RoutineKind::Operator;
    default:
        return RoutineKind::Procedure;
    }
}

// Reads the tokens into the structure.
class Parser {
public:
    Parser(std::string_view text, Structure& out, Checkpoints checkpoints = Checkpoints::Kept)
        : text_(text), lexer_(text, out), checkpoints_(checkpoints == Checkpoints::Kept),
          out_(out) {}

    // Goes on from `checkpoint`, which `out` holds what was found before.
    void Resume(const Structure::Checkpoint& checkpoint) {
        lexer_.Resume(checkpoint);
        tokens_.assign(1, checkpoint.previous);
        base_ = 0;
        i_ = 1;
        inheritedRead_ = checkpoint.read;
    }

    // Reads to the end, or until `stop` says that the state at a
    // checkpoint just taken is known.
    template <class Stop> void Run(Stop&& stop) {
        while (Has(i_)) {
            DropPassedTokens();
            if (checkpoints_ && CheckpointTaken() && stop(out_.checkpoints.back())) {
                return;
            }
            Step();
        }
        CloseTypes(text_.size());
        CloseRoutines(0, true);
    }

private:
    // An open routine: its heading read, its body awaited or being read.
    struct Open {
        int routine = -1; // -1 for a main block or an initialization part
        uint32_t column = 0;
        int depth = 0; // 0 until its BEGIN
    };
    // An open type, and the anonymous records open inside it.
    struct OpenType {
        int type = 0;
        uint32_t column = 0;
        int records = 0;
    };

    // Whether there is a token `i`, read when first asked for. Tokens are
    // read only as far as the parser looks, so that a checkpoint knows how
    // far its state depends on the text.
    bool Has(size_t i) const { return i - base_ < tokens_.size() || ReadTo(i); }
    // Reads tokens until there is a token `i`, or the text ends.
    [[gnu::noinline]] bool ReadTo(size_t i) const {
        if (i == kNone || i < base_) {
            return false; // before the first token
        }
        while (!ended_ && i - base_ >= tokens_.size()) {
            Token token;
            if (!lexer_.Next(token)) {
                ended_ = true;
                break;
            }
            if (token.firstOnLine && checkpoints_) {
                lineStarts_.push_back({base_ + tokens_.size(), lexer_.LineOpenRegions(),
                                       lexer_.LineComments(), lexer_.LineRegions()});
            }
            tokens_.push_back(token);
        }
        return i - base_ < tokens_.size();
    }
    // Token `i`; past the end of the text (or before its start), a
    // literal that no test of a word or symbol takes.
    const Token& T(size_t i) const {
        static const Token kEnd{0, 0, 0, Token::Literal, Word::None, false};
        return i - base_ < tokens_.size() || ReadTo(i) ? tokens_[i - base_] : kEnd;
    }

    // The parser looks back one token at most, so the tokens before that
    // are let go now and then: what it holds stays small and in cache.
    void DropPassedTokens() {
        if (i_ - base_ < kTokensKept) {
            return;
        }
        const size_t drop = i_ - 1 - base_;
        tokens_.erase(tokens_.begin(), tokens_.begin() + static_cast<std::ptrdiff_t>(drop));
        base_ += drop;
    }
    const Token& At(size_t i) const { return T(i); }
    std::string_view Text(const Token& token) const {
        return text_.substr(token.start, token.end - token.start);
    }
    bool IsSymbol(size_t i, char symbol) const {
        const Token& token = T(i);
        return token.kind == Token::Symbol && token.symbol == symbol;
    }
    Word WordAt(size_t i) const { return static_cast<Word>(T(i).word); }

    // A checkpoint where a type or routine has just closed, and now and
    // then in a long run of declarations.
    bool CheckpointTaken() {
        if (!types_.empty() || !open_.empty()) {
            busy_ = true;
            return false;
        }
        if (!T(i_).firstOnLine || i_ < 1 || (!busy_ && i_ < lastCheckpoint_ + kCheckpointSpacing)) {
            return false;
        }
        TakeCheckpoint();
        return true;
    }

    void TakeCheckpoint() {
        lastCheckpoint_ = i_;
        busy_ = false;
        Structure::Checkpoint checkpoint;
        checkpoint.token = T(i_);
        checkpoint.previous = T(i_ - 1);
        checkpoint.read = std::max(lexer_.Position(), inheritedRead_);
        while (lineStarts_[lineHead_].token < i_) {
            ++lineHead_;
        }
        LineStart& line = lineStarts_[lineHead_]; // the checkpoint's token begins a line
        checkpoint.openRegions = std::move(line.openRegions);
        checkpoint.comments = line.comments;
        checkpoint.regions = line.regions;
        if (lineHead_ > 64 && lineHead_ * 2 > lineStarts_.size()) {
            lineStarts_.erase(lineStarts_.begin(),
                              lineStarts_.begin() + static_cast<std::ptrdiff_t>(lineHead_));
            lineHead_ = 0;
        }
        checkpoint.types = out_.types.size();
        checkpoint.routines = out_.routines.size();
        checkpoint.uses = out_.uses.size();
        checkpoint.interfaceStart = out_.interfaceStart;
        checkpoint.implementationStart = out_.implementationStart;
        checkpoint.sectionsEnd = out_.sectionsEnd;
        out_.checkpoints.push_back(std::move(checkpoint));
    }

    void Step() {
        const Token token = T(i_);
        switch (token.word) {
        case Word::Interface:
            if (!IsSymbol(i_ - 1, '=') && types_.empty() && open_.empty()) {
                out_.interfaceStart = token.start;
                ++i_;
                return;
            }
            break;
        case Word::Implementation:
            CloseTypes(token.start);
            CloseRoutines(0, true);
            out_.implementationStart = token.start;
            ++i_;
            return;
        case Word::Initialization:
        case Word::Finalization:
            CloseTypes(token.start);
            if (open_.empty() || open_.front().routine != -1) {
                CloseRoutines(0, true);
                open_.push_back({-1, token.column, 1});
            }
            if (out_.implementationStart != kNone && out_.sectionsEnd == kNone) {
                out_.sectionsEnd = token.start;
            }
            ++i_;
            return;
        case Word::Uses:
            if (types_.empty()) {
                Uses();
                return;
            }
            break;
        default:
            break;
        }
        if (!types_.empty()) {
            InType();
        } else if (!open_.empty() && open_.back().depth > 0) {
            InBody();
        } else {
            InDeclarations();
        }
    }

    // Inside a type's declaration.
    void InType() {
        const Token token = T(i_);
        OpenType& open = types_.back();
        if (token.word == Word::End) {
            if (open.records > 0) {
                --open.records;
            } else {
                out_.types[open.type].end = token.end;
                types_.pop_back();
            }
            ++i_;
            return;
        }
        const bool declaration = IsHeadingStart(i_) || token.word == Word::Type ||
                                 token.word == Word::Var || token.word == Word::Const;
        if (IsHeadingStart(i_) && IsResolutionClause(i_)) {
            // `function IFoo.Bar = Baz;` names the member that implements
            // an interface's method: a member, not a method's body.
            while (Has(i_) && !IsSymbol(i_, ';')) {
                ++i_;
            }
            ++i_;
            return;
        }
        if (token.word == Word::Begin || (IsHeadingStart(i_) && IsQualifiedHeading(i_))) {
            // Code that no type holds: the type was never closed.
            CloseTypes(token.start);
            return;
        }
        if (declaration && token.firstOnLine && token.column < open.column) {
            // A declaration left of the type's name: the type lacks its
            // `end`.
            while (!types_.empty() && token.column < types_.back().column) {
                CloseType(token.start);
            }
            return;
        }
        if (TypeDeclaration()) {
            return;
        }
        if (token.word == Word::Record) {
            ++open.records;
            ++i_;
            return;
        }
        if (IsHeadingStart(i_)) {
            Heading(false);
            return;
        }
        ++i_;
    }

    // Inside a routine's or block's statements.
    void InBody() {
        const Token token = T(i_);
        Open& open = open_.back();
        if (IsHeadingStart(i_) && token.firstOnLine &&
            (token.column <= open.column || IsQualifiedHeading(i_))) {
            // A heading where the body's statements should be: the body
            // was never closed.
            CloseRoutines(token.column, IsQualifiedHeading(i_));
            return;
        }
        switch (token.word) {
        case Word::Begin:
        case Word::Asm:
        case Word::Case:
        case Word::Try:
        case Word::Record:
            ++open.depth;
            break;
        case Word::End:
            if (--open.depth == 0) {
                if (open.routine >= 0) {
                    out_.routines[open.routine].bodyEnd = token.end;
                } else if (out_.implementationStart != kNone && out_.sectionsEnd == kNone) {
                    out_.sectionsEnd = token.start;
                }
                open_.pop_back();
            }
            break;
        default:
            break;
        }
        ++i_;
    }

    // Between routines, or among a routine's declarations before its BEGIN.
    void InDeclarations() {
        const Token token = T(i_);
        if (TypeDeclaration()) {
            return;
        }
        if (IsHeadingStart(i_)) {
            Heading(true);
            return;
        }
        if (token.word == Word::Begin || token.word == Word::Asm) {
            if (!open_.empty()) {
                open_.back().depth = 1;
            } else {
                // A program's main block, or a unit's old-style
                // initialization.
                if (out_.implementationStart != kNone && out_.sectionsEnd == kNone) {
                    out_.sectionsEnd = token.start;
                }
                open_.push_back({-1, token.column, 1});
            }
        } else if (token.word == Word::End && open_.empty() && IsSymbol(i_ + 1, '.') &&
                   out_.implementationStart != kNone && out_.sectionsEnd == kNone) {
            out_.sectionsEnd = token.start;
        }
        ++i_;
    }

    void Uses() {
        ++i_;
        std::string name;
        for (; Has(i_) && !IsSymbol(i_, ';'); ++i_) {
            const Token token = T(i_);
            if (IsHeadingStart(i_) || token.word == Word::Begin || token.word == Word::Type) {
                break; // a uses clause cut off
            }
            if (token.kind == Token::Name && token.word != Word::In) {
                name = FoldName(Text(token));
            } else if (IsSymbol(i_, ',') && !name.empty()) {
                out_.uses.push_back(std::exchange(name, {}));
            }
        }
        if (!name.empty()) {
            out_.uses.push_back(std::move(name));
        }
        ++i_;
    }

    bool IsHeadingStart(size_t i) const {
        const Word word = WordAt(i);
        const size_t heading = word == Word::Class ? i + 1 : i;
        if (!IsHeadingWord(WordAt(heading)) || At(heading + 1).kind == Token::Literal) {
            return false;
        }
        if (word != Word::Class && i > 0) {
            // A procedural type or parameter: `= procedure`, `: function`,
            // `of procedure`, `reference to procedure`.
            const Token before = T(i - 1);
            if (IsSymbol(i - 1, '=') || IsSymbol(i - 1, ':') || IsSymbol(i - 1, '(') ||
                IsSymbol(i - 1, ',') || before.word == Word::Of || before.word == Word::To) {
                return false;
            }
        }
        // A heading names something: a name, or an operator's symbol.
        const Token name = At(heading + 1);
        return name.kind == Token::Name ||
               (WordAt(heading) == Word::Operator && name.kind == Token::Symbol &&
                !IsSymbol(heading + 1, '(') && !IsSymbol(heading + 1, ';'));
    }

    // `TFoo.Bar` and `TFoo<T>.Bar`; not a generic method's own `Bar<T>(`.
    bool IsQualifiedHeading(size_t i) const {
        const size_t name = (WordAt(i) == Word::Class ? i + 1 : i) + 1;
        return Has(name) && T(name).kind == Token::Name && IsSymbol(SkipAngles(name + 1), '.');
    }

    // `function IFoo.Bar = Baz;`, `procedure IFoo<T>.Bar = Baz;`.
    bool IsResolutionClause(size_t i) const {
        if (!IsQualifiedHeading(i)) {
            return false;
        }
        const size_t name = (WordAt(i) == Word::Class ? i + 1 : i) + 1;
        const size_t dot = SkipAngles(name + 1);
        return T(dot + 1).kind == Token::Name && IsSymbol(SkipAngles(dot + 2), '=');
    }

    // Skips a generic's `<…>` at `i`.
    size_t SkipAngles(size_t i) const {
        if (!IsSymbol(i, '<')) {
            return i;
        }
        int depth = 0;
        for (; Has(i); ++i) {
            if (IsSymbol(i, '<')) {
                ++depth;
            } else if (IsSymbol(i, '>') && --depth == 0) {
                return i + 1;
            } else if (IsSymbol(i, ';') || IsSymbol(i, '(')) {
                return i;
            }
        }
        return i;
    }

    // `Name = class …`, `Name<T> = packed record`, …: opens a type that
    // holds members. A forward declaration (`Name = class;`) or a class
    // reference (`class of`) opens none.
    bool TypeDeclaration() {
        const Token name = T(i_);
        if (name.kind != Token::Name || name.word != Word::None) {
            return false;
        }
        size_t at = SkipAngles(i_ + 1);
        if (!IsSymbol(at, '=')) {
            return false;
        }
        ++at;
        if (WordAt(at) == Word::Packed) {
            ++at;
        }
        const size_t kindAt = at;
        Structure::TypeKind kind;
        switch (WordAt(at)) {
        case Word::Class:
            kind = Structure::TypeKind::Class;
            break;
        case Word::Object:
            kind = Structure::TypeKind::Object;
            break;
        case Word::Record:
            kind = Structure::TypeKind::Record;
            break;
        case Word::Interface:
        case Word::Dispinterface:
            kind = Structure::TypeKind::Interface;
            break;
        case Word::Type:
            if (WordAt(at + 1) != Word::Helper) {
                return false;
            }
            kind = Structure::TypeKind::Helper;
            break;
        default:
            return false;
        }
        ++at;
        if (WordAt(at) == Word::Helper) {
            kind = Structure::TypeKind::Helper;
        }
        if (WordAt(at) == Word::Of || IsSymbol(at, ';')) {
            i_ = at;
            return true; // a class reference or a forward declaration
        }
        // The opening words: `class(TShape)`, `class helper for TFoo`.
        size_t detailEnd = at;
        if (IsSymbol(at, '(')) {
            while (Has(detailEnd) && !IsSymbol(detailEnd, ')') && !IsSymbol(detailEnd, ';')) {
                ++detailEnd;
            }
            if (IsSymbol(detailEnd, ';')) {
                i_ = detailEnd; // `class(TParent);`: declared whole, no members
                return true;
            }
            ++detailEnd;
        } else if (kind == Structure::TypeKind::Helper) {
            while (Has(detailEnd) && T(detailEnd).kind == Token::Name &&
                   WordAt(detailEnd) != Word::Procedure && WordAt(detailEnd) != Word::Function &&
                   detailEnd < at + 4) {
                ++detailEnd;
            }
        }
        if (IsSymbol(detailEnd, ';') && kind != Structure::TypeKind::Record) {
            i_ = detailEnd; // `class(TParent);` or `class sealed;`
            return true;
        }
        // A type at or left of the open type's column is no member of it:
        // that type lacks its `end`.
        const uint32_t column = name.firstOnLine ? name.column
                                : types_.empty() ? 0
                                                 : types_.back().column + 1;
        while (!types_.empty() && name.firstOnLine && column <= types_.back().column) {
            CloseType(name.start);
        }
        Structure::TypeSpan type;
        type.name = std::string(Text(name));
        type.nameStart = name.start;
        type.nameEnd = name.end;
        type.kind = kind;
        type.parent = types_.empty() ? -1 : types_.back().type;
        const size_t detailLast = std::max(detailEnd, kindAt + 1) - 1;
        type.detail = Simplify(text_.substr(T(kindAt).start, T(detailLast).end - T(kindAt).start));
        out_.types.push_back(std::move(type));
        types_.push_back({static_cast<int>(out_.types.size() - 1), column, 0});
        i_ = std::max(detailEnd, kindAt + 1);
        return true;
    }

    // Reads a heading at i_; `mayHaveBody` outside types.
    void Heading(bool mayHaveBody) {
        const Token first = T(i_);
        Structure::Routine routine;
        routine.start = first.start;
        if (first.word == Word::Class) {
            ++i_;
        }
        routine.kind = KindOf(WordAt(i_));
        ++i_;
        // The name, maybe qualified: `TOuter.TInner<T>.Name`.
        std::vector<std::string_view> parts;
        size_t nameToken = i_;
        for (;;) {
            nameToken = i_;
            parts.push_back(Text(T(i_)));
            i_ = SkipAngles(i_ + 1);
            if (!IsSymbol(i_, '.') || At(i_ + 1).kind != Token::Name) {
                break;
            }
            ++i_;
        }
        // An operator named by a symbol of two tokens (`operator :=`).
        routine.name = std::string(parts.back());
        routine.nameStart = T(nameToken).start;
        routine.nameEnd = T(nameToken).end;
        parts.pop_back();
        for (const std::string_view part : parts) {
            routine.qualifier += routine.qualifier.empty() ? "" : ".";
            routine.qualifier += part;
        }
        if (IsSymbol(i_, '(')) {
            int depth = 0;
            std::string& key = routine.parameters;
            for (; Has(i_); ++i_) {
                if (IsSymbol(i_, '(')) {
                    ++depth;
                } else if (IsSymbol(i_, ')') && --depth == 0) {
                    ++i_;
                    break;
                }
                if (IsHeadingStart(i_) && T(i_).firstOnLine) {
                    break; // a parameter list cut off
                }
                if (depth == 1 && IsSymbol(i_, '=')) {
                    // A default value: a declaration may give it, its
                    // implementation need not.
                    int inner = 0;
                    for (; Has(i_ + 1); ++i_) {
                        if (IsSymbol(i_ + 1, '(') || IsSymbol(i_ + 1, '[')) {
                            ++inner;
                        } else if ((IsSymbol(i_ + 1, ')') || IsSymbol(i_ + 1, ']')) && inner > 0) {
                            --inner;
                        } else if (inner == 0 && (IsSymbol(i_ + 1, ';') || IsSymbol(i_ + 1, ')'))) {
                            break;
                        }
                    }
                    continue;
                }
                if (!key.empty() && IsNameChar(key.back()) && IsNameChar(text_[T(i_).start])) {
                    key += ' ';
                }
                for (const char c : Text(T(i_))) {
                    key += Lower(c);
                }
            }
        }
        // The result (and an operator's result name), up to the `;`.
        size_t end = i_ > 0 ? T(i_ - 1).end : first.end;
        if (IsSymbol(i_, ':') || (routine.kind == RoutineKind::Operator &&
                                  At(i_).kind == Token::Name && IsSymbol(i_ + 1, ':'))) {
            while (Has(i_) && !IsSymbol(i_, ';') && !IsSymbol(i_, '=') &&
                   !(T(i_).firstOnLine && IsHeadingStart(i_))) {
                end = T(i_).end;
                ++i_;
            }
        }
        if (IsSymbol(i_, ';')) {
            end = T(i_).end;
            ++i_;
        }
        routine.end = end;
        routine.owner = types_.empty() ? -1 : types_.back().type;
        const bool inInterface =
            out_.interfaceStart != kNone && out_.implementationStart == kNone && open_.empty();
        // A qualified name (`TFoo.Bar`) is always an implementation, also
        // where the IMPLEMENTATION keyword was not seen (it may stand in an
        // include file).
        routine.body = mayHaveBody && (!inInterface || !routine.qualifier.empty()) && !IsForward();
        out_.routines.push_back(std::move(routine));
        if (out_.routines.back().body) {
            open_.push_back({static_cast<int>(out_.routines.size() - 1), first.column, 0});
        }
    }

    // Whether the directives after a heading say it has no body here.
    bool IsForward() const {
        for (size_t i = i_; i < i_ + 16 && Has(i); ++i) {
            const Word word = WordAt(i);
            if (word == Word::Forward || word == Word::External) {
                return true;
            }
            if (word != Word::None || IsHeadingStart(i) || IsSymbol(i, '=')) {
                return false;
            }
        }
        return false;
    }

    void CloseType(size_t at) {
        Structure::TypeSpan& type = out_.types[types_.back().type];
        type.end = at;
        type.broken = true;
        types_.pop_back();
    }

    // Closes every open type at `at`: none got its `end`.
    void CloseTypes(size_t at) {
        while (!types_.empty()) {
            CloseType(at);
        }
    }

    // Closes the routines open at `column` or right of it (every one when
    // `all`): their bodies never ended.
    void CloseRoutines(uint32_t column, bool all) {
        while (!open_.empty() && (all || open_.back().column >= column)) {
            open_.pop_back();
        }
    }

    std::string Simplify(std::string_view text) const {
        std::string out;
        for (const char c : text) {
            if (static_cast<unsigned char>(c) <= ' ') {
                if (!out.empty() && out.back() != ' ') {
                    out += ' ';
                }
            } else {
                out += c;
            }
        }
        while (!out.empty() && out.back() == ' ') {
            out.pop_back();
        }
        return out;
    }

    std::string_view text_;
    static constexpr size_t kCheckpointSpacing = 512;

    Lexer mutable lexer_;
    // The tokens read, from the first one of the text or from the token
    // before the checkpoint the parser went on from. Reading more may move
    // them: the parser keeps copies, not references.
    mutable std::vector<Token> tokens_;
    size_t base_ = 0; // the number of the first token in `tokens_`
    static constexpr size_t kTokensKept = 4096;
    mutable bool ended_ = false;
    // What the lexer had noted before each token that begins a line, from
    // the last checkpoint on.
    struct LineStart {
        size_t token = 0;
        std::vector<size_t> openRegions;
        size_t comments = 0;
        size_t regions = 0;
    };
    mutable std::vector<LineStart> lineStarts_;
    bool checkpoints_ = true;
    size_t lineHead_ = 0; // the first one the parser has not passed
    bool busy_ = true;    // a type or routine was open since the last checkpoint
    size_t lastCheckpoint_ = 0;
    size_t inheritedRead_ = 0; // how far the state gone on from depends on the text
    Structure& out_;
    size_t i_ = 0;
    std::vector<OpenType> types_;
    std::vector<Open> open_;
};

} // namespace

std::string FoldName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        c = Lower(c);
    }
    return folded;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string SourceStructure::TypePath(int type) const {
    std::string path;
    for (; type >= 0; type = types[static_cast<size_t>(type)].parent) {
        path = path.empty() ? types[static_cast<size_t>(type)].name
                            : types[static_cast<size_t>(type)].name + '.' + path;
    }
    return path;
}

SourceStructure ReadSourceStructure(std::string_view text, Checkpoints checkpoints) {
    SourceStructure structure;
    Parser parser(text, structure, checkpoints);
    parser.Run([](const Structure::Checkpoint&) { return false; });
    return structure;
}

namespace {

// Where the offsets of the old text stand in the new one.
struct Change {
    size_t start;
    size_t oldEnd;
    size_t newEnd;

    static constexpr size_t kChanged = kNone - 1; // never a real offset

    size_t Map(size_t old) const {
        if (old == kNone || old < start) {
            return old;
        }
        return old >= oldEnd ? old - oldEnd + newEnd : kChanged;
    }
    // Offsets that stand after the change, moved with the text.
    size_t Shift(size_t old) const { return old == kNone ? old : old - oldEnd + newEnd; }

    bool SameToken(const Token& now, const Token& before) const {
        return now.start == Map(before.start) && now.end == Map(before.end) &&
               now.kind == before.kind && now.word == before.word &&
               now.firstOnLine == before.firstOnLine && now.column == before.column;
    }
};

// Moves the elements of `from` from `first` on to the end of `to`.
template <class T> void MoveTail(std::vector<T>& from, size_t first, std::vector<T>& to) {
    to.insert(to.end(), std::make_move_iterator(from.begin() + static_cast<std::ptrdiff_t>(first)),
              std::make_move_iterator(from.end()));
}

// The same, each moved element then passed to `move`.
template <class T, class Move>
void AppendMoved(std::vector<T>& from, size_t first, std::vector<T>& to, Move&& move) {
    const size_t at = to.size();
    MoveTail(from, first, to);
    for (size_t i = at; i < to.size(); ++i) {
        move(to[i]);
    }
}

// Cuts `all` at `size`, giving what came after.
template <class T> std::vector<T> CutAt(std::vector<T>& all, size_t size) {
    std::vector<T> tail;
    MoveTail(all, size, tail);
    all.resize(size);
    return tail;
}

} // namespace

SourceStructure ReadSourceStructure(std::string_view text, SourceStructure&& old, size_t start,
                                    size_t oldEnd, size_t newEnd) {
    const Change change{start, oldEnd, newEnd};
    // The last checkpoint whose state depends on nothing at or after the
    // change (the reader peeks one character past where it stopped).
    auto& checkpoints = old.checkpoints;
    const auto after = std::partition_point(
        checkpoints.begin(), checkpoints.end(),
        [start](const Structure::Checkpoint& c) { return c.read + 2 <= start; });
    if (after == checkpoints.begin() || start > text.size()) {
        return ReadSourceStructure(text);
    }
    const Structure::Checkpoint from = *std::prev(after);
    const size_t firstAfter = static_cast<size_t>(std::prev(after) - checkpoints.begin());

    Structure out = std::move(old);
    const size_t oldInterface = out.interfaceStart;
    const size_t oldImplementation = out.implementationStart;
    const size_t oldSectionsEnd = out.sectionsEnd;
    std::vector<Structure::TypeSpan> oldTypes = CutAt(out.types, from.types);
    std::vector<Structure::Routine> oldRoutines = CutAt(out.routines, from.routines);
    std::vector<std::string> oldUses = CutAt(out.uses, from.uses);
    std::vector<Structure::Span> oldComments = CutAt(out.comments, from.comments);
    std::vector<Structure::Span> oldRegions = CutAt(out.regions, from.regions);
    std::vector<Structure::Checkpoint> oldCheckpoints = CutAt(out.checkpoints, firstAfter);
    out.interfaceStart = from.interfaceStart;
    out.implementationStart = from.implementationStart;
    out.sectionsEnd = from.sectionsEnd;

    // Reads until a checkpoint after the change meets one of the old
    // reading with the same state: from there on, both read the same text
    // the same way.
    const Structure::Checkpoint* met = nullptr;
    const auto same = [&](const Structure::Checkpoint& now) {
        if (now.previous.start < newEnd) {
            return false;
        }
        const size_t oldStart = now.token.start - newEnd + oldEnd;
        const auto found = std::partition_point(
            oldCheckpoints.begin(), oldCheckpoints.end(),
            [oldStart](const Structure::Checkpoint& c) { return c.token.start < oldStart; });
        if (found == oldCheckpoints.end() || found->token.start != oldStart) {
            return false;
        }
        const Structure::Checkpoint& before = *found;
        if (!change.SameToken(now.token, before.token) ||
            !change.SameToken(now.previous, before.previous) ||
            now.interfaceStart != change.Map(before.interfaceStart) ||
            now.implementationStart != change.Map(before.implementationStart) ||
            now.sectionsEnd != change.Map(before.sectionsEnd) ||
            now.openRegions.size() != before.openRegions.size()) {
            return false;
        }
        for (size_t r = 0; r < now.openRegions.size(); ++r) {
            if (now.openRegions[r] != change.Map(before.openRegions[r])) {
                return false;
            }
        }
        met = &before;
        return true;
    };
    Parser parser(text, out);
    parser.Resume(from);
    parser.Run(same);
    if (met == nullptr) {
        return out;
    }

    // The old reading's rest, moved to where its text now stands.
    const Structure::Checkpoint& reached = out.checkpoints.back();
    const Structure::Checkpoint meeting = *met;
    const int typeShift = static_cast<int>(reached.types) - static_cast<int>(meeting.types);
    const auto moveIndex = [typeShift](int index) { return index < 0 ? index : index + typeShift; };
    AppendMoved(oldTypes, met->types - from.types, out.types, [&](Structure::TypeSpan& type) {
        type.nameStart = change.Shift(type.nameStart);
        type.nameEnd = change.Shift(type.nameEnd);
        type.end = change.Shift(type.end);
        type.parent = moveIndex(type.parent);
    });
    AppendMoved(oldRoutines, met->routines - from.routines, out.routines,
                [&](Structure::Routine& routine) {
                    routine.start = change.Shift(routine.start);
                    routine.end = change.Shift(routine.end);
                    routine.nameStart = change.Shift(routine.nameStart);
                    routine.nameEnd = change.Shift(routine.nameEnd);
                    routine.bodyEnd = change.Shift(routine.bodyEnd);
                    routine.owner = moveIndex(routine.owner);
                });
    MoveTail(oldUses, met->uses - from.uses, out.uses);
    // The lexer read ahead of the parser: what it noted past the meeting
    // point comes from the old reading too.
    out.comments.resize(reached.comments);
    out.regions.resize(reached.regions);
    AppendMoved(oldComments, met->comments - from.comments, out.comments,
                [&](Structure::Span& comment) {
                    comment = {change.Shift(comment.start), change.Shift(comment.end)};
                });
    AppendMoved(oldRegions, met->regions - from.regions, out.regions, [&](Structure::Span& region) {
        // A region may have begun before the checkpoint.
        region = {change.Map(region.start), change.Shift(region.end)};
    });
    // Set again after the meeting point by the old reading: where that was.
    const auto setAfter = [&](size_t& value, size_t atMet, size_t oldFinal) {
        if (oldFinal != atMet) {
            value = change.Shift(oldFinal);
        }
    };
    setAfter(out.interfaceStart, met->interfaceStart, oldInterface);
    setAfter(out.implementationStart, met->implementationStart, oldImplementation);
    setAfter(out.sectionsEnd, met->sectionsEnd, oldSectionsEnd);

    const auto count = [](size_t value, size_t nowCount, size_t oldCount) {
        return value - oldCount + nowCount;
    };
    const size_t nowTypes = reached.types;
    const size_t nowRoutines = reached.routines;
    const size_t nowUses = reached.uses;
    const size_t nowComments = reached.comments;
    const size_t nowRegions = reached.regions;
    const size_t checkpointsAt = out.checkpoints.size();
    MoveTail(oldCheckpoints, static_cast<size_t>(met - oldCheckpoints.data()) + 1, out.checkpoints);
    for (size_t c = checkpointsAt; c < out.checkpoints.size(); ++c) {
        Structure::Checkpoint& checkpoint = out.checkpoints[c];
        for (Token* token : {&checkpoint.token, &checkpoint.previous}) {
            token->start = change.Shift(token->start);
            token->end = change.Shift(token->end);
        }
        checkpoint.read = change.Shift(checkpoint.read);
        for (size_t& region : checkpoint.openRegions) {
            region = change.Map(region);
        }
        checkpoint.comments = count(checkpoint.comments, nowComments, meeting.comments);
        checkpoint.regions = count(checkpoint.regions, nowRegions, meeting.regions);
        checkpoint.types = count(checkpoint.types, nowTypes, meeting.types);
        checkpoint.routines = count(checkpoint.routines, nowRoutines, meeting.routines);
        checkpoint.uses = count(checkpoint.uses, nowUses, meeting.uses);
        checkpoint.interfaceStart = change.Map(checkpoint.interfaceStart);
        checkpoint.implementationStart = change.Map(checkpoint.implementationStart);
        checkpoint.sectionsEnd = change.Map(checkpoint.sectionsEnd);
    }
    return out;
}

} // namespace kestrel::lsp
