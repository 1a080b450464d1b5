#pragma once

#include "FileBytes.h"
#include "ReadToEnd.h"
#include "documents/TextDocument.h"

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

namespace kestrel::lsp {

// The documents the client has open, by URI, with their editor text; any
// other file URI is read from disk on demand. A document whose text the
// server does not have exactly as the editor has it (its opening was too
// large to take, or a change could not be applied as sent) is out of step:
// it gets no answer from a guess or from the file on disk, only an error,
// until the editor sends its whole text again or reopens it.
class DocumentStore {
public:
    // Files larger than this are not read from disk.
    static constexpr int64_t kMaxFileSize = static_cast<int64_t>(kLargeFileBytes);

    void Open(const std::string& uri, std::string text, int64_t version);
    // The client opened `uri`, but its text could not be taken.
    void Refuse(const std::string& uri, std::string why);
    // A change to an open document could not be taken; true when that puts
    // it out of step (it was in step).
    bool MarkOutOfStep(const std::string& uri, std::string why);
    // Why the open document is out of step; empty while it is not.
    std::string OutOfStep(const std::string& uri) const;

    enum class ChangeResult {
        Applied,
        NotOpen,
        WentOutOfStep, // the change cannot be applied exactly (OutOfStep says why)
        Ignored,       // a ranged change to a document out of step
    };
    // Applies one content change to an open document: the text replaces
    // `range`, or the whole text when there is no range.
    ChangeResult Change(const std::string& uri, const std::optional<TextRange>& range,
                        std::string_view text, PositionEncoding encoding, int64_t version);
    void Close(const std::string& uri);
    bool IsOpen(const std::string& uri) const { return open_.contains(uri); }

    // The open document, or else the file the URI names, read from disk.
    // Null with a reason in `error` when neither exists, or when the open
    // document is out of step.
    std::shared_ptr<const TextDocument> Get(const std::string& uri, std::string& error) const;

private:
    struct Entry {
        std::shared_ptr<TextDocument> document; // null when refused
        int64_t version = 0;
        std::string outOfStep;
    };
    std::unordered_map<std::string, Entry> open_;
};

// A file's text as UTF-8, decoded the way kestrel-list decodes it: UTF-8
// where the whole file is valid UTF-8, else Windows-1252; a UTF-8
// byte-order mark is left out.
std::string DecodeFileText(std::string_view bytes);
// The same, taking the bytes over where they are the text as they stand
// (UTF-8 without a mark) instead of copying them.
std::string DecodeFileText(FileBytes& bytes);

// Reads and decodes the file a `file:` URI names. Gives false with a reason
// for any other URI, a file that cannot be read, or one that is not a
// regular file or is too large.
bool ReadFileUri(const std::string& uri, std::string& text, std::string& error);

} // namespace kestrel::lsp
