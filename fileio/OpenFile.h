#pragma once

#include "FileKind.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrel {

// Opening files by path and telling what an open file is: the calls that
// differ between Linux and Windows, one file each.

// Opens `path` for reading, never as the controlling terminal. With `wait`
// a FIFO's open waits for its writer; without, it does not. The descriptor,
// or -1 with errno set (on Windows, to one of ErrnoText's own values too).
int OpenForReading(const std::string& path, bool wait);

// Creates `path`, or empties it, for writing. The descriptor, or -1 with
// errno set.
int CreateForWriting(const std::string& path);

// What tells one state of an open regular file from another: its size and
// last modification time (in the system's own units), and where the
// descriptor stands in it.
struct FileVersion {
    int64_t size = 0;
    int64_t modified = 0;
    int64_t position = 0;
};

// What the open `fd` is and, for a regular file, its version, in one look
// at the file where the system allows it. Where the descriptor stands is
// asked only with `position` (else it is taken as 0: a file just opened).
// False, with errno set, when the system cannot tell.
bool StateOfOpenFile(int fd, FileKind& kind, FileVersion& version, bool position);

} // namespace kestrel
