#pragma once

#include "LineClassifier.h"
#include "TextEncoding.h"

#include <optional>
#include <span>
#include <string>

namespace kestrel {

// The "file" member that starts each JSON row of a file, with its comma: the
// path as a string where it is valid UTF-8, else {"bytes": "<base64>"},
// which gives the very bytes back.
std::string JsonFileMember(std::string_view path);

// A file's encoding, known from the start or found from the file's bytes
// the first time a text needs it. It tells only how bytes above ASCII are
// decoded, and most rows (most files) have none: they are spared a pass
// over every byte of the file.
class FileEncoding {
public:
    explicit FileEncoding(TextEncoding encoding) : encoding_(encoding) {}
    // Found from `fileBytes` (not owned) when first asked for.
    explicit FileEncoding(std::string_view fileBytes) : fileBytes_(fileBytes) {}

    TextEncoding Get() {
        if (!encoding_) {
            encoding_ = DetectEncoding(fileBytes_);
        }
        return *encoding_;
    }

private:
    std::string_view fileBytes_;
    std::optional<TextEncoding> encoding_;
};

// One JSON object on a line of its own. `fileMember` comes first (it may be
// empty); texts are decoded by `encoding` and written as UTF-8.
void AppendJsonRow(std::string& out, const SymbolRowView& row, FileEncoding& encoding,
                   std::string_view fileMember);
inline void AppendJsonRow(std::string& out, const SymbolRow& row, TextEncoding encoding,
                          std::string_view fileMember) {
    FileEncoding known(encoding);
    AppendJsonRow(out, ViewOfRow(row), known, fileMember);
}

// An aligned table with a heading: Line, Category, Name, Class, Details.
void AppendTable(std::string& out, std::span<const SymbolRow> rows, TextEncoding encoding);

} // namespace kestrel
