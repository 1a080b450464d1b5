#include "EditorDocument.h"

#include "DisplayText.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QScrollBar>
#include <QTextBlock>
#include <cstring>

namespace workbench {

EditorDocument* EditorDocument::Load(const QString& path, QString& error, QObject* parent) {
    std::string bytes;
    const kestrel::FileResult read =
        kestrel::ReadFileBytes(QFile::encodeName(path).toStdString(), bytes);
    if (!read) {
        error = QString::fromLocal8Bit(read.error.c_str());
        return nullptr;
    }
    return new EditorDocument(path, kestrel::BufferFromFileBytes(bytes), parent);
}

EditorDocument::EditorDocument(const QString& path, kestrel::HostBuffer loaded, QObject* parent)
    : QObject(parent), path_(QFileInfo(path).absoluteFilePath()), loaded_(std::move(loaded)),
      editor_(new CodeEditor) {
    editor_->setPlainText(DisplayFromBytes(loaded_.bytes, loaded_.encoding));
    // A file that the editor could not give back byte for byte is shown
    // but not edited.
    if (!RoundTrips(loaded_.bytes, loaded_.encoding)) {
        editor_->setReadOnly(true);
    }
    editor_->document()->setModified(false);
    connect(editor_->document(), &QTextDocument::modificationChanged, this,
            &EditorDocument::ModifiedChanged);
    connect(editor_->document(), &QTextDocument::contentsChange, this, [this] { buffer_.reset(); });
}

QString EditorDocument::DisplayName() const {
    return QFileInfo(path_).fileName();
}

bool EditorDocument::IsModified() const {
    return editor_ && editor_->document()->isModified();
}

std::shared_ptr<const std::string> EditorDocument::BufferBytes() const {
    if (!editor_) {
        return std::make_shared<const std::string>();
    }
    if (!buffer_) {
        buffer_ = std::make_shared<const std::string>(
            BytesFromDisplay(editor_->document()->toRawText(), loaded_.encoding));
    }
    return buffer_;
}

bool EditorDocument::Save(const QString& path, QString& error) {
    const std::shared_ptr<const std::string> current = BufferBytes();
    const std::string fileBytes = kestrel::FileBytesFromBuffer(loaded_, *current);
    const kestrel::FileResult written =
        kestrel::WriteFileAtomically(QFile::encodeName(path).toStdString(), fileBytes);
    if (!written) {
        error = QString::fromLocal8Bit(written.error.c_str());
        return false;
    }
    // What is on disk now is what later saves are compared against.
    kestrel::HostBuffer saved = kestrel::BufferFromFileBytes(fileBytes);
    saved.encoding = loaded_.encoding;
    loaded_ = std::move(saved);
    path_ = QFileInfo(path).absoluteFilePath();
    editor_->document()->setModified(false);
    return true;
}

int EditorDocument::CharIndexForByteColumn(const QString& text, int byteColumn, int* beyond) const {
    // Walks whole characters only: a column inside a multi-byte character
    // (or a surrogate pair) stops at that character's start.
    int bytes = 0;
    int i = 0;
    while (i < text.size()) {
        const int length = ByteLength(text.at(i), loaded_.encoding);
        if (bytes + length > byteColumn) {
            break;
        }
        bytes += length;
        ++i;
    }
    // Only a column past the line's end lies beyond it.
    *beyond = i == text.size() ? byteColumn - bytes : 0;
    return i;
}

int EditorDocument::ByteColumnForCharIndex(const QString& text, int charIndex) const {
    int bytes = 0;
    for (int i = 0; i < charIndex && i < text.size(); ++i) {
        bytes += ByteLength(text.at(i), loaded_.encoding);
    }
    return bytes;
}

void EditorDocument::ApplyInsertions(const std::string& snapshot,
                                     const std::vector<Insertion>& insertions) {
    if (!editor_ || insertions.empty()) {
        return;
    }
    QTextDocument* document = editor_->document();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    // From the last offset to the first, so earlier offsets stay valid;
    // texts inserted at one offset keep their order.
    for (auto it = insertions.rbegin(); it != insertions.rend();) {
        const int32_t offset = it->offset;
        std::string text;
        auto first = it;
        while (first != insertions.rend() && first->offset == offset) {
            ++first;
        }
        for (auto k = first; k != it;) {
            --k;
            text += k->text;
        }
        it = first;

        const size_t at = std::min(static_cast<size_t>(std::max(offset, 0)), snapshot.size());
        // The line of the offset, and its byte column.
        int line = 0;
        size_t lineStart = 0;
        for (const char* p = snapshot.data();;) {
            const void* lf = std::memchr(p, '\n', snapshot.data() + at - p);
            if (lf == nullptr) {
                break;
            }
            p = static_cast<const char*>(lf) + 1;
            lineStart = static_cast<size_t>(p - snapshot.data());
            ++line;
        }
        const QTextBlock block = document->findBlockByNumber(line);
        if (!block.isValid()) {
            continue;
        }
        int beyond = 0;
        const int index =
            CharIndexForByteColumn(block.text(), static_cast<int>(at - lineStart), &beyond);
        cursor.setPosition(block.position() + index);
        cursor.insertText(DisplayFromBytes(text, loaded_.encoding));
    }
    cursor.endEditBlock();
}

EditorDocument::BytePos EditorDocument::CursorPos() const {
    if (!editor_) {
        return {0, 0};
    }
    const QTextCursor cursor = editor_->textCursor();
    const int bytes = ByteColumnForCharIndex(cursor.block().text(), cursor.positionInBlock());
    return {cursor.blockNumber() + 1, bytes + 1 + editor_->VirtualColumns()};
}

EditorDocument::BytePos EditorDocument::TopLeftPos() const {
    if (!editor_) {
        return {0, 0};
    }
    const int charWidth = qMax(1, editor_->fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    return {editor_->TopLine() + 1, editor_->horizontalScrollBar()->value() / charWidth + 1};
}

void EditorDocument::SetCursorPos(BytePos pos) {
    if (!editor_) {
        return;
    }
    const int lastBlock = editor_->document()->blockCount() - 1;
    const QTextBlock block =
        editor_->document()->findBlockByNumber(qBound(0, pos.line - 1, lastBlock));
    int beyond = 0;
    const int index = CharIndexForByteColumn(block.text(), qMax(0, pos.column - 1), &beyond);
    editor_->SetCursorLineColumn(block.blockNumber() + 1, index + 1 + beyond);
}

void EditorDocument::SetTopLine(int32_t line) {
    if (!editor_) {
        return;
    }
    // A plain-text editor scrolls by lines: value n shows line n + 1 first.
    // Lines laid out for the new place may be wider than the view; the
    // horizontal scroll bar they bring shortens the view and raises the
    // vertical maximum, but only once the pending layout runs. So lay out
    // and scroll again until the place holds.
    QScrollBar* bar = editor_->verticalScrollBar();
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int maximum = bar->maximum();
        bar->setValue(qMax(0, line - 1));
        editor_->horizontalScrollBar()->setValue(0);
        QCoreApplication::sendPostedEvents(editor_, QEvent::LayoutRequest);
        if (bar->maximum() == maximum) {
            break;
        }
    }
}

} // namespace workbench
