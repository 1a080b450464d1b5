#pragma once

#include <Qsci/qsciscintilla.h>

#include <QString>

class QsciLexerPascal;
#include <functional>
#include <string_view>

namespace workbench {

// Scintilla's text in UTF-8 with CR LF line ends, read and written as bytes.
// Scintilla reaches a document only through an editor: an open file
// (EditorDocument) holds its text in one of these that is never shown while
// no view of the file (CodeEditor, another one) shows it. The text, its undo
// history, its save point, its markers and whether it is read-only belong to
// the Scintilla document; the cursor, the scroll position and the colours
// to each view.
//
// An edit is reported once (TextEdited) when control returns to the event
// loop, or at once through FlushTextEdited.
class ScintillaText : public QsciScintilla {
    Q_OBJECT

public:
    explicit ScintillaText(QWidget* parent = nullptr);

    // Takes `text` (UTF-8, CR LF line ends) as the whole text, unmodified and
    // with no undo history, a slice at a time; `progress` hears the share
    // done (0 to 1000) and may stop the load, which leaves the text empty
    // and returns false.
    bool LoadText(std::string_view text, const std::function<bool(int permille)>& progress = {});
    // The text as Scintilla holds it; valid until the next edit.
    std::string_view Bytes() const;
    // The text of `line` (1-based), line end left out.
    std::string_view LineBytes(int line) const;
    // The text of `line` (1-based) as a string, line end left out.
    QString LineText(int line) const;
    // Replaces the bytes [from, to) with `text` as one undo step, also in a
    // read-only text.
    void ReplaceRange(size_t from, size_t to, std::string_view text);
    int LineCount() const;

    // Pascal colours on or off. The lexer's state belongs to the document
    // and the colours to each view: a view and the document it is to show
    // are given the same. Set before the text is: a lexer set on a text
    // styles all of it at once, where one set before styles what is shown,
    // when it is.
    void SetColouring(bool on);
    bool Colouring() const { return lexer() != nullptr; }

    // Reports an edit made through Scintilla's messages now (TextEdited),
    // rather than when control next returns to the event loop.
    void FlushTextEdited();

signals:
    // The text is about to change: what was read from it is stale from now.
    // `length` bytes are to be inserted at `position`, or deleted from it.
    void TextChanging(qsizetype position, qsizetype length, bool inserting);
    // The text changed: by typing, undo, paste, or through Scintilla's
    // messages. Sent once after each key, mouse action or call that edited.
    // (QsciScintilla's textChanged and linesChanged are not sent: see the
    // constructor.)
    void TextEdited();

protected:
    enum Margin { kLineNumbers = 0, kBookmarks = 1, kFolding = 2 };

    long Call(unsigned int message, unsigned long wParam = 0, long lParam = 0) const;
    QsciLexerPascal* PascalLexer() const { return lexer_; }
    // Scintilla's settings that belong to the document, given again to a
    // view when it takes another document.
    void SetDocumentSettings();

private:
    void TextAboutToChange(int position, int modificationType, int length);

    bool editPending_ = false;
    QsciLexerPascal* lexer_;
};

} // namespace workbench
