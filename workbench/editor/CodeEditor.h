#pragma once

#include "ScintillaText.h"

#include <QList>
#include <QPointer>

namespace workbench {

// The code editor: a view of a text (ScintillaText), its own or a
// document's, with line numbers, a margin of bookmark markers, folding,
// Pascal colours, and a cursor that may stand beyond the end of a line
// ("virtual space"): blanks are written only when text is typed there.
//
// Lines and columns of this face are 1-based, columns counting UTF-16 code
// units (as Qt's strings do) and going on past a line's end.
class CodeEditor : public ScintillaText {
    Q_OBJECT

public:
    explicit CodeEditor(QWidget* parent = nullptr);

    // Shows `document` in place of the editor's own text. Colouring is set
    // before, to what the document's text was given.
    void Show(const QsciDocument& document);

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

    // Pascal colours and folding on or off, with the margins and fonts
    // they need.
    void SetColouring(bool on);

    // The lines (1-based) that carry a bookmark marker.
    void SetBookmarkLines(const QList<int>& lines);
    QList<int> BookmarkLines() const;
    // Moves the cursor to the next (or previous) marked line, round the end.
    SearchHit GoToBookmark(bool next);

signals:
    // The cursor moved, also within virtual space.
    void CursorMoved();

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
    void UpdateLineNumberWidth();

    QFont textFont_;
    int lineDigits_ = 0;
};

} // namespace workbench
