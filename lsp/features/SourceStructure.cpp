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
enum class Word : uint8_t {
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
    for (const auto& [word, value] : kWords) {
        if (word == key) {
            return value;
        }
    }
    return key == "in" ? Word::In : Word::None;
}

struct Token {
    enum Kind : uint8_t { Name, Symbol, Literal };
    size_t start = 0;
    size_t end = 0;
    uint32_t column = 0;
    Kind kind = Symbol;
    Word word = Word::None;
    bool firstOnLine = false;
};

// Splits the text into names, symbols and literals; comments are left out
// and those of several lines (and regions) noted.
class Lexer {
public:
    Lexer(std::string_view text, Structure& out) : text_(text), out_(out) {}

    std::vector<Token> Run() {
        std::vector<Token> tokens;
        tokens.reserve(text_.size() / 6);
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
            Token token;
            token.start = at_;
            token.firstOnLine = firstOnLine_;
            token.column = firstOnLine_ ? Column() : 0;
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
                static constexpr std::string_view kPairs[] = {
                    ":=", "..", "<=", ">=", "<>", "**", "><"};
                const std::string_view two = text_.substr(at_, 2);
                at_ += std::find(std::begin(kPairs), std::end(kPairs), two) != std::end(kPairs) ? 2
                                                                                                : 1;
                token.kind = Token::Symbol;
            }
            token.end = at_;
            tokens.push_back(token);
        }
        return tokens;
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
        const size_t lastBreak = text_.substr(0, end).find_last_of("\r\n");
        if (lastBreak != std::string_view::npos && lastBreak > start) {
            lineStart_ = lastBreak + 1;
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
    Parser(std::string_view text, std::vector<Token> tokens, Structure& out)
        : text_(text), tokens_(std::move(tokens)), out_(out) {}

    void Run() {
        while (i_ < tokens_.size()) {
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

    const Token& At(size_t i) const {
        static const Token kEnd{0, 0, 0, Token::Literal, Word::None, false};
        return i < tokens_.size() ? tokens_[i] : kEnd;
    }
    std::string_view Text(const Token& token) const {
        return text_.substr(token.start, token.end - token.start);
    }
    bool IsSymbol(size_t i, std::string_view symbol) const {
        return i < tokens_.size() && tokens_[i].kind == Token::Symbol && Text(tokens_[i]) == symbol;
    }
    Word WordAt(size_t i) const { return i < tokens_.size() ? tokens_[i].word : Word::None; }

    void Step() {
        const Token& token = tokens_[i_];
        switch (token.word) {
        case Word::Interface:
            if (!IsSymbol(i_ - 1, "=") && types_.empty() && open_.empty()) {
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
        const Token& token = tokens_[i_];
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
        const Token& token = tokens_[i_];
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
        const Token& token = tokens_[i_];
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
        } else if (token.word == Word::End && open_.empty() && IsSymbol(i_ + 1, ".") &&
                   out_.implementationStart != kNone && out_.sectionsEnd == kNone) {
            out_.sectionsEnd = token.start;
        }
        ++i_;
    }

    void Uses() {
        ++i_;
        std::string name;
        for (; i_ < tokens_.size() && !IsSymbol(i_, ";"); ++i_) {
            const Token& token = tokens_[i_];
            if (IsHeadingStart(i_) || token.word == Word::Begin || token.word == Word::Type) {
                break; // a uses clause cut off
            }
            if (token.kind == Token::Name && token.word != Word::In) {
                name = FoldName(Text(token));
            } else if (IsSymbol(i_, ",") && !name.empty()) {
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
            const Token& before = tokens_[i - 1];
            if (IsSymbol(i - 1, "=") || IsSymbol(i - 1, ":") || IsSymbol(i - 1, "(") ||
                IsSymbol(i - 1, ",") || before.word == Word::Of || before.word == Word::To) {
                return false;
            }
        }
        // A heading names something: a name, or an operator's symbol.
        const Token& name = At(heading + 1);
        return name.kind == Token::Name ||
               (WordAt(heading) == Word::Operator && name.kind == Token::Symbol &&
                !IsSymbol(heading + 1, "(") && !IsSymbol(heading + 1, ";"));
    }

    bool IsQualifiedHeading(size_t i) const {
        size_t name = (WordAt(i) == Word::Class ? i + 1 : i) + 1;
        for (; name < tokens_.size() && tokens_[name].kind == Token::Name; name += 2) {
            if (IsSymbol(name + 1, "<")) {
                return true; // TFoo<T>.Bar
            }
            if (IsSymbol(name + 1, ".")) {
                return true;
            }
            break;
        }
        return false;
    }

    // Skips a generic's `<…>` at `i`.
    size_t SkipAngles(size_t i) const {
        if (!IsSymbol(i, "<")) {
            return i;
        }
        int depth = 0;
        for (; i < tokens_.size(); ++i) {
            if (IsSymbol(i, "<")) {
                ++depth;
            } else if (IsSymbol(i, ">") && --depth == 0) {
                return i + 1;
            } else if (IsSymbol(i, ";") || IsSymbol(i, "(")) {
                return i;
            }
        }
        return i;
    }

    // `Name = class …`, `Name<T> = packed record`, …: opens a type that
    // holds members. A forward declaration (`Name = class;`) or a class
    // reference (`class of`) opens none.
    bool TypeDeclaration() {
        const Token& name = tokens_[i_];
        if (name.kind != Token::Name || name.word != Word::None) {
            return false;
        }
        size_t at = SkipAngles(i_ + 1);
        if (!IsSymbol(at, "=")) {
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
        if (WordAt(at) == Word::Of || IsSymbol(at, ";")) {
            i_ = at;
            return true; // a class reference or a forward declaration
        }
        // The opening words: `class(TShape)`, `class helper for TFoo`.
        size_t detailEnd = at;
        if (IsSymbol(at, "(")) {
            while (detailEnd < tokens_.size() && !IsSymbol(detailEnd, ")") &&
                   !IsSymbol(detailEnd, ";")) {
                ++detailEnd;
            }
            if (IsSymbol(detailEnd, ";")) {
                i_ = detailEnd; // `class(TParent);`: declared whole, no members
                return true;
            }
            ++detailEnd;
        } else if (kind == Structure::TypeKind::Helper) {
            while (detailEnd < tokens_.size() && tokens_[detailEnd].kind == Token::Name &&
                   WordAt(detailEnd) != Word::Procedure && WordAt(detailEnd) != Word::Function &&
                   detailEnd < at + 4) {
                ++detailEnd;
            }
        }
        if (IsSymbol(detailEnd, ";") && kind != Structure::TypeKind::Record) {
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
        type.detail = Simplify(
            text_.substr(tokens_[kindAt].start, tokens_[detailLast].end - tokens_[kindAt].start));
        out_.types.push_back(std::move(type));
        types_.push_back({static_cast<int>(out_.types.size() - 1), column, 0});
        i_ = std::max(detailEnd, kindAt + 1);
        return true;
    }

    // Reads a heading at i_; `mayHaveBody` outside types.
    void Heading(bool mayHaveBody) {
        const Token& first = tokens_[i_];
        Structure::Routine routine;
        routine.start = first.start;
        if (first.word == Word::Class) {
            ++i_;
        }
        routine.kind = KindOf(tokens_[i_].word);
        ++i_;
        // The name, maybe qualified: `TOuter.TInner<T>.Name`.
        std::vector<std::string_view> parts;
        size_t nameToken = i_;
        for (;;) {
            nameToken = i_;
            parts.push_back(Text(tokens_[i_]));
            i_ = SkipAngles(i_ + 1);
            if (!IsSymbol(i_, ".") || At(i_ + 1).kind != Token::Name) {
                break;
            }
            ++i_;
        }
        // An operator named by a symbol of two tokens (`operator :=`).
        routine.name = std::string(parts.back());
        routine.nameStart = tokens_[nameToken].start;
        routine.nameEnd = tokens_[nameToken].end;
        parts.pop_back();
        for (const std::string_view part : parts) {
            routine.qualifier += routine.qualifier.empty() ? "" : ".";
            routine.qualifier += part;
        }
        if (IsSymbol(i_, "(")) {
            int depth = 0;
            std::string& key = routine.parameters;
            for (; i_ < tokens_.size(); ++i_) {
                if (IsSymbol(i_, "(")) {
                    ++depth;
                } else if (IsSymbol(i_, ")") && --depth == 0) {
                    ++i_;
                    break;
                }
                if (IsHeadingStart(i_) && tokens_[i_].firstOnLine) {
                    break; // a parameter list cut off
                }
                if (depth == 1 && IsSymbol(i_, "=")) {
                    // A default value: a declaration may give it, its
                    // implementation need not.
                    int inner = 0;
                    for (; i_ + 1 < tokens_.size(); ++i_) {
                        if (IsSymbol(i_ + 1, "(") || IsSymbol(i_ + 1, "[")) {
                            ++inner;
                        } else if ((IsSymbol(i_ + 1, ")") || IsSymbol(i_ + 1, "]")) && inner > 0) {
                            --inner;
                        } else if (inner == 0 && (IsSymbol(i_ + 1, ";") || IsSymbol(i_ + 1, ")"))) {
                            break;
                        }
                    }
                    continue;
                }
                if (!key.empty() && IsNameChar(key.back()) &&
                    IsNameChar(text_[tokens_[i_].start])) {
                    key += ' ';
                }
                key += FoldName(Text(tokens_[i_]));
            }
        }
        // The result (and an operator's result name), up to the `;`.
        size_t end = i_ > 0 ? tokens_[i_ - 1].end : first.end;
        if (IsSymbol(i_, ":") || (routine.kind == RoutineKind::Operator &&
                                  At(i_).kind == Token::Name && IsSymbol(i_ + 1, ":"))) {
            while (i_ < tokens_.size() && !IsSymbol(i_, ";") && !IsSymbol(i_, "=") &&
                   !(tokens_[i_].firstOnLine && IsHeadingStart(i_))) {
                end = tokens_[i_].end;
                ++i_;
            }
        }
        if (IsSymbol(i_, ";")) {
            end = tokens_[i_].end;
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
        for (size_t i = i_; i < tokens_.size() && i < i_ + 16; ++i) {
            const Word word = tokens_[i].word;
            if (word == Word::Forward || word == Word::External) {
                return true;
            }
            if (word != Word::None || IsHeadingStart(i) || IsSymbol(i, "=")) {
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
    std::vector<Token> tokens_;
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

SourceStructure ReadSourceStructure(std::string_view text) {
    SourceStructure structure;
    std::vector<Token> tokens = Lexer(text, structure).Run();
    Parser(text, std::move(tokens), structure).Run();
    return structure;
}

} // namespace kestrel::lsp
