#pragma once

#include <QPlainTextEdit>
#include <QTextBlock>

namespace workbench {

// A monospace code editor with line numbers whose cursor may stand beyond
// the end of a line ("virtual space"). Blanks are written only when text is
// typed there; moving the cursor never changes the text.
class CodeEditor : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit CodeEditor(QWidget* parent = nullptr);

    // The cursor's line and column, both 1-based; the column counts
    // characters and goes on past the line's end.
    int CursorLine() const;
    int CursorColumn() const;
    // Columns the cursor stands beyond its line's end.
    int VirtualColumns() const { return virtualColumns_; }

    // Puts the cursor on `line` (clamped to the document) at `column`
    // (1 or more), beyond the line's end where the line is shorter.
    void SetCursorLineColumn(int line, int column);

    // Shows `document` (a plain-text document, which becomes the editor's)
    // in the editor's font and tab stops.
    void AdoptDocument(QTextDocument* document);

    // The number (0-based) of the first line in view.
    int TopLine() const { return firstVisibleBlock().blockNumber(); }

    int LineNumberAreaWidth() const;
    void PaintLineNumbers(QPaintEvent* event);

signals:
    // The cursor moved, also within virtual space.
    void CursorMoved();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    void SetVirtualColumns(int columns);
    void MoveToColumn(QTextBlock block, int column, bool keepDesired);
    bool FillVirtualSpace(const QString& text);
    int CharWidth() const;
    void UpdateLineNumberAreaWidth();
    void UpdateLineNumberArea(const QRect& rect, int dy);

    QWidget* lineNumberArea_;
    int virtualColumns_ = 0;
    int desiredColumn_ = -1; // kept by Up and Down across shorter lines
    bool movingItself_ = false;
};

} // namespace workbench
