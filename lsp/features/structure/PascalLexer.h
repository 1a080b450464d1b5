#pragma once

#include "features/SourceStructure.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrel::lsp {

inline char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The words the structure reader acts on; `None` for every other name.
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

// The word that `text` spells, in any case.
Word WordOf(std::string_view text);

// Splits a unit's text into names, symbols and literals. Comments are left
// out; those of several lines, and `{$region}` … `{$endregion}`, are noted
// in the structure. Reads only as far as it is asked to, so that what a
// reading found depends on no text beyond Position() + 1.
class PascalLexer {
public:
    using Token = SourceStructure::Token;

    // `lineStarts`: whether the reader asks what was noted before a line's
    // first token (for its checkpoints), through Read.
    PascalLexer(std::string_view text, SourceStructure& out, bool lineStarts = true)
        : text_(text), out_(out), lineStarts_(lineStarts) {}

    // Goes on from the first token of a line, `checkpoint.token`, as it
    // stood when that token was read.
    void Resume(const SourceStructure::Checkpoint& checkpoint);

    // What was noted before a token that begins a line: the regions open,
    // and how many comments and regions were found.
    struct LineStart {
        size_t token = 0; // its place in the tokens read
        std::vector<size_t> openRegions;
        size_t comments = 0;
        size_t regions = 0;
    };

    // Appends the next `count` tokens to `tokens`, fewer at the end of the
    // text; gives how many. With `lineStarts`, appends what was noted
    // before each token that begins a line (the lexer must have been made
    // to note it), its `token` the token's index in `tokens`.
    size_t Read(std::vector<Token>& tokens, size_t count,
                std::vector<LineStart>* lineStarts = nullptr);

    // How far the text has been read: nothing at or after Position() + 1
    // has been looked at. A token read ends there.
    size_t Position() const { return at_; }

private:
    bool ReadToken(Token& token);
    // The column of `at_` as an editor shows it, tabs every eight.
    uint32_t Column() const;
    char Peek() const { return at_ + 1 < text_.size() ? text_[at_ + 1] : '\0'; }
    void NewLine();
    // A comment from its opening at `at_` to its closing `close`, or to the
    // end of the text.
    void Comment(size_t body, std::string_view close);
    void Directive(size_t start, size_t end, std::string_view text);
    // A string, or characters by code (`#13#10'text'`), as one literal.
    void Literal();

    std::string_view text_;
    SourceStructure& out_;
    size_t at_ = 0;
    size_t lineStart_ = 0;
    bool firstOnLine_ = true;
    bool lineStarts_ = true;
    std::vector<size_t> openRegions_;
    std::vector<LineStart>* lineStartsOut_ = nullptr; // where Read puts them
    size_t tokenIndex_ = 0;                           // of the token being read, in Read
};

} // namespace kestrel::lsp
