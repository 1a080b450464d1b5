#pragma once

// The Windows build's way from our UTF-8 paths to the system's wide calls.
// Included by the Windows files only.

#include <string>

namespace kestrel {

// The wide path the system's calls take for `path` ('/' or '\', relative
// or full, "/c:/…" as a file URI holds it, UNC): made full, in the form that
// passes 260 characters. False, with `error` (an errno value or one of
// ErrnoText's own), for a name that cannot stand for a file: not UTF-8, a
// device name, an alternate data stream.
bool NativePath(const std::string& path, std::wstring& wide, int& error);

// The errno value, or ErrnoText's own, nearest to a Windows error code, for
// the failure of a call on `path` ("no such drive" needs the path).
int ErrnoOfWindowsError(unsigned long code, const std::wstring& path = {});

} // namespace kestrel
