#include "CodeEditor.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>

namespace workbench {

namespace {

class LineNumberArea : public QWidget {
public:
    explicit LineNumberArea(CodeEditor* editor) : QWidget(editor), editor_(editor) {}
    QSize sizeHint() const override { return {editor_->LineNumberAreaWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent* event) override { editor_->PaintLineNumbers(event); }

private:
    CodeEditor* editor_;
};

} // namespace

CodeEditor::CodeEditor(QWidget* parent)
    : QPlainTextEdit(parent), lineNumberArea_(new LineNumberArea(this)) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabStopDistance(4 * CharWidth());
    connect(this, &QPlainTextEdit::blockCountChanged, this, &CodeEditor::UpdateLineNumberAreaWidth);
    connect(this, &QPlainTextEdit::updateRequest, this, &CodeEditor::UpdateLineNumberArea);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        // A move made by anything else (the mouse, an edit, the host)
        // leaves virtual space.
        if (!movingItself_) {
            desiredColumn_ = -1;
            SetVirtualColumns(0);
        }
        emit CursorMoved();
    });
    UpdateLineNumberAreaWidth();
}

void CodeEditor::AdoptDocument(QTextDocument* document) {
    // The editor owns it from now on, and deletes the document it had.
    document->setParent(this);
    document->setDefaultFont(font());
    setDocument(document);
    setTabStopDistance(4 * CharWidth());
}

int CodeEditor::CharWidth() const {
    return qMax(1, fontMetrics().horizontalAdvance(QLatin1Char(' ')));
}

int CodeEditor::CursorLine() const {
    return textCursor().blockNumber() + 1;
}

int CodeEditor::CursorColumn() const {
    return textCursor().positionInBlock() + 1 + virtualColumns_;
}

void CodeEditor::SetVirtualColumns(int columns) {
    if (columns == virtualColumns_) {
        return;
    }
    virtualColumns_ = columns;
    // Qt draws its own cursor only where it can stand; beyond the end we
    // draw it ourselves.
    setCursorWidth(virtualColumns_ > 0 ? 0 : 1);
    viewport()->update();
    emit CursorMoved();
}

void CodeEditor::MoveToColumn(QTextBlock block, int column, bool keepDesired) {
    const int length = block.length() - 1;
    QTextCursor cursor = textCursor();
    const int inBlock = qMin(column - 1, length);
    movingItself_ = true;
    cursor.setPosition(block.position() + inBlock);
    setTextCursor(cursor);
    movingItself_ = false;
    if (!keepDesired) {
        desiredColumn_ = -1;
    }
    SetVirtualColumns(qMax(0, column - 1 - length));
    ensureCursorVisible();
    emit CursorMoved();
}

void CodeEditor::SetCursorLineColumn(int line, int column) {
    const int lastBlock = document()->blockCount() - 1;
    const QTextBlock block = document()->findBlockByNumber(qBound(0, line - 1, lastBlock));
    MoveToColumn(block, qMax(1, column), false);
}

bool CodeEditor::FillVirtualSpace(const QString& text) {
    if (virtualColumns_ == 0 || textCursor().hasSelection() || isReadOnly()) {
        return false;
    }
    // The blanks and the typed text make one undo step.
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.insertText(QString(virtualColumns_, QLatin1Char(' ')) + text);
    cursor.endEditBlock();
    movingItself_ = true;
    setTextCursor(cursor);
    movingItself_ = false;
    desiredColumn_ = -1;
    SetVirtualColumns(0);
    return true;
}

void CodeEditor::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::NoModifier && !textCursor().hasSelection()) {
        const QTextBlock block = textCursor().block();
        const int column = CursorColumn();
        switch (event->key()) {
        case Qt::Key_Right:
            if (textCursor().atBlockEnd()) {
                MoveToColumn(block, column + 1, false);
                return;
            }
            break;
        case Qt::Key_Left:
            if (virtualColumns_ > 0) {
                MoveToColumn(block, column - 1, false);
                return;
            }
            break;
        case Qt::Key_Up:
        case Qt::Key_Down: {
            const QTextBlock next = event->key() == Qt::Key_Up ? block.previous() : block.next();
            if (next.isValid()) {
                if (desiredColumn_ < 0) {
                    desiredColumn_ = column;
                }
                MoveToColumn(next, desiredColumn_, true);
            }
            return;
        }
        case Qt::Key_End:
            MoveToColumn(block, block.length(), false);
            return;
        case Qt::Key_Home:
            MoveToColumn(block, 1, false);
            return;
        default:
            break;
        }
    }
    const QString text = event->text();
    const bool typesText = !text.isEmpty() && text.at(0).isPrint() &&
                           !(mods & (Qt::ControlModifier | Qt::AltModifier));
    if (typesText && FillVirtualSpace(text)) {
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
         event->key() == Qt::Key_Tab) &&
        virtualColumns_ > 0) {
        // A line break or tab typed in virtual space starts where the
        // cursor is seen: at the line's real end.
        SetVirtualColumns(0);
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CodeEditor::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty() && event->preeditString().isEmpty() &&
        FillVirtualSpace(event->commitString())) {
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void CodeEditor::mousePressEvent(QMouseEvent* event) {
    QPlainTextEdit::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || (event->modifiers() & Qt::ShiftModifier)) {
        return;
    }
    // A click right of the line's end puts the cursor at the clicked column.
    const QTextCursor cursor = cursorForPosition(event->position().toPoint());
    if (!cursor.atBlockEnd()) {
        return;
    }
    const int endX = cursorRect(cursor).left();
    const int beyond = qRound(double(event->position().x() - endX) / CharWidth());
    if (beyond > 0) {
        MoveToColumn(cursor.block(), cursor.positionInBlock() + 1 + beyond, false);
    }
}

void CodeEditor::paintEvent(QPaintEvent* event) {
    QPlainTextEdit::paintEvent(event);
    if (virtualColumns_ > 0 && hasFocus()) {
        QPainter painter(viewport());
        QRect rect = cursorRect();
        rect.moveLeft(rect.left() + virtualColumns_ * CharWidth());
        rect.setWidth(1);
        painter.fillRect(rect, palette().text());
    }
}

int CodeEditor::LineNumberAreaWidth() const {
    int digits = 1;
    for (int max = qMax(1, blockCount()); max >= 10; max /= 10) {
        ++digits;
    }
    return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits;
}

void CodeEditor::UpdateLineNumberAreaWidth() {
    setViewportMargins(LineNumberAreaWidth(), 0, 0, 0);
}

void CodeEditor::UpdateLineNumberArea(const QRect& rect, int dy) {
    if (dy != 0) {
        lineNumberArea_->scroll(0, dy);
    } else {
        lineNumberArea_->update(0, rect.y(), lineNumberArea_->width(), rect.height());
    }
    if (rect.contains(viewport()->rect())) {
        UpdateLineNumberAreaWidth();
    }
}

void CodeEditor::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    const QRect area = contentsRect();
    lineNumberArea_->setGeometry(area.left(), area.top(), LineNumberAreaWidth(), area.height());
}

void CodeEditor::PaintLineNumbers(QPaintEvent* event) {
    QPainter painter(lineNumberArea_);
    painter.fillRect(event->rect(), palette().window());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    const int height = fontMetrics().height();
    while (block.isValid() && top <= event->rect().bottom()) {
        if (block.isVisible() && top + height >= event->rect().top()) {
            painter.drawText(0, top, lineNumberArea_->width() - 4, height, Qt::AlignRight,
                             QString::number(block.blockNumber() + 1));
        }
        top += qRound(blockBoundingRect(block).height());
        block = block.next();
    }
}

} // namespace workbench
