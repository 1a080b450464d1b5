#include "documents/DocumentStore.h"

#include "SourceFileBytes.h"
#include "SourceMarks.h"
#include "TextEncoding.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <filesystem>

namespace kestrel::lsp {

void DocumentStore::Open(const QString& uri, std::string text, int64_t version) {
    open_.insert(uri, {std::make_shared<TextDocument>(std::move(text)), version});
}

bool DocumentStore::Change(const QString& uri, const std::optional<TextRange>& range,
                           std::string_view text, PositionEncoding encoding, int64_t version) {
    const auto found = open_.find(uri);
    if (found == open_.end()) {
        return false;
    }
    TextDocument& document = *found->document;
    if (range) {
        const size_t from = document.OffsetOf(range->start, encoding);
        const size_t to = document.OffsetOf(range->end, encoding);
        document.Replace(from, std::max(from, to), text);
    } else {
        document.SetText(std::string(text));
    }
    found->version = version;
    return true;
}

void DocumentStore::Close(const QString& uri) {
    open_.remove(uri);
}

std::shared_ptr<const TextDocument> DocumentStore::Get(const QString& uri, QString& error) const {
    if (const auto found = open_.constFind(uri); found != open_.constEnd()) {
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
    const QUrl url(uri);
    if (!url.isValid() || !url.isLocalFile()) {
        error = QStringLiteral("%1 is not open and not a file URI").arg(uri);
        return false;
    }
    const QString path = url.toLocalFile();
    std::error_code failure;
    const auto status = std::filesystem::status(path.toStdString(), failure);
    if (failure) {
        error = QStringLiteral("%1: %2").arg(path, QString::fromStdString(failure.message()));
        return false;
    }
    // Only regular files: a FIFO or a device could block or never end.
    if (!std::filesystem::is_regular_file(status)) {
        error = QStringLiteral("%1: not a regular file").arg(path);
        return false;
    }
    if (QFileInfo(path).size() > DocumentStore::kMaxFileSize) {
        error = QStringLiteral("%1: too large").arg(path);
        return false;
    }
    SourceFileBytes file;
    if (const FileResult read = file.Read(QFile::encodeName(path).toStdString()); !read) {
        error = QStringLiteral("%1: %2").arg(path, QString::fromStdString(read.error));
        return false;
    }
    if (file.Bytes().size() > kLargeFileBytes) {
        error = QStringLiteral("%1: too large").arg(path);
        return false;
    }
    text = DecodeFileText(file.Bytes());
    return true;
}

} // namespace kestrel::lsp
