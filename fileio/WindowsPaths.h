#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrel {

// Paths as the Windows build takes them: UTF-8 inside the programs, UTF-16
// at the system's wide calls. Plain string work, so that it is built and
// tested on every system.

// UTF-16 of a UTF-8 name; nothing where the bytes are not UTF-8, which no
// Windows name can hold.
std::optional<std::u16string> Utf16OfUtf8(std::string_view utf8);
// UTF-8 of a UTF-16 name; a lone surrogate becomes U+FFFD.
std::string Utf8OfUtf16(std::u16string_view utf16);

// A path in the form Windows reads: the "/c:/dir" that a file URI holds
// loses its first slash, and every '/' becomes '\'. "//server/share" is a
// UNC path, "\\server\share".
std::string WindowsPathText(std::string_view path);

// The form of a full path that passes the 260-character limit: "\\?\C:\…"
// and "\\?\UNC\server\share\…". Paths in that form or in the device
// namespace ("\\.\") are kept as they are.
std::u16string LongPathForm(std::u16string_view fullPath);

// Why Windows would read a path as something other than the file it names
// (kReservedNameError, kDataStreamError from ErrnoText.h), or 0 for a plain
// name: a part that is a device name (CON, NUL.pas, COM1, …) opens the
// device; a ':' after the drive names an alternate data stream of a file
// (Unit1.pas:zone).
int WindowsNameProblem(std::string_view path);

} // namespace kestrel
