#include "features/structure/StructureParser.h"

#include "features/SingleBlanks.h"
#include "features/structure/PascalLexer.h"
#include "features/structure/TypeOpenings.h"

#include <algorithm>
#include <utility>

namespace kestrel::lsp {

namespace {

using Structure = SourceStructure;
using Token = Structure::Token;
constexpr size_t kNone = Structure::kNone;

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
    Parser(std::string_view text, Structure& out, Checkpoints checkpoints, StructureParts parts)
        : text_(text), lexer_(text, out, checkpoints == Checkpoints::Kept),
          checkpoints_(checkpoints == Checkpoints::Kept), all_(parts == StructureParts::All),
          out_(out) {}

    // Past `typesEnd` no type opens: a reading of the types alone ends
    // there once every type is closed.
    void ReadTypesUntil(size_t typesEnd) { typesEnd_ = typesEnd; }

    // Goes on from `checkpoint`, which `out` holds what was found before.
    void Resume(const Structure::Checkpoint& checkpoint) {
        lexer_.Resume(checkpoint);
        tokens_.assign(1, checkpoint.previous);
        seen_ = 1;
        seenEnd_ = checkpoint.token.start;
        base_ = 0;
        i_ = 1;
        inheritedRead_ = checkpoint.read;
    }

    // Reads to the end, or until `stop` says that the state at a
    // checkpoint just taken is known.
    void Run(const CheckpointStop& stop) {
        while (Has(i_)) {
            if (T(i_).start > typesEnd_ && types_.empty()) {
                break; // no type opens from here on
            }
            DropPassedTokens();
            if (checkpoints_ && CheckpointTaken() && stop && stop(out_.checkpoints.back())) {
                return;
            }
            const size_t before = i_;
            SkipPlainTokens();
            if (i_ != before) {
                continue; // the token it stopped at is read as any other
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

    // Whether there is a token `i`. The lexer reads a run of tokens at a
    // time, but a reading that takes checkpoints counts only those the
    // parser has asked for as read (`seen_`): a checkpoint knows how far its
    // state depends on the text.
    bool Has(size_t i) const { return i - base_ < seen_ || See(i); }
    bool See(size_t i) const {
        if (i - base_ < tokens_.size()) {
            seen_ = i - base_ + 1;
            seenEnd_ = tokens_[i - base_].end;
            return true;
        }
        return ReadTo(i);
    }
    // Reads tokens until there is a token `i`, or the text ends.
    [[gnu::noinline]] bool ReadTo(size_t i) const {
        if (i == kNone || i < base_) {
            return false; // before the first token
        }
        const size_t want = i - base_ + (checkpoints_ ? 0 : kTokensAhead);
        while (!ended_ && want >= tokens_.size()) {
            const size_t firstNote = lineStarts_.size();
            ended_ = lexer_.Read(tokens_, kTokensAhead, checkpoints_ ? &lineStarts_ : nullptr) <
                     kTokensAhead;
            for (size_t n = firstNote; n < lineStarts_.size(); ++n) {
                lineStarts_[n].token += base_;
            }
        }
        if (!checkpoints_) {
            seen_ = tokens_.size();
            return i - base_ < tokens_.size();
        }
        if (i - base_ < tokens_.size()) {
            seen_ = i - base_ + 1;
            seenEnd_ = tokens_[i - base_].end;
            return true;
        }
        // Asked past the last token: the lexer read to the end of the text.
        seen_ = tokens_.size();
        seenEnd_ = text_.size();
        return false;
    }
    // Token `i`; past the end of the text (or before its start), a
    // literal that no test of a word or symbol takes.
    const Token& T(size_t i) const {
        static const Token kEnd{0, 0, 0, Token::Literal, Word::None, false};
        return Has(i) ? tokens_[i - base_] : kEnd;
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
        seen_ -= drop;
    }
    const Token& At(size_t i) const { return T(i); }

    // Passes over the tokens that change nothing but where the reader
    // stands: those that are no word of its own, but for a name that a `=`
    // or `<` follows outside statements (where a type may be declared).
    // Where checkpoints are taken, it stops at a line's first token outside
    // statements, where one may be taken.
    void SkipPlainTokens() {
        const bool statements = types_.empty() && !open_.empty() && open_.back().depth > 0;
        while (Has(i_)) {
            const Token& token = T(i_);
            if (token.word != Word::None || (checkpoints_ && token.firstOnLine && !statements)) {
                return;
            }
            if (!statements && token.kind == Token::Name &&
                (IsSymbol(i_ + 1, '=') || IsSymbol(i_ + 1, '<'))) {
                return;
            }
            ++i_;
            if (i_ - base_ >= kTokensKept) {
                DropPassedTokens();
            }
        }
    }
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
        checkpoint.read = std::max(seenEnd_, inheritedRead_);
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
            if (!all_) {
                continue;
            }
            if (token.kind == Token::Name && token.word != Word::In) {
                // A dotted name is one unit's: `System.SysUtils`.
                if (IsSymbol(i_ - 1, '.') && !name.empty()) {
                    name += '.';
                } else {
                    name.clear();
                }
                name += FoldName(Text(token));
            } else if (IsSymbol(i_, ',') && !name.empty()) {
                out_.uses.push_back(std::exchange(name, {}));
            }
        }
        if (!name.empty()) {
            out_.uses.push_back(std::move(name));
        }
        if (IsSymbol(i_, ';')) {
            ++i_; // else what cut the clause off is read next
        }
    }

    bool IsHeadingStart(size_t i) const {
        const Word word = WordAt(i);
        return (word == Word::Class || IsHeadingWord(word)) && IsHeadingAfterItsWord(i, word);
    }
    [[gnu::noinline]] bool IsHeadingAfterItsWord(size_t i, Word word) const {
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
    size_t SkipAngles(size_t i) const { return IsSymbol(i, '<') ? SkipOpenAngle(i) : i; }
    [[gnu::noinline]] size_t SkipOpenAngle(size_t i) const {
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
        if (all_) {
            type.detail =
                CollapseBlanks(text_.substr(T(kindAt).start, T(detailLast).end - T(kindAt).start));
        }
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
        size_t nameToken = i_;
        bool qualified = false;
        for (;;) {
            nameToken = i_;
            if (all_ && qualified) {
                routine.qualifier += routine.qualifier.empty() ? "" : ".";
                routine.qualifier += routine.name;
            }
            if (all_) {
                routine.name = Text(T(i_));
            }
            i_ = SkipAngles(i_ + 1);
            if (!IsSymbol(i_, '.') || At(i_ + 1).kind != Token::Name) {
                break;
            }
            qualified = true;
            ++i_;
        }
        // An operator named by a symbol of two tokens (`operator :=`).
        routine.nameStart = T(nameToken).start;
        routine.nameEnd = T(nameToken).end;
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
                if (!all_) {
                    continue;
                }
                if (!key.empty() && IsNameChar(key.back()) && IsNameChar(text_[T(i_).start])) {
                    key += ' ';
                }
                for (const char c : Text(T(i_))) {
                    key += LowerAscii(c);
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
        routine.body = mayHaveBody && (!inInterface || qualified) && !IsForward();
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

    std::string_view text_;
    static constexpr size_t kCheckpointSpacing = 512;

    PascalLexer mutable lexer_;
    // The tokens read, from the first one of the text or from the token
    // before the checkpoint the parser went on from. Reading more may move
    // them: the parser keeps copies, not references.
    mutable std::vector<Token> tokens_;
    size_t base_ = 0; // the number of the first token in `tokens_`
    static constexpr size_t kTokensKept = 4096;
    static constexpr size_t kTokensAhead = 64;
    mutable bool ended_ = false;
    mutable size_t seen_ = 0;    // of `tokens_`, those the parser asked for
    mutable size_t seenEnd_ = 0; // how far the lexer had read for those
    // What the lexer had noted before each token that begins a line, from
    // the last checkpoint on; the numbers of the tokens are the parser's.
    using LineStart = PascalLexer::LineStart;
    mutable std::vector<LineStart> lineStarts_;
    bool checkpoints_ = true;
    bool all_ = true; // all of the structure, not the type spans alone
    size_t typesEnd_ = kNone;
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

void ParseStructure(std::string_view text, SourceStructure& out, Checkpoints checkpoints,
                    const SourceStructure::Checkpoint* from, const CheckpointStop& stop,
                    StructureParts parts) {
    Parser parser(text, out, checkpoints, parts);
    if (parts == StructureParts::TypeSpans) {
        // Most sources declare no type with members, or declare them before
        // their routines' bodies: that is told at a glance.
        const size_t last = LastTypeOpening(text);
        if (last == kNone) {
            return;
        }
        parser.ReadTypesUntil(last);
    }
    if (from != nullptr) {
        parser.Resume(*from);
    }
    parser.Run(stop);
}

} // namespace kestrel::lsp
