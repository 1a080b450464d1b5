#include "EditorDocument.h"

#include "BookmarkMarks.h"
#include "CarefulSave.h"
#include "DisplayText.h"
#include "FileReading.h"
#include "ReplaceText.h"
#include "SaveJournalFolder.h"

#include <QFileInfo>
#include <QScrollBar>
#include <cstring>

namespace workbench {

namespace {

// A new editor holding the buffer's text; null when `progress` stopped it.
CodeEditor* FillEditor(const kestrel::HostBuffer& buffer,
                       const EditorDocument::LoadProgress& progress) {
    auto editor = std::make_unique<CodeEditor>();
    editor->SetColouring(buffer.bytes.size() <= EditorDocument::kColourLimit);
    const bool loaded =
        NeedsDisplayMapping(buffer.bytes, buffer.encoding)
            ? editor->LoadText(DisplayFromBytes(buffer.bytes, buffer.encoding), progress)
            : editor->LoadText(buffer.bytes, progress);
    return loaded ? editor.release() : nullptr;
}

} // namespace

EditorDocument* EditorDocument::Load(const QString& path, kestrel::FileStatus& status,
                                     QObject* parent, const LoadProgress& progress) {
    // Taken before the read, so a write during it shows at the next look.
    FileStamp stamp = FileStamp::Of(path);
    kestrel::HostBuffer loaded;
    {
        kestrel::FileBytes bytes;
        status = ReadEditorFile(path, bytes, [&](size_t done, size_t total) {
            return !progress || progress(static_cast<int>(total > 0 ? 100 * done / total : 100));
        });
        if (!status) {
            return nullptr;
        }
        stamp.contents = FileStamp::HashOf(bytes.View());
        loaded = kestrel::BufferFromFileBytes(bytes.View());
    } // the file's bytes are freed before the editor takes its copy
    CodeEditor* editor = FillEditor(loaded, progress);
    if (editor == nullptr) {
        status = kestrel::FileStatus::Cancel(tr("opening was cancelled").toStdString());
        return nullptr;
    }
    auto* document = new EditorDocument(path, std::move(loaded), editor, parent);
    document->readOnlyOnDisk_ = InspectFile(path).readOnlyOnDisk;
    document->stamp_ = stamp;
    return document;
}

EditorDocument* EditorDocument::Recovered(const QString& path, std::string_view fileBytes,
                                          const FileStamp& base, QObject* parent) {
    kestrel::HostBuffer loaded = kestrel::BufferFromFileBytes(fileBytes);
    CodeEditor* editor = FillEditor(loaded, {});
    auto* document = new EditorDocument(path, std::move(loaded), editor, parent);
    document->readOnlyOnDisk_ = InspectFile(path).readOnlyOnDisk;
    document->stamp_ = base;
    document->SetModifiedFlag(true);
    return document;
}

EditorDocument::EditorDocument(const QString& path, kestrel::HostBuffer loaded, CodeEditor* editor,
                               QObject* parent)
    : QObject(parent), path_(QFileInfo(path).absoluteFilePath()), loaded_(std::move(loaded)),
      roundTrips_(RoundTrips(loaded_.bytes, loaded_.encoding)), editor_(editor) {
    // A file that the editor could not give back byte for byte is shown
    // but not edited.
    editor_->setReadOnly(!roundTrips_);
    connect(editor_, &QsciScintilla::modificationChanged, this, &EditorDocument::ModifiedChanged);
    connect(editor_, &CodeEditor::TextChanging, this, [this] { buffer_.reset(); });
    connect(editor_, &CodeEditor::TextEdited, this, &EditorDocument::TextChanged);
    bookmarks_ = new BookmarkMarks(*this);
}

EditorDocument::~EditorDocument() {
    delete editor_.data();
}

QString EditorDocument::DisplayName() const {
    return QFileInfo(path_).fileName();
}

bool EditorDocument::IsModified() const {
    return editor_ && (recoveredUnsaved_ || editor_->isModified());
}

void EditorDocument::SetModifiedFlag(bool modified) {
    const bool was = IsModified();
    recoveredUnsaved_ = modified;
    if (!modified && editor_) {
        editor_->setModified(false);
    }
    if (IsModified() != was) {
        emit ModifiedChanged();
    }
}

std::shared_ptr<const std::string> EditorDocument::BufferBytes() const {
    if (!editor_) {
        return std::make_shared<const std::string>();
    }
    if (!buffer_) {
        buffer_ = std::make_shared<const std::string>(
            BytesFromDisplay(editor_->Bytes(), loaded_.encoding));
    }
    return buffer_;
}

std::string EditorDocument::FileBytes() const {
    return kestrel::FileBytesFromBuffer(loaded_, *BufferBytes());
}

void EditorDocument::FileBytes(std::string& out) const {
    kestrel::FileBytesFromBuffer(loaded_, *BufferBytes(), out);
}

std::optional<EditorDocument::Unencodable> EditorDocument::FirstUnencodable() const {
    if (!editor_) {
        return std::nullopt;
    }
    QString character;
    const size_t at = workbench::FirstUnencodable(editor_->Bytes(), loaded_.encoding, &character);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const long line =
        editor_->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, static_cast<long>(at));
    const long start = editor_->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, line);
    const long units =
        editor_->SendScintilla(QsciScintillaBase::SCI_COUNTCODEUNITS, start, static_cast<long>(at));
    return Unencodable{static_cast<int>(line) + 1, static_cast<int>(units) + 1, character};
}

