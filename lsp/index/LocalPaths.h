#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace kestrel::lsp {

// Whether `path` is `folder` or lies below it.
bool IsUnder(std::string_view path, std::string_view folder);

// A path for a `file:` URI as the file system names it; empty for any other
// URI.
std::string LocalPath(const QString& uri);

// The `file:` URI of a local path.
std::string FileUri(const std::string& path);

} // namespace kestrel::lsp
