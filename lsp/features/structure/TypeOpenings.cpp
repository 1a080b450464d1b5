#include "features/structure/TypeOpenings.h"

#include "BlankCharacters.h"
#include "features/structure/PascalLexer.h"

#include <cstring>

namespace kestrel::lsp {

namespace {

constexpr uint64_t WordBit(Word word) {
    return uint64_t{1} << word;
}

constexpr uint64_t kTypeOpeningWords = WordBit(Word::Class) | WordBit(Word::Object) |
                                       WordBit(Word::Record) | WordBit(Word::Interface) |
                                       WordBit(Word::Dispinterface) | WordBit(Word::Type) |
                                       WordBit(Word::Packed);

bool IsWordStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// Whether what follows an `=` at `at` may open a type.
bool MayOpenType(std::string_view text, size_t at) {
    size_t p = at + 1;
    while (p < text.size() && IsBlankOrControl(text[p])) {
        ++p;
    }
    if (p == text.size()) {
        return false;
    }
    const char c = text[p];
    if (c == '{' || (c == '(' && p + 1 < text.size() && text[p + 1] == '*') ||
        (c == '/' && p + 1 < text.size() && text[p + 1] == '/')) {
        return true; // a comment: what comes after it is not looked at
    }
    if (!IsWordStart(c)) {
        return false;
    }
    size_t end = p + 1;
    while (end < text.size() && IsNameChar(text[end])) {
        ++end;
    }
    return (kTypeOpeningWords & WordBit(WordOf(text.substr(p, end - p)))) != 0;
}

} // namespace

size_t LastTypeOpening(std::string_view text) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    size_t last = SourceStructure::kNone;
    for (const char* p = begin; p != end;) {
        const auto* equals =
            static_cast<const char*>(std::memchr(p, '=', static_cast<size_t>(end - p)));
        if (equals == nullptr) {
            break;
        }
        const auto at = static_cast<size_t>(equals - begin);
        if (MayOpenType(text, at)) {
            last = at;
        }
        p = equals + 1;
    }
    return last;
}

} // namespace kestrel::lsp
