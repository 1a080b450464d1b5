#include "EditorDocument.h"

#include "BookmarkMarks.h"
#include "CarefulSave.h"
#include "DisplayText.h"
#include "FileReading.h"
#include "ReplaceText.h"
#include "SaveJournalFolder.h"

#include <Qsci/qscidocument.h>

#include <QFileInfo>
#include <QScrollBar>
#include <cstring>

namespace workbench {

namespace {

// Gives `text` the buffer's text, mapped for display when `mapped`; false
// when `progress` stopped it.
bool FillText(ScintillaText& text, const kestrel::HostBuffer& buffer, bool mapped,
              const EditorDocument::LoadProgress& progress) {
    return mapped ? text.LoadText(DisplayFromBytes(buffer.bytes, buffer.encoding), progress)
                  : text.LoadText(buffer.bytes, progress);
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
    auto document = std::unique_ptr<EditorDocument>(new EditorDocument(path, parent));
    document->text_->SetColouring(loaded.bytes.size() <= kColourLimit);
    const bool mapped = NeedsDisplayMapping(loaded.bytes, loaded.encoding);
    if (!FillText(*document->text_, loaded, mapped, progress)) {
        status = kestrel::FileStatus::Cancel(tr("opening was cancelled").toStdString());
        return nullptr;
    }
    document->Adopt(std::move(loaded), stamp);
    document->TextSetFromBuffer(mapped);
    return document.release();
}

EditorDocument* EditorDocument::Recovered(const QString& path, std::string_view fileBytes,
                                          const FileStamp& base, QObject* parent) {
    kestrel::HostBuffer loaded = kestrel::BufferFromFileBytes(fileBytes);
    auto* document = new EditorDocument(path, parent);
    document->text_->SetColouring(loaded.bytes.size() <= kColourLimit);
    const bool mapped = NeedsDisplayMapping(loaded.bytes, loaded.encoding);
    FillText(*document->text_, loaded, mapped, {});
    document->Adopt(std::move(loaded), base);
    document->TextSetFromBuffer(mapped);
    document->SetModifiedFlag(true);
    return document;
}

EditorDocument::EditorDocument(const QString& path, QObject* parent)
    : QObject(parent), path_(QFileInfo(path).absoluteFilePath()),
      text_(std::make_unique<ScintillaText>()), document_(text_->document()) {
    Listen(text_.get());
    bookmarks_ = new BookmarkMarks(*this);
}

void EditorDocument::Listen(ScintillaText* holder) {
    connect(holder, &QsciScintilla::modificationChanged, this, &EditorDocument::ModifiedChanged);
    connect(holder, &ScintillaText::TextChanging, this, &EditorDocument::TextChanging);
    connect(holder, &ScintillaText::TextEdited, this, &EditorDocument::TextChanged);
}

ScintillaText* EditorDocument::Text() const {
    return editor_ ? static_cast<ScintillaText*>(editor_.data()) : text_.get();
}

EditorDocument::~EditorDocument() {
    // A reader may outlive the document: what it holds in place is copied
    // before the editor's text is freed.
    DropInPlace();
    disconnect(text_.get(), nullptr, this, nullptr);
    if (editor_) {
        disconnect(editor_, nullptr, this, nullptr);
    }
    for (const QPointer<CodeEditor>& view : std::as_const(views_)) {
        delete view.data();
    }
}

CodeEditor* EditorDocument::MakeView(QWidget* parent) {
    auto* view = new CodeEditor(parent);
    view->SetColouring(text_->Colouring());
    view->Show(document_);
    views_ << view;
    if (!editor_) {
        // The first view holds the text from now on, and the hidden editor
        // lets it go: every editor on a document hears of every change to
        // it, and styling a large text for the view took a tenth longer
        // with a second one listening.
        text_->FlushTextEdited();
        disconnect(text_.get(), nullptr, this, nullptr);
        text_->setDocument(QsciDocument());
        editor_ = view;
        Listen(view);
        // Should the view go first, the hidden editor takes the text back.
        connect(view, &QObject::destroyed, this, [this] {
            editor_ = nullptr;
            text_->setDocument(document_);
            Listen(text_.get());
        });
    }
    return view;
}

QString EditorDocument::DisplayName() const {
    return QFileInfo(path_).fileName();
}

bool EditorDocument::IsModified() const {
    return recoveredUnsaved_ || Text()->isModified();
}

void EditorDocument::Adopt(kestrel::HostBuffer loaded, const FileStamp& stamp) {
    // A reload that leaves the editor's text as it was (the same characters
    // in another encoding) changes the buffer's bytes all the same.
    DropInPlace();
    loaded_ = std::move(loaded);
    buffer_.reset();
    stamp_ = stamp;
    // A file that the editor could not give back byte for byte is shown
    // but not edited.
    roundTrips_ = RoundTrips(loaded_.bytes, loaded_.encoding);
    Text()->setReadOnly(!roundTrips_);
    for (const QPointer<CodeEditor>& view : std::as_const(views_)) {
        if (view) {
            view->setReadOnly(!roundTrips_); // input methods follow it
        }
    }
    readOnlyOnDisk_ = InspectFile(path_).readOnlyOnDisk;
    SetModifiedFlag(false);
}

void EditorDocument::SetModifiedFlag(bool modified) {
    const bool was = IsModified();
    recoveredUnsaved_ = modified;
    if (!modified) {
        Text()->setModified(false);
    }
    if (IsModified() != was) {
        emit ModifiedChanged();
    }
}

void EditorDocument::DropInPlace() const {
    if (const std::shared_ptr<BufferSnapshot> held = inPlace_.lock()) {
        held->Detach();
    }
    inPlace_.reset();
}

void EditorDocument::TextChanging(qsizetype position, qsizetype length, bool inserting) {
    DropInPlace();
    buffer_.reset();
    const auto at = static_cast<size_t>(std::max<qsizetype>(position, 0));
    const auto bytes = static_cast<size_t>(std::max<qsizetype>(length, 0));
    if (inserting) {
        edited_.Inserted(at, bytes);
    } else {
        edited_.Deleted(at, bytes);
    }
}

void EditorDocument::TextSetFromBuffer(bool mapped) {
    bufferForm_ = !mapped && roundTrips_ && loaded_.encoding == kestrel::TextEncoding::Utf8;
    edited_.Clear();
}

bool EditorDocument::InBufferForm() const {
    if (bufferForm_ && !edited_.IsEmpty()) {
        // Only the edited stretch can have broken the form: a keystroke's
        // bytes are looked at, not the whole text.
        bufferForm_ = StretchInBufferForm(Text()->Bytes(), edited_.From(), edited_.To());
        edited_.Clear();
    }
    return bufferForm_;
}

std::shared_ptr<const std::string> EditorDocument::BufferBytes() const {
    if (!buffer_) {
        const std::string_view text = Text()->Bytes();
        buffer_ = std::make_shared<const std::string>(BytesFromDisplay(text, loaded_.encoding));
        // A copy that is the text itself (a pasted lone line end deleted
        // again, say) lets the next readers read in place again.
        if (!bufferForm_ && loaded_.encoding == kestrel::TextEncoding::Utf8) {
            bufferForm_ = *buffer_ == text;
            edited_.Clear();
        }
    }
    return buffer_;
}

std::shared_ptr<const BufferSnapshot> EditorDocument::HostBytes() const {
    if (std::shared_ptr<BufferSnapshot> held = inPlace_.lock()) {
        return held;
    }
    if (loaded_.encoding == kestrel::TextEncoding::Utf8 && InBufferForm()) {
        std::shared_ptr<BufferSnapshot> inPlace = BufferSnapshot::InPlace(Text()->Bytes());
        inPlace_ = inPlace;
        return inPlace;
    }
    return BufferSnapshot::Of(BufferBytes());
}

std::string EditorDocument::FileBytes() const {
    std::string out;
    FileBytes(out);
    return out;
}

void EditorDocument::FileBytes(std::string& out) const {
    // Read in place where it can be: a recovery copy is made ready after
    // every edit while an add-in runs.
    kestrel::FileBytesFromBuffer(loaded_, HostBytes()->Bytes(), out);
}

std::optional<EditorDocument::Unencodable> EditorDocument::FirstUnencodable() const {
    QString character;
    const size_t at = workbench::FirstUnencodable(Text()->Bytes(), loaded_.encoding, &character);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const long line =
        Text()->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, static_cast<long>(at));
    const long start = Text()->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, line);
    const long units =
        Text()->SendScintilla(QsciScintillaBase::SCI_COUNTCODEUNITS, start, static_cast<long>(at));
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
                                    : BytesFromDisplay(Text()->Bytes(), basis.encoding);
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
    // What is on disk now is what later saves are compared against. A
    // read-only text saved under another name is that file's exact text,
    // and may be edited there.
    kestrel::HostBuffer saved = kestrel::BufferFromFileBytes(fileBytes);
    saved.encoding = basis.encoding;
    path_ = QFileInfo(path).absoluteFilePath();
    FileStamp stamp = FileStamp::Of(path_);
    stamp.contents = FileStamp::HashOf(fileBytes);
    Adopt(std::move(saved), stamp);
    return {};
}

