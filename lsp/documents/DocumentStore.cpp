#include "documents/DocumentStore.h"

#include "documents/FileUri.h"

#include "ErrnoText.h"
#include "ReadFile.h"
#include "SourceMarks.h"
#include "TextEncoding.h"

#include <algorithm>

namespace kestrel::lsp {

void DocumentStore::Open(const std::string& uri, std::string text, int64_t version) {
    open_.insert_or_assign(uri,
                           Entry{std::make_shared<TextDocument>(std::move(text)), version, {}});
}

void DocumentStore::Refuse(const std::string& uri, std::string why) {
    open_.insert_or_assign(uri, Entry{nullptr, 0, std::move(why)});
}

bool DocumentStore::MarkOutOfStep(const std::string& uri, std::string why) {
    const auto found = open_.find(uri);
    if (found == open_.end() || !found->second.outOfStep.empty()) {
        return false;
    }
    found->second.outOfStep = std::move(why);
    return true;
}

std::string DocumentStore::OutOfStep(const std::string& uri) const {
    const auto found = open_.find(uri);
    return found == open_.end() ? std::string() : found->second.outOfStep;
}

DocumentStore::ChangeResult DocumentStore::Change(const std::string& uri,
                                                  const std::optional<TextRange>& range,
                                                  std::string_view text, PositionEncoding encoding,
                                                  int64_t version) {
    const auto found = open_.find(uri);
    if (found == open_.end()) {
        return ChangeResult::NotOpen;
    }
    Entry& entry = found->second;
    if (!range) {
        // The whole text: in step again, whatever came before.
        entry.document = std::make_shared<TextDocument>(std::string(text));
        entry.outOfStep.clear();
        entry.version = version;
        return ChangeResult::Applied;
    }
    if (!entry.outOfStep.empty()) {
        return ChangeResult::Ignored;
    }
    TextDocument& document = *entry.document;
    const TextPosition& start = range->start;
    const TextPosition& end = range->end;
    // A line just past the last one stands for the end of the text.
    if (start.line > document.LineCount() || end.line > document.LineCount()) {
        entry.outOfStep = "a change's range lies past the end of the text";
        return ChangeResult::WentOutOfStep;
    }
    if (end.line < start.line || (end.line == start.line && end.character < start.character)) {
        entry.outOfStep = "a change's range ends before it starts";
        return ChangeResult::WentOutOfStep;
    }
    const size_t from = document.OffsetOf(start, encoding);
    const size_t to = document.OffsetOf(end, encoding);
    document.Replace(from, std::max(from, to), text);
    entry.version = version;
    return ChangeResult::Applied;
}

void DocumentStore::Close(const std::string& uri) {
    open_.erase(uri);
}

std::shared_ptr<const TextDocument> DocumentStore::Get(const std::string& uri,
                                                       std::string& error) const {
    if (const auto found = open_.find(uri); found != open_.end()) {
        if (!found->second.outOfStep.empty()) {
            // Neither a guess nor the file on disk: the editor has other text.
            error = uri + " is out of step with the editor (" + found->second.outOfStep +
                    "); close and reopen it";
            return nullptr;
        }
        return found->second.document;
    }
    std::string text;
    if (!ReadFileUri(uri, text, error)) {
        return nullptr;
    }
    return std::make_shared<const TextDocument>(std::move(text));
}

namespace {

std::string Decoded(std::string_view bytes, TextEncoding encoding) {
    StripByteOrderMark(bytes);
    if (encoding == TextEncoding::Utf8) {
        return std::string(bytes); // checked whole already: nothing to convert
    }
    return ToUtf8(bytes, encoding);
}

} // namespace

std::string DecodeFileText(std::string_view bytes) {
    return Decoded(bytes, DetectEncoding(bytes));
}

std::string DecodeFileText(FileBytes& bytes) {
    const TextEncoding encoding = DetectEncoding(bytes.View());
    std::string_view text = bytes.View();
    StripByteOrderMark(text);
    if (encoding == TextEncoding::Utf8 && text.size() == bytes.Size()) {
        return bytes.Take();
    }
    return Decoded(bytes.View(), encoding);
}

bool ReadFileUri(const std::string& uri, std::string& text, std::string& error) {
    const std::optional<std::string> path = PathOfFileUri(uri);
    if (!path) {
        error = uri + " is not open and not a local file URI";
        return false;
    }
    const std::string& shown = *path;
    // Only regular files, opened without waiting: a FIFO or a device in the
    // file's place could block the server or never end.
    FileBytes bytes;
    const FileRead read =
        ReadFile(*path, {.fileLimit = static_cast<size_t>(DocumentStore::kMaxFileSize)}, bytes);
    switch (read.end) {
    case ReadEnd::Complete:
        text = DecodeFileText(bytes.View());
        return true;
    case ReadEnd::Failed:
        error = shown + ": " + ErrnoText(read.error);
        return false;
    case ReadEnd::Refused:
        error = shown + ": not a regular file";
        return false;
    case ReadEnd::Changed:
        error = shown + ": changed while it was read";
        return false;
    case ReadEnd::TooLarge:
    case ReadEnd::Cancelled:
        break;
    }
    error =
        shown + ": too large (more than " + std::to_string(DocumentStore::kMaxFileSize) + " bytes)";
    return false;
}

} // namespace kestrel::lsp
