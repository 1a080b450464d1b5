#pragma once

#include "FileKind.h"

#include <string>

namespace kestrel {

// What a path leads to, as a walk of folders needs it.
struct PathStatus {
    int error = 0;                   // errno (or ErrnoText's own) when it cannot be looked at
    FileKind kind = FileKind::Other; // what the path leads to, links followed
    bool link = false;               // the path itself is a symbolic link (on Windows also
                                     // a junction)
    explicit operator bool() const { return error == 0; }
};

PathStatus StatusOfPath(const std::string& path);

} // namespace kestrel