void EditorDocument::Reload(std::string_view fileBytes, const FileStamp& stamp) {
    struct Place {
        QPointer<CodeEditor> view;
        int line, column, top, left;
    };
    QList<Place> places;
    for (CodeEditor* view : views_) {
        if (view) {
            places << Place{view, view->CursorLine(), view->CursorColumn(), view->TopLine(),
                            view->horizontalScrollBar()->value()};
        }
    }

    kestrel::HostBuffer loaded = kestrel::BufferFromFileBytes(fileBytes);
    const bool mapped = NeedsDisplayMapping(loaded.bytes, loaded.encoding);
    if (mapped) {
        ReplaceEditorText(*Text(), DisplayFromBytes(loaded.bytes, loaded.encoding));
    } else {
        ReplaceEditorText(*Text(), loaded.bytes);
    }
    Adopt(std::move(loaded), stamp);
    TextSetFromBuffer(mapped);

    for (const Place& place : std::as_const(places)) {
        if (place.view) {
            place.view->SetCursorLineColumn(place.line, place.column);
            place.view->SetTopLine(place.top);
            place.view->horizontalScrollBar()->setValue(place.left);
        }
    }
}

size_t EditorDocument::EditorOffset(int32_t line, int32_t byteColumn, int* beyond) const {
    const int lines = Text()->LineCount();
    const int clamped = std::clamp<int32_t>(line, 1, lines);
    const long start = Text()->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE,
                                             static_cast<unsigned long>(clamped - 1));
    const LineOffset at =
        DisplayOffsetForByteColumn(Text()->LineBytes(clamped), byteColumn, loaded_.encoding);
    *beyond = at.beyond;
    return static_cast<size_t>(start) + at.offset;
}

