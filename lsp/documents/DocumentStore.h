#pragma once

#include "ReadToEnd.h"
#include "documents/TextDocument.h"

#include <QHash>
#include <QString>

#include <memory>
#include <optional>

namespace kestrel::lsp {

// The documents the client has open, by URI, with their editor text; any
// other file URI is read from disk on demand.
class DocumentStore {
public:
    // Files larger than this are not read from disk.
    static constexpr qint64 kMaxFileSize = static_cast<qint64>(kLargeFileBytes);

    void Open(const QString& uri, std::string text, int64_t version);
    // Applies one content change to an open document: the text replaces
    // `range`, or the whole text when there is no range. False when the
    // document is not open.
    bool Change(const QString& uri, const std::optional<TextRange>& range, std::string_view text,
                PositionEncoding encoding, int64_t version);
    void Close(const QString& uri);
    bool IsOpen(const QString& uri) const { return open_.contains(uri); }

    // The open document, or else the file the URI names, read from disk.
    // Null with a reason in `error` when neither exists.
    std::shared_ptr<const TextDocument> Get(const QString& uri, QString& error) const;

private:
    struct Entry {
        std::shared_ptr<TextDocument> document;
        int64_t version = 0;
    };
    QHash<QString, Entry> open_;
};

// A file's text as UTF-8, decoded the way kestrel-list decodes it: UTF-8
// where the whole file is valid UTF-8, else Windows-1252; a UTF-8
// byte-order mark is left out.
std::string DecodeFileText(std::string_view bytes);

// Reads and decodes the file a `file:` URI names. Gives false with a reason
// for any other URI, a file that cannot be read, or one that is not a
// regular file or is too large.
bool ReadFileUri(const QString& uri, std::string& text, QString& error);

} // namespace kestrel::lsp
