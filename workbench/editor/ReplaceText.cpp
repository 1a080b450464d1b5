#include "ReplaceText.h"

#include "ScintillaText.h"

namespace workbench {

namespace {

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

void ReplaceEditorText(ScintillaText& editor, std::string_view text) {
    const std::string_view current = editor.Bytes();
    const size_t limit = std::min(current.size(), text.size());
    size_t head = 0;
    while (head < limit && current[head] == text[head]) {
        ++head;
    }
    size_t tail = 0;
    while (tail < limit - head &&
           current[current.size() - 1 - tail] == text[text.size() - 1 - tail]) {
        ++tail;
    }
    if (head == current.size() && head == text.size()) {
        return;
    }
    // Never split a character, nor a CR LF.
    while (head > 0 && head < text.size() &&
           (IsContinuation(text[head]) || (text[head - 1] == '\r' && text[head] == '\n'))) {
        --head;
    }
    while (tail > 0 && (IsContinuation(text[text.size() - tail]) ||
                        (text[text.size() - tail] == '\n' && text.size() > tail &&
                         text[text.size() - tail - 1] == '\r'))) {
        --tail;
    }
    editor.ReplaceRange(head, current.size() - tail, text.substr(head, text.size() - head - tail));
}

} // namespace workbench