kestrel::FileStatus EditorDocument::Save(const QString& path, bool asUtf8, QString* note) {
    kestrel::HostBuffer basis = loaded_;
    if (asUtf8 && basis.encoding != kestrel::TextEncoding::Utf8) {
        // The same buffer in UTF-8, so that unedited lines keep their line
        // ends when the edited text is compared with it.
        basis.bytes = kestrel::ToUtf8(basis.bytes, basis.encoding);
        basis.encoding = kestrel::TextEncoding::Utf8;
    }
    const std::string current = basis.encoding == loaded_.encoding
                                    ? *BufferBytes()
                                    : BytesFromDisplay(editor_->Bytes(), basis.encoding);
    const std::string fileBytes = kestrel::FileBytesFromBuffer(basis, current);
    std::string savedNote;
    const kestrel::FileStatus written =
        SaveCarefully(QFile::encodeName(path).toStdString(), fileBytes,
                      QFile::encodeName(SaveJournalFolder()).toStdString(), &savedNote);
    if (!written) {
        return written;
    }
    if (note) {
        *note = QString::fromStdString(savedNote);
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
    SetModifiedFlag(false);
    return {};
}

void EditorDocument::Reload(std::string_view fileBytes, const FileStamp& stamp) {
    if (!editor_) {
        return;
    }
    const int line = editor_->CursorLine();
    const int column = editor_->CursorColumn();
    const int top = editor_->TopLine();
    const int left = editor_->horizontalScrollBar()->value();

    kestrel::HostBuffer loaded = kestrel::BufferFromFileBytes(fileBytes);
    if (NeedsDisplayMapping(loaded.bytes, loaded.encoding)) {
        ReplaceEditorText(*editor_, DisplayFromBytes(loaded.bytes, loaded.encoding));
    } else {
        ReplaceEditorText(*editor_, loaded.bytes);
    }
    loaded_ = std::move(loaded);
    buffer_.reset();
    stamp_ = stamp;
    roundTrips_ = RoundTrips(loaded_.bytes, loaded_.encoding);
    readOnlyOnDisk_ = InspectFile(path_).readOnlyOnDisk;
    editor_->setReadOnly(!roundTrips_);
    SetModifiedFlag(false);

    editor_->SetCursorLineColumn(line, column);
    editor_->SetTopLine(top);
    editor_->horizontalScrollBar()->setValue(left);
}

size_t EditorDocument::EditorOffset(int32_t line, int32_t byteColumn, int* beyond) const {
    const int lines = editor_->LineCount();
    const int clamped = std::clamp<int32_t>(line, 1, lines);
    const long start = editor_->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE,
                                              static_cast<unsigned long>(clamped - 1));
    const LineOffset at =
        DisplayOffsetForByteColumn(editor_->LineBytes(clamped), byteColumn, loaded_.encoding);
    *beyond = at.beyond;
    return static_cast<size_t>(start) + at.offset;
}

int32_t EditorDocument::ByteColumnAt(size_t offset) const {
    const int line = static_cast<int>(editor_->SendScintilla(
                         QsciScintillaBase::SCI_LINEFROMPOSITION, static_cast<long>(offset))) +
                     1;
    const long start = editor_->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE,
                                              static_cast<unsigned long>(line - 1));
    return ByteColumnForDisplayOffset(editor_->LineBytes(line), offset - static_cast<size_t>(start),
                                      loaded_.encoding);
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
    size_t cursor = editor_->CursorOffset();
    bool cursorMoved = false;
    editor_->SendScintilla(QsciScintillaBase::SCI_BEGINUNDOACTION);
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
        int line = 1;
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
        if (line > editor_->LineCount()) {
            continue;
        }
        int beyond = 0;
        const size_t position = EditorOffset(line, static_cast<int32_t>(at - lineStart), &beyond);
        const std::string display = DisplayFromBytes(text, loaded_.encoding);
        editor_->SendScintilla(QsciScintillaBase::SCI_INSERTTEXT, static_cast<uintptr_t>(position),
                               display.c_str());
        // The cursor stays with the text it stood at, after what was
        // inserted there, as a cursor in any text does.
        if (position <= cursor) {
            cursor += display.size();
            cursorMoved = true;
        }
    }
    editor_->SendScintilla(QsciScintillaBase::SCI_ENDUNDOACTION);
    editor_->FlushTextEdited();
    if (cursorMoved) {
        editor_->SetCursorOffset(cursor, 0);
    }
    return true;
}

EditorDocument::BytePos EditorDocument::CursorPos() const {
    if (!editor_) {
        return {0, 0};
    }
    return {editor_->CursorLine(),
            ByteColumnAt(editor_->CursorOffset()) + 1 + editor_->VirtualColumns()};
}

EditorDocument::BytePos EditorDocument::TopLeftPos() const {
    if (!editor_) {
        return {0, 0};
    }
    const long xOffset = editor_->SendScintilla(QsciScintillaBase::SCI_GETXOFFSET);
    return {editor_->TopLine() + 1, static_cast<int32_t>(xOffset / editor_->CharWidth()) + 1};
}

void EditorDocument::SetCursorPos(BytePos pos) {
    if (!editor_) {
        return;
    }
    int beyond = 0;
    const size_t offset = EditorOffset(pos.line, std::max(0, pos.column - 1), &beyond);
    editor_->SetCursorOffset(offset, beyond);
}

void EditorDocument::SetTopLine(int32_t line) {
    if (!editor_) {
        return;
    }
    editor_->SetTopLine(std::max(0, line - 1));
    editor_->SendScintilla(QsciScintillaBase::SCI_SETXOFFSET, 0);
}

} // namespace workbench
