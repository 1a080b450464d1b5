#include "ScintillaText.h"

#include "DisplayText.h"

#include <Qsci/qscilexerpascal.h>

#include <algorithm>
#include <utility>

namespace workbench {

namespace {

constexpr int kTabWidth = 4;
// The text goes in in slices of this size, so a large file shows its
// progress and can be stopped.
constexpr size_t kLoadSlice = size_t{1} << 20;

} // namespace

ScintillaText::ScintillaText(QWidget* parent)
    : QsciScintilla(parent), lexer_(new QsciLexerPascal(this)) {
    // No annotations are shown; with them on, Scintilla measures each line
    // for them whenever an editor takes a document (a view of a large file).
    setAnnotationDisplay(AnnotationHidden);
    lexer_->setFoldComments(true);
    lexer_->setFoldCompact(false);
    lexer_->setFoldPreprocessor(true);
    SetDocumentSettings();
    // A lone CR is held as a private-use stand-in (see DisplayText.h); it is
    // drawn the way the editor draws other control characters.
    SendScintilla(SCI_SETREPRESENTATION, LoneCarriageReturnStandIn().data(), "CR");
    // Scintilla tells of a change before making it, and the edit is
    // reported when control comes back (see TextAboutToChange). Its notices
    // after a change stay off: on each one QScintilla counts the characters
    // from the start of the text to the change, for its accessible text,
    // whether anything listens or not, so that each keystroke and each
    // slice of a load took as long as the text before it. A view adds the
    // fold changes, which its fold margin needs.
    Call(SCI_SETMODEVENTMASK, SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE);
    connect(this, &QsciScintillaBase::SCN_MODIFIED, this,
            [this](int position, int modificationType, const char*, int length) {
                TextAboutToChange(position, modificationType, length);
            });
}

void ScintillaText::SetDocumentSettings() {
    setUtf8(true);
    setEolMode(EolWindows);
    setTabWidth(kTabWidth);
    setIndentationsUseTabs(false);
}

void ScintillaText::SetColouring(bool on) {
    if (on == Colouring()) {
        return;
    }
    setLexer(on ? lexer_ : nullptr);
}

long ScintillaText::Call(unsigned int message, unsigned long wParam, long lParam) const {
    return SendScintilla(message, wParam, lParam);
}

void ScintillaText::TextAboutToChange(int position, int modificationType, int length) {
    const bool inserting = (modificationType & SC_MOD_BEFOREINSERT) != 0;
    if (!inserting && (modificationType & SC_MOD_BEFOREDELETE) == 0) {
        return;
    }
    emit TextChanging(position, length, inserting);
    if (!std::exchange(editPending_, true)) {
        // An edit through a call from outside the editor's events (a menu's
        // Undo, say) is reported at the next turn of the event loop.
        QMetaObject::invokeMethod(this, &ScintillaText::FlushTextEdited, Qt::QueuedConnection);
    }
}

void ScintillaText::FlushTextEdited() {
    if (std::exchange(editPending_, false)) {
        emit TextEdited();
    }
}

bool ScintillaText::LoadText(std::string_view text, const std::function<bool(int)>& progress) {
    const bool wasReadOnly = isReadOnly();
    setReadOnly(false);
    Call(SCI_SETUNDOCOLLECTION, 0);
    Call(SCI_CLEARALL);
    // With room to grow: the first keystroke in a text loaded without it
    // copies the whole text into a larger buffer (a pause of a tenth of a
    // second in a 100 MB file).
    Call(SCI_ALLOCATE, text.size() + text.size() / 8 + kLoadSlice);
    bool loaded = true;
    for (size_t at = 0; at < text.size();) {
        // Slices end after a line end, so that no CR LF is cut in two.
        size_t end = std::min(text.size(), at + kLoadSlice);
        if (end < text.size()) {
            const size_t lf = text.find('\n', end);
            end = lf == std::string_view::npos ? text.size() : lf + 1;
        }
        SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(end - at), text.data() + at);
        at = end;
        if (progress && !progress(static_cast<int>(100 + 900 * at / text.size()))) {
            loaded = false;
            Call(SCI_CLEARALL);
            break;
        }
    }
    Call(SCI_SETUNDOCOLLECTION, 1);
    Call(SCI_EMPTYUNDOBUFFER);
    Call(SCI_SETSAVEPOINT);
    Call(SCI_GOTOPOS, 0);
    setReadOnly(wasReadOnly);
    FlushTextEdited();
    return loaded;
}

std::string_view ScintillaText::Bytes() const {
    const auto length = static_cast<size_t>(Call(SCI_GETLENGTH));
    const auto* text = reinterpret_cast<const char*>(Call(SCI_GETCHARACTERPOINTER));
    return text == nullptr ? std::string_view() : std::string_view(text, length);
}

std::string_view ScintillaText::LineBytes(int line) const {
    const int index = std::clamp(line - 1, 0, LineCount() - 1);
    const long start = Call(SCI_POSITIONFROMLINE, static_cast<unsigned long>(index));
    const long end = Call(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(index));
    const auto* text = reinterpret_cast<const char*>(
        Call(SCI_GETRANGEPOINTER, static_cast<unsigned long>(start), end - start));
    return text == nullptr ? std::string_view() : std::string_view(text, end - start);
}

QString ScintillaText::LineText(int line) const {
    const std::string_view text = LineBytes(line);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void ScintillaText::ReplaceRange(size_t from, size_t to, std::string_view text) {
    const bool wasReadOnly = isReadOnly();
    setReadOnly(false);
    Call(SCI_BEGINUNDOACTION);
    Call(SCI_SETTARGETRANGE, from, static_cast<long>(to));
    SendScintilla(SCI_REPLACETARGET, static_cast<uintptr_t>(text.size()), text.data());
    Call(SCI_ENDUNDOACTION);
    setReadOnly(wasReadOnly);
    FlushTextEdited();
}

int ScintillaText::LineCount() const {
    return static_cast<int>(Call(SCI_GETLINECOUNT));
}

} // namespace workbench
