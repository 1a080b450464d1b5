#pragma once

#include "CodeEditor.h"
#include "FileStamp.h"
#include "HostBuffer.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace workbench {

// One open file: its editor, and the host buffer it was loaded as, which
// knows how to write it back byte for byte. Offsets and columns that the
// host hands out count bytes of the buffer (lines end in CR LF).
class EditorDocument : public QObject {
    Q_OBJECT

public:
    // Loads `path` into a new editor; null with a message in `error` when
    // the file cannot be read.
    static EditorDocument* Load(const QString& path, QString& error, QObject* parent = nullptr);
    // A document with unsaved text `fileBytes` for `path`, made from a
    // recovery copy; `base` describes the file the text was edited from.
    static EditorDocument* Recovered(const QString& path, std::string_view fileBytes,
                                     const FileStamp& base, QObject* parent = nullptr);
    // The editor goes with its document, wherever it was shown.
    ~EditorDocument() override;

    const QString& Path() const { return path_; }
    QString DisplayName() const;
    CodeEditor* Editor() const { return editor_; }
    kestrel::TextEncoding Encoding() const { return loaded_.encoding; }
    bool IsModified() const;

    // Writes the text to `path` atomically; on failure the file on disk is
    // untouched and `error` says why.
    bool Save(const QString& path, QString& error);
    // The bytes a save would write now.
    std::string FileBytes() const;

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

    struct Insertion {
        int32_t offset;   // into the buffer as it was when the edit began
        std::string text; // bytes, lines ending in CR LF
    };
    // Applies insertions made against the buffer `snapshot` as one undo step.
    void ApplyInsertions(const std::string& snapshot, const std::vector<Insertion>& insertions);

    // Host positions: line and byte column, both 1-based.
    struct BytePos {
        int32_t line;
        int32_t column;
    };
    BytePos CursorPos() const;
    BytePos TopLeftPos() const;
    void SetCursorPos(BytePos pos);
    void SetTopLine(int32_t line);

signals:
    void ModifiedChanged();

private:
    EditorDocument(const QString& path, kestrel::HostBuffer loaded, QObject* parent);
    int CharIndexForByteColumn(const QString& text, int byteColumn, int* beyond) const;
    int ByteColumnForCharIndex(const QString& text, int charIndex) const;

    QString path_;
    kestrel::HostBuffer loaded_;
    QPointer<CodeEditor> editor_;
    mutable std::shared_ptr<const std::string> buffer_;
    FileStamp stamp_;
};

} // namespace workbench
