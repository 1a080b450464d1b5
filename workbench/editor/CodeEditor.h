#pragma once

#include <Qsci/qsciscintilla.h>

#include <QList>
#include <functional>
#include <string_view>

class QsciLexerPascal;

namespace workbench {

// The code editor: Scintilla in UTF-8 mode, holding the text with CR LF line
// ends, with line numbers, a margin of bookmark markers, folding, Pascal
// colours, and a cursor that may stand beyond the end of a line ("virtual
// space"): blanks are written only when text is typed there.
//
// Lines and columns of this face are 1-based, columns counting UTF-16 code
// units (as Qt's strings do) and going on past a line's end.
class CodeEditor : public QsciScintilla {
    Q_OBJECT

public:
    explicit CodeEditor(QWidget* parent = nullptr);

    // Takes `text` (UTF-8, CR LF line ends) as the whole text, unmodified and
    // with no undo history, a slice at a time; `progress` hears the share
    // done (0 to 1000) and may stop the load, which leaves the editor empty
    // and returns false.
    bool LoadText(std::string_view text, const std::function<bool(int permille)>& progress = {});
    // The text as the editor holds it; valid until the next edit.
    std::string_view Bytes() const;
    // The text of `line` (1-based), line end left out.
    std::string_view LineBytes(int line) const;
    // The text of `line` (1-based) as a string, line end left out.
    QString LineText(int line) const;
    // Replaces the bytes [from, to) with `text` as one undo step, also in a
    // read-only editor.
    void ReplaceRange(size_t from, size_t to, std::string_view text);

    int CursorLine() const;
    int CursorColumn() const;
    // Columns the cursor stands beyond its line's end.
    int VirtualColumns() const;
    // Puts the cursor on `line` (clamped to the text) at `column` (1 or more),
    // beyond the line's end where the line is shorter, and scrolls it into
    // view.
    void SetCursorLineColumn(int line, int column);
    // The cursor as a byte offset into the text, and the columns beyond.
    size_t CursorOffset() const;
    void SetCursorOffset(size_t offset, int beyond);

    // The number (0-based) of the first line in view, and scrolling there.
    int TopLine() const;
    void SetTopLine(int line);
    int LineCount() const;
    // Whether the cursor lies inside the visible part of the text.
    bool CursorVisible() const;
    // The width of a blank in the text's font, in pixels.
    int CharWidth() const;

    // What a search onwards or back found: nothing, a place on the way, or
    // a place reached round the end of the text.
    enum class SearchHit { NotFound, Found, Wrapped };

    // Selects the next (or previous) occurrence of `text`, ignoring case,
    // round the end.
    SearchHit FindText(const QString& text, bool forward);
    // The word the cursor stands in or at.
    QString WordAtCursor() const;

    // Pascal colours and folding on or off.
    void SetColouring(bool on);
    bool Colouring() const { return lexer() != nullptr; }

    // The lines (1-based) that carry a bookmark marker.
    void SetBookmarkLines(const QList<int>& lines);
    QList<int> BookmarkLines() const;
    // Moves the cursor to the next (or previous) marked line, round the end.
    SearchHit GoToBookmark(bool next);

    // Reports an edit made through Scintilla's messages now (TextEdited),
    // rather than when control next returns to the event loop.
    void FlushTextEdited();

signals:
    // The cursor moved, also within virtual space.
    void CursorMoved();
    // The text is about to change: what was read from it is stale from now.
    void TextChanging();
    // The text changed: by typing, undo, paste, or through Scintilla's
    // messages. Sent once after each key, mouse action or call that edited.
    // (QsciScintilla's textChanged and linesChanged are not sent: see the
    // constructor.)
    void TextEdited();

protected:
    // Function keys and Ctrl or Alt keys that the editor has no command
    // for go to the menus' shortcuts (F2, F3, Ctrl+F), not to the text.
    bool event(QEvent* event) override;
    // The status bar follows the cursor at once, not only when the editor
    // next paints.
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    // Mouse, drag and drop and painting come through the viewport.
    bool viewportEvent(QEvent* event) override;

private:
    long Call(unsigned int message, unsigned long wParam = 0, long lParam = 0) const;
    void UpdateLineNumberWidth();
    void TextAboutToChange(int modificationType);

    // First: events (FlushTextEdited reads it) arrive while the lexer below
    // is made.
    bool editPending_ = false;
    QsciLexerPascal* lexer_;
    QFont textFont_;
    int lineDigits_ = 0;
};

} // namespace workbench
