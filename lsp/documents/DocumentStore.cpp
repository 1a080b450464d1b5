#include "documents/DocumentStore.h"

#include "documents/FileUri.h"

#include "ErrnoText.h"
#include "ReadFile.h"
#include "SourceMarks.h"
#include "TextEncoding.h"

#include <algorithm>

namespace kestrel::lsp {

void DocumentStore::Open(const QString& uri, std::string text, int64_t version) {
    open_.insert(uri, {std::make_shared<TextDocument>(std::move(text)), version, {}});
}

void DocumentStore::Refuse(const QString& uri, const QString& why) {
    open_.insert(uri, {nullptr, 0, why});
}

bool DocumentStore::MarkOutOfStep(const QString& uri, const QString& why) {
    const auto found = open_.find(uri);
    if (found == open_.end() || !found->outOfStep.isEmpty()) {
        return false;
    }
    found->outOfStep = why;
    return true;
}

QString DocumentStore::OutOfStep(const QString& uri) const {
    const auto found = open_.constFind(uri);
    return found == open_.constEnd() ? QString() : found->outOfStep;
}

DocumentStore::ChangeResult DocumentStore::Change(const QString& uri,
                                                  const std::optional<TextRange>& range,
                                                  std::string_view text, PositionEncoding encoding,
                                                  int64_t version) {
    const auto found = open_.find(uri);
    if (found == open_.end()) {
        return ChangeResult::NotOpen;
    }
    if (!range) {
        // The whole text: in step again, whatever came before.
        found->document = std::make_shared<TextDocument>(std::string(text));
        found->outOfStep.clear();
        found->version = version;
        return ChangeResult::Applied;
    }
    if (!found->outOfStep.isEmpty()) {
        return ChangeResult::Ignored;
    }
    TextDocument& document = *found->document;
    const TextPosition& start = range->start;
    const TextPosition& end = range->end;
    // A line just past the last one stands for the end of the text.
    if (start.line > document.LineCount() || end.line > document.LineCount()) {
        found->outOfStep = QStringLiteral("a change's range lies past the end of the text");
        return ChangeResult::WentOutOfStep;
    }
    if (end.line < start.line || (end.line == start.line && end.character < start.character)) {
        found->outOfStep = QStringLiteral("a change's range ends before it starts");
        return ChangeResult::WentOutOfStep;
    }
    const size_t from = document.OffsetOf(start, encoding);
    const size_t to = document.OffsetOf(end, encoding);
    document.Replace(from, std::max(from, to), text);
    found->version = version;
    return ChangeResult::Applied;
}

void DocumentStore::Close(const QString& uri) {
    open_.remove(uri);
}

std::shared_ptr<const TextDocument> DocumentStore::Get(const QString& uri, QString& error) const {
    if (const auto found = open_.constFind(uri); found != open_.constEnd()) {
        if (!found->outOfStep.isEmpty()) {
            // Neither a guess nor the file on disk: the editor has other text.
            error = QStringLiteral("%1 is out of step with the editor (%2); close and reopen it")
                        .arg(uri, found->outOfStep);
            return nullptr;
        }
        return found->document;
    }
    std::string text;
    if (!ReadFileUri(uri, text, error)) {
        return nullptr;
    }
    return std::make_shared<const TextDocument>(std::move(text));
}

std::string DecodeFileText(std::string_view bytes) {
    const TextEncoding encoding = DetectEncoding(bytes);
    StripByteOrderMark(bytes);
    if (encoding == TextEncoding::Utf8) {
        return std::string(bytes); // checked whole already: nothing to convert
    }
    return ToUtf8(bytes, encoding);
}

bool ReadFileUri(const QString& uri, std::string& text, QString& error) {
    const std::optional<std::string> path = PathOfFileUri(uri);
    if (!path) {
        error = QStringLiteral("%1 is not open and not a local file URI").arg(uri);
        return false;
    }
    const QString shown = QString::fromUtf8(*path);
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
        error = QStringLiteral("%1: %2").arg(shown, QString::fromLocal8Bit(ErrnoText(read.error)));
        return false;
    case ReadEnd::Refused:
        error = QStringLiteral("%1: not a regular file").arg(shown);
        return false;
    case ReadEnd::TooLarge:
    case ReadEnd::Cancelled:
        break;
    }
    error = QStringLiteral("%1: too large (more than %2 bytes)")
                .arg(shown)
                .arg(DocumentStore::kMaxFileSize);
    return false;
}

} // namespace kestrel::lsp
