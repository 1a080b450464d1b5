#pragma once

#include <string>
#include <string_view>

namespace kestrel::lsp {

// Whether `path` is `folder` or lies below it.
bool IsUnder(std::string_view path, std::string_view folder);

// The path a `file:` URI names, as bytes, cleaned; empty for any other URI.
std::string LocalPath(std::string_view uri);

// An absolute path without empty, "." or ".." parts (taken lexically, as the
// client meant them) and without a trailing '/'.
std::string CleanPath(std::string_view path);

// The `file:` URI of a local path, its bytes percent-encoded.
std::string FileUri(const std::string& path);

} // namespace kestrel::lsp
