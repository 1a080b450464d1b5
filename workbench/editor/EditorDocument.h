#pragma once

#include "BufferSnapshot.h"
#include "CodeEditor.h"
#include "EditedStretch.h"

#include "FileStamp.h"
#include "HostBuffer.h"
#include <Qsci/qscidocument.h>

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace workbench {

// One open file: its text (a Scintilla document, shown by the code editors
// made for it), the host buffer it was loaded as, which knows how to write
// it back byte for byte, what the file on disk was, and whether the text
// may be edited. Offsets and columns that the host hands out count bytes of
// the buffer (lines end in CR LF); the cursor and the view's place are those
// of the first view made, and there are none while no view is.
class BookmarkMarks;

class EditorDocument : public QObject {
    Q_OBJECT

public:
    // Called now and then while a file loads, with the share done so far
    // (0 to 1000); false stops the load.
    using LoadProgress = std::function<bool(int permille)>;

    // Loads `path` into a new document; null with the reason in `status` when
    // the file cannot be read, is not a regular file, or `progress` stopped
    // the load (Cancelled()).
    static EditorDocument* Load(const QString& path, kestrel::FileStatus& status,
                                QObject* parent = nullptr, const LoadProgress& progress = {});
    // A document with unsaved text `fileBytes` for `path`, made from a
    // recovery copy; `base` describes the file the text was edited from.
    static EditorDocument* Recovered(const QString& path, std::string_view fileBytes,
                                     const FileStamp& base, QObject* parent = nullptr);
    // The views go with their document, wherever they were shown.
    ~EditorDocument() override;

    const QString& Path() const { return path_; }
    QString DisplayName() const;
    // A new code editor showing the document's text, coloured when the
    // text is not too large for it.
    CodeEditor* MakeView(QWidget* parent = nullptr);
    // The first view made; null before.
    CodeEditor* Editor() const { return editor_; }
    // The bookmark markers in the editor's margin, kept current.
    BookmarkMarks* Bookmarks() const { return bookmarks_; }
    kestrel::TextEncoding Encoding() const { return loaded_.encoding; }
    bool IsModified() const;

    // The file holds text that the editor could not write back byte for
    // byte: it is shown but neither edited nor saved over.
    bool IsReadOnly() const { return !roundTrips_; }
    // The file on disk is marked read-only or not writable by this user.
    bool ReadOnlyOnDisk() const { return readOnlyOnDisk_; }

    // The first character typed into the text that the file's encoding
    // cannot hold; line and column are 1-based, in characters.
    struct Unencodable {
        int line = 0;
        int column = 0;
        QString character;
    };
    std::optional<Unencodable> FirstUnencodable() const;

    // Writes the text to `path` (see SaveCarefully), in UTF-8 when `asUtf8`
    // whatever the file was; on failure the file on disk keeps its old
    // bytes. `note` says what the user should know about a save that worked
    // (written in place, say).
    kestrel::FileStatus Save(const QString& path, bool asUtf8 = false, QString* note = nullptr);
    // The bytes a save would write now.
    std::string FileBytes() const;
    // The same into `out`, reusing its memory.
    void FileBytes(std::string& out) const;

    // The file as it was read or last saved.
    const FileStamp& DiskStamp() const { return stamp_; }
    void SetDiskStamp(const FileStamp& stamp) { stamp_ = stamp; }
    // Takes `fileBytes`, read from disk as `stamp`, as the new text: one undo
    // step (earlier edits stay in the undo history), the cursor's line and
    // column and the view's place kept, and the document unmodified.
    void Reload(std::string_view fileBytes, const FileStamp& stamp);

    // The editor's text as the host buffer's bytes; kept until the next
    // edit, so readers and writers made in between share one copy.
    std::shared_ptr<const std::string> BufferBytes() const;
    // The same for the host's readers and writers: read in place, without a
    // copy, while the editor's text is the buffer's bytes (a UTF-8 file with
    // no lone CR, its line ends made CR LF on loading, and nothing put in
    // since that is not UTF-8), until the text next changes. The snapshots
    // handed out in between are one.
    std::shared_ptr<const BufferSnapshot> HostBytes() const;

    struct Insertion {
        int32_t offset;   // into the buffer as it was when the edit began
        std::string text; // bytes, lines ending in CR LF
    };
    // Insertions made against the buffer `snapshot`, each placed in the
    // editor's text as it is now: the texts of one offset joined, from the
    // last offset to the first.
    struct Placed {
        size_t position;     // in the editor's text
        std::string display; // the text as the editor holds it
    };
    std::vector<Placed> PlaceInsertions(const BufferSnapshot& snapshot,
                                        const std::vector<Insertion>& insertions) const;
    // Inserts placed texts as one undo step; false, and nothing changes,
    // when the document is read-only.
    bool ApplyInsertions(const std::vector<Placed>& placed);
    // Both, for insertions made against the buffer `snapshot`.
    bool ApplyInsertions(std::string_view snapshot, const std::vector<Insertion>& insertions);

    // Host positions: line and byte column, both 1-based.
    struct BytePos {
        int32_t line;
        int32_t column;
    };
    BytePos CursorPos() const;
    BytePos TopLeftPos() const;
    void SetCursorPos(BytePos pos);
    void SetTopLine(int32_t line);

    // Files up to this size are coloured and folded; larger ones show plain
    // text. Typing is not what limits it: a keystroke stays under 1 ms with
    // colours up to 64 MB. The first jump far into a file is, as it styles
    // all the text before the line: measured by bench_open's
    // BM_ColoursJumpToEnd (load, show, jump to the end), it takes about
    // 30 ms per MB more than plain text, and stays within the 200 ms allowed
    // for opening a 4 MB unit up to 5 to 7 MB, from run to run (4 MB:
    // 110-160 ms of processor time, 6 MB: 165-205 ms, 8 MB: 220-260 ms).
    static constexpr size_t kColourLimit = size_t{5} << 20;

signals:
    void ModifiedChanged();
    // The text changed: by typing, an add-in's edit, a reload.
    void TextChanged();
    // An edit from an add-in was refused because the document is read-only.
    void EditRefused();

private:
    EditorDocument(const QString& path, QObject* parent);
    // Takes `loaded`, which the file on disk described by `stamp` holds, as
    // what the editor's text was read from: later saves are compared with
    // it, the text is read-only unless it comes back byte for byte, the
    // disk's read-only mark is looked at again, and the text is unmodified.
    void Adopt(kestrel::HostBuffer loaded, const FileStamp& stamp);
    // The editor that holds the text: the first view while there is one,
    // else the hidden one.
    ScintillaText* Text() const;
    void Listen(ScintillaText* holder);
    // Byte offsets into the editor's text for host positions, and back.
    size_t EditorOffset(int32_t line, int32_t byteColumn, int* beyond) const;
    int32_t ByteColumnAt(size_t offset) const;
    void SetModifiedFlag(bool modified);
    // The text is about to change: snapshots read in place take their copy.
    void TextChanging(qsizetype position, qsizetype length, bool inserting);
    // Has a snapshot still read in place take its own copy, and the next
    // reader judge the text again.
    void DropInPlace() const;
    // Whether the editor's text is in the buffer's form now (bufferForm_),
    // judged on what was edited since it last was.
    bool InBufferForm() const;
    // After the text was set from `loaded_`: `mapped` when it needed the
    // display mappings.
    void TextSetFromBuffer(bool mapped);

    QString path_;
    kestrel::HostBuffer loaded_;
    bool roundTrips_ = true;
    bool readOnlyOnDisk_ = false;
    QPointer<CodeEditor> editor_;
    QList<QPointer<CodeEditor>> views_;
    BookmarkMarks* bookmarks_ = nullptr;
    mutable std::shared_ptr<const std::string> buffer_;
    mutable std::weak_ptr<BufferSnapshot> inPlace_;
    // The editor's text held no lone CR or LF and no stand-in before the
    // edits in `edited_` (in a UTF-8 file it was then the buffer's bytes).
    mutable bool bufferForm_ = false;
    mutable EditedStretch edited_;
    // A recovered text is modified from the start, though the editor has
    // nothing to undo.
    bool recoveredUnsaved_ = false;
    FileStamp stamp_;
    // The text: a Scintilla document, held by a Scintilla editor that is
    // never shown while no view shows it. Last, so that they go first.
    std::unique_ptr<ScintillaText> text_;
    QsciDocument document_;
};

} // namespace workbench
