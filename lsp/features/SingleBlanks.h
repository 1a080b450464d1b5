#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace kestrel::lsp {

// Builds a text in which every run of blanks and control characters (code
// 0x20 and below) is one blank, with none at either end: how the outline
// and hover show words taken from several lines of code.
class SingleBlanks {
public:
    // A blank (or what stands for one, such as a comment) before the next
    // text; none at the start.
    void Blank() { blank_ = !text_.empty(); }
    // No blank before the next text after all: `(` or a separator is next
    // to the word it belongs to.
    void NoBlank() { blank_ = false; }

    void Add(char c) {
        if (static_cast<unsigned char>(c) <= 0x20) {
            Blank();
            return;
        }
        PutBlank();
        text_ += c;
    }
    void Add(std::string_view text) {
        for (const char c : text) {
            Add(c);
        }
    }
    // `text` as it stands, its blanks kept (a string literal).
    void AddVerbatim(std::string_view text) {
        if (!text.empty()) {
            PutBlank();
            text_ += text;
        }
    }

    // Whether the text so far ends with `c` (a blank still to come aside).
    bool EndsWith(char c) const { return !text_.empty() && text_.back() == c; }

    std::string Take() {
        blank_ = false;
        return std::exchange(text_, {});
    }

private:
    void PutBlank() {
        if (blank_) {
            text_ += ' ';
            blank_ = false;
        }
    }

    std::string text_;
    bool blank_ = false;
};

// `text` with every run of blanks and control characters made one blank,
// none at either end.
inline std::string CollapseBlanks(std::string_view text) {
    SingleBlanks out;
    out.Add(text);
    return out.Take();
}

} // namespace kestrel::lsp
