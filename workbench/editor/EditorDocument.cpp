#include "EditorDocument.h"

#include "CarefulSave.h"
#include "DisplayText.h"
#include "FileReading.h"
#include "ReplaceText.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextBlock>
#include <cstring>

namespace workbench {

QString SaveJournalFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return data.isEmpty() ? QString() : data + "/saves";
}

namespace {

// Fills a new plain-text document with `text` a slice of lines at a time, so
// that a large file can show its progress and be stopped; null when
// `progress` stops it. Qt keeps one block per line: the time and memory go
// there, not into the slicing.
QTextDocument* FillDocument(const QString& text, const EditorDocument::LoadProgress& progress) {
    auto document = std::make_unique<QTextDocument>();
    document->setDocumentLayout(new QPlainTextDocumentLayout(document.get()));
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document.get());
    constexpr qsizetype kSlice = qsizetype{1} << 18;
    for (qsizetype at = 0; at < text.size();) {
        qsizetype end = text.indexOf(u'\n', std::min(text.size() - 1, at + kSlice));
        end = end < 0 ? text.size() : end + 1;
        cursor.insertText(QStringView(text).mid(at, end - at).toString());
        at = end;
        if (progress && !progress(static_cast<int>(100 + 900 * at / text.size()))) {
            return nullptr;
        }
    }
    document->setUndoRedoEnabled(true);
    document->setModified(false);
    return document.release();
}

} // namespace

EditorDocument* EditorDocument::Load(const QString& path, QString& error, QObject* parent,
                                     const LoadProgress& progress) {
    // Taken before the read, so a write during it shows at the next look.
    FileStamp stamp = FileStamp::Of(path);
    std::string bytes;
    const ReadProgress reading = [&](int64_t done, int64_t total) {
        return !progress || progress(static_cast<int>(total > 0 ? 100 * done / total : 100));
    };
    if (!ReadRegularFile(path, bytes, error, reading)) {
        return nullptr;
    }
    stamp.contents = FileStamp::HashOf(bytes);
    kestrel::HostBuffer loaded = kestrel::BufferFromFileBytes(bytes);
    std::string().swap(bytes);
    QTextDocument* text = FillDocument(DisplayFromBytes(loaded.bytes, loaded.encoding), progress);
    if (text == nullptr) {
        error = tr("opening was cancelled");
        return nullptr;
    }
    auto* document = new EditorDocument(path, std::move(loaded), text, parent);
    document->readOnlyOnDisk_ = InspectFile(path).readOnlyOnDisk;
    document->stamp_ = stamp;
    return document;
}

EditorDocument* EditorDocument::Recovered(const QString& path, std::string_view fileBytes,
                                          const FileStamp& base, QObject* parent) {
    kestrel::HostBuffer loaded = kestrel::BufferFromFileBytes(fileBytes);
    QTextDocument* text = FillDocument(DisplayFromBytes(loaded.bytes, loaded.encoding), {});
    auto* document = new EditorDocument(path, std::move(loaded), text, parent);
    document->readOnlyOnDisk_ = InspectFile(path).readOnlyOnDisk;
    document->stamp_ = base;
    document->editor_->document()->setModified(true);
    return document;
}

EditorDocument::EditorDocument(const QString& path, kestrel::HostBuffer loaded, QTextDocument* text,
                               QObject* parent)
    : QObject(parent), path_(QFileInfo(path).absoluteFilePath()), loaded_(std::move(loaded)),
      roundTrips_(RoundTrips(loaded_.bytes, loaded_.encoding)), editor_(new CodeEditor) {
    editor_->AdoptDocument(text);
    // A file that the editor could not give back byte for byte is shown
    // but not edited.
    editor_->setReadOnly(!roundTrips_);
    connect(editor_->document(), &QTextDocument::modificationChanged, this,
            &EditorDocument::ModifiedChanged);
    connect(editor_->document(), &QTextDocument::contentsChange, this, [this] { buffer_.reset(); });
}

