#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrel::lsp {

// `file:` URIs and the paths they name, as bytes: Linux file names are any
// bytes but NUL, not text, so each byte outside the characters a URI path
// may hold is percent-encoded, and decoding gives the very same bytes back.
// A name that is not UTF-8 keeps its identity both ways.
//
// On Windows a path keeps the form the URI's path has: "/c:/Users/me" for a
// drive, "//server/share/dir" for a share (UNC), '/' between the parts, so
// that the same code joins, cleans and compares paths on both systems; the
// file calls turn it into the system's own form.

enum class PathStyle { Posix, Windows };
#ifdef _WIN32
inline constexpr PathStyle kHostPathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kHostPathStyle = PathStyle::Posix;
#endif

// The URI of an absolute path: "file://" and the encoded path. In Windows
// style a drive's ':' is written as the client writes it (see
// LearnDriveSpelling), and a share's server becomes the URI's host.
std::string FileUriOf(const std::string& path, PathStyle style = kHostPathStyle);

// The path a `file:` URI names: "file:///path", or "file://localhost/path"
// (the local host spelled out). Nothing for another host (on Linux),
// another scheme, a path that is not absolute or that would hold a NUL
// byte. In Windows style, "file://server/share/…" names a share, a '\'
// counts as a '/', and "C:\…" (a path where a URI should be) is taken too.
std::optional<std::string> PathOfFileUri(std::string_view uri, PathStyle style = kHostPathStyle);

// Takes note of how a client writes a drive in its URIs, "c%3A" (VS Code)
// or "C:" (most others), from a URI it sent, so that the URIs made from
// paths are written the same way. Until a URI with a drive is seen, ':' is
// written as it is.
void LearnDriveSpelling(std::string_view uri);

} // namespace kestrel::lsp
