#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrel::lsp {

// `file:` URIs and the paths they name, as bytes: Linux file names are any
// bytes but NUL, not text, so each byte outside the characters a URI path
// may hold is percent-encoded, and decoding gives the very same bytes back.
// A name that is not UTF-8 keeps its identity both ways.

// The URI of an absolute path: "file://" and the encoded path.
std::string FileUriOf(const std::string& path);

// The path a `file:` URI names: "file:///path", or "file://localhost/path"
// (the local host spelled out). Nothing for another host, another scheme, a
// path that is not absolute or that would hold a NUL byte.
std::optional<std::string> PathOfFileUri(std::string_view uri);

} // namespace kestrel::lsp