int32_t EditorDocument::ByteColumnAt(size_t offset) const {
    const int line = static_cast<int>(Text()->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION,
                                                            static_cast<long>(offset))) +
                     1;
    const long start = Text()->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE,
                                             static_cast<unsigned long>(line - 1));
    return ByteColumnForDisplayOffset(Text()->LineBytes(line), offset - static_cast<size_t>(start),
                                      loaded_.encoding);
}

std::vector<EditorDocument::Placed>
EditorDocument::PlaceInsertions(const BufferSnapshot& snapshot,
                                const std::vector<Insertion>& insertions) const {
    const std::string_view bytes = snapshot.Bytes();
    std::vector<Placed> placed;
    // From the last offset to the first, so that, inserted in this order,
    // earlier offsets stay valid; texts inserted at one offset keep their
    // order.
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

        const size_t at = std::min(static_cast<size_t>(std::max(offset, 0)), bytes.size());
        // The line of the offset, and where it starts.
        int line = 1;
        size_t lineStart = 0;
        if (snapshot.IsInPlace()) {
            // The snapshot is the editor's text: the editor knows its lines.
            line = static_cast<int>(Text()->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION,
                                                          static_cast<long>(at))) +
                   1;
            lineStart = static_cast<size_t>(Text()->SendScintilla(
                QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line - 1)));
        } else {
            for (const char* p = bytes.data();;) {
                const void* lf = std::memchr(p, '\n', bytes.data() + at - p);
                if (lf == nullptr) {
                    break;
                }
                p = static_cast<const char*>(lf) + 1;
                lineStart = static_cast<size_t>(p - bytes.data());
                ++line;
            }
        }
        if (line > Text()->LineCount()) {
            continue;
        }
        int beyond = 0;
        const size_t position = EditorOffset(line, static_cast<int32_t>(at - lineStart), &beyond);
        placed.push_back({position, DisplayFromBytes(text, loaded_.encoding)});
    }
    return placed;
}

bool EditorDocument::ApplyInsertions(const std::vector<Placed>& placed) {
    if (IsReadOnly()) {
        emit EditRefused();
        return false;
    }
    if (placed.empty()) {
        return true;
    }
    size_t cursor = editor_ ? editor_->CursorOffset() : 0;
    bool cursorMoved = false;
    Text()->SendScintilla(QsciScintillaBase::SCI_BEGINUNDOACTION);
    for (const Placed& insertion : placed) {
        Text()->SendScintilla(QsciScintillaBase::SCI_INSERTTEXT,
                              static_cast<uintptr_t>(insertion.position),
                              insertion.display.c_str());
        // The cursor stays with the text it stood at, after what was
        // inserted there, as a cursor in any text does.
        if (insertion.position <= cursor) {
            cursor += insertion.display.size();
            cursorMoved = true;
        }
    }
    Text()->SendScintilla(QsciScintillaBase::SCI_ENDUNDOACTION);
    Text()->FlushTextEdited();
    if (cursorMoved && editor_) {
        editor_->SetCursorOffset(cursor, 0);
    }
    return true;
}

bool EditorDocument::ApplyInsertions(std::string_view snapshot,
                                     const std::vector<Insertion>& insertions) {
    if (insertions.empty()) {
        return true;
    }
    const auto copy = std::make_shared<const std::string>(snapshot);
    return ApplyInsertions(PlaceInsertions(*BufferSnapshot::Of(copy), insertions));
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
