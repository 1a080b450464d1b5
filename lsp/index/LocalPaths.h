#pragma once

#include "documents/FileUri.h"

#include <string>
#include <string_view>

namespace kestrel::lsp {

// Whether `path` is `folder` or lies below it; in Windows style without
// regard to case, as Windows names files.
bool IsUnder(std::string_view path, std::string_view folder, PathStyle style = kHostPathStyle);

// The path a `file:` URI names, as bytes, cleaned; empty for any other URI.
std::string LocalPath(std::string_view uri, PathStyle style = kHostPathStyle);

// An absolute path without empty, "." or ".." parts (taken lexically, as the
// client meant them) and without a trailing '/'. In Windows style a drive
// ("/c:") or a share ("//server/share") is the root that ".." stops at.
std::string CleanPath(std::string_view path, PathStyle style = kHostPathStyle);

// The one form that every spelling of a path has, for keys: the path
// itself on Linux; in Windows style, its case folded.
std::string PathKey(std::string_view path, PathStyle style = kHostPathStyle);

// The `file:` URI of a local path, its bytes percent-encoded.
std::string FileUri(const std::string& path);

} // namespace kestrel::lsp