EditorDocument::~EditorDocument() {
    delete editor_.data();
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

std::string EditorDocument::FileBytes() const {
    return kestrel::FileBytesFromBuffer(loaded_, *BufferBytes());
}

std::optional<EditorDocument::Unencodable> EditorDocument::FirstUnencodable() const {
    if (!editor_) {
        return std::nullopt;
    }
    for (QTextBlock block = editor_->document()->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        if (const qsizetype at = workbench::FirstUnencodable(text, loaded_.encoding); at >= 0) {
            const qsizetype length = QChar::isHighSurrogate(text.at(at).unicode()) ? 2 : 1;
            return Unencodable{block.blockNumber() + 1, static_cast<int>(at) + 1,
                               text.mid(at, length)};
        }
    }
    return std::nullopt;
}

bool EditorDocument::Save(const QString& path, QString& error, bool asUtf8, QString* note) {
    kestrel::HostBuffer basis = loaded_;
    if (asUtf8 && basis.encoding != kestrel::TextEncoding::Utf8) {
        // The same buffer in UTF-8, so that unedited lines keep their line
        // ends when the edited text is compared with it.
        basis.bytes = kestrel::ToUtf8(basis.bytes, basis.encoding);
        basis.encoding = kestrel::TextEncoding::Utf8;
    }
    const std::string current =
        basis.encoding == loaded_.encoding
            ? *BufferBytes()
            : BytesFromDisplay(editor_->document()->toRawText(), basis.encoding);
    const std::string fileBytes = kestrel::FileBytesFromBuffer(basis, current);
    const SaveResult written = SaveCarefully(QFile::encodeName(path).toStdString(), fileBytes,
                                             QFile::encodeName(SaveJournalFolder()).toStdString());
    if (!written) {
        error = QString::fromLocal8Bit(written.error.c_str());
        return false;
    }
    if (note) {
        *note = QString::fromLocal8Bit(written.note.c_str());
    }
    // What is on disk now is what later saves are compared against.
    kestrel::HostBuffer saved = kestrel::BufferFromFileBytes(fileBytes);
    saved.encoding = basis.encoding;
    loaded_ = std::move(saved);
    buffer_.reset();
    // A read-only text saved under another name is that file's exact text,
    // and may be edited there.
    roundTrips_ = RoundTrips(loaded_.bytes, loaded_.encoding);
    editor_->setReadOnly(!roundTrips_);
    path_ = QFileInfo(path).absoluteFilePath();
    readOnlyOnDisk_ = InspectFile(path_).readOnlyOnDisk;
    stamp_ = FileStamp::Of(path_);
    stamp_.contents = FileStamp::HashOf(fileBytes);
    editor_->document()->setModified(false);
    return true;
}

void EditorDocument::Reload(std::string_view fileBytes, const FileStamp& stamp) {
    if (!editor_) {
        return;
    }
    const int line = editor_->CursorLine();
    const int column = editor_->CursorColumn();
    const int top = editor_->verticalScrollBar()->value();
    const int left = editor_->horizontalScrollBar()->value();

    kestrel::HostBuffer loaded = kestrel::BufferFromFileBytes(fileBytes);
    ReplaceDocumentText(editor_->document(), DisplayFromBytes(loaded.bytes, loaded.encoding));
    loaded_ = std::move(loaded);
    stamp_ = stamp;
    roundTrips_ = RoundTrips(loaded_.bytes, loaded_.encoding);
    readOnlyOnDisk_ = InspectFile(path_).readOnlyOnDisk;
    editor_->setReadOnly(!roundTrips_);
    editor_->document()->setModified(false);

    editor_->SetCursorLineColumn(line, column);
    editor_->verticalScrollBar()->setValue(top);
    editor_->horizontalScrollBar()->setValue(left);
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

bool EditorDocument::ApplyInsertions(const std::string& snapshot,
                                     const std::vector<Insertion>& insertions) {
    if (!editor_ || insertions.empty()) {
        return true;
    }
    if (IsReadOnly()) {
        emit EditRefused();
        return false;
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
    return true;
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
