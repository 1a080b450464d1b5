#pragma once

#include "FileBytes.h"
#include "FileKind.h"
#include "ReadToEnd.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace kestrel {

// No limit on a regular file's size but memory.
inline constexpr size_t kNoReadLimit = SIZE_MAX / 2;

// What ReadFile accepts and how far it goes.
struct ReadPolicy {
    using Progress = std::function<bool(size_t done, size_t total)>;

    // True: pipes, FIFOs, sockets and terminals are read to their end, and
    // opening a FIFO waits for its writer. False: they are refused, and the
    // file is opened without waiting, so a FIFO put under the path never
    // holds the caller up. Folders, devices and the like are always refused.
    bool streams = false;
    // Most bytes taken from a regular file; a larger one is TooLarge without
    // a byte read.
    size_t fileLimit = kNoReadLimit;
    // Most bytes taken from a stream.
    size_t streamLimit = kLargeFileBytes;
    // When given, hears the bytes read so far and the size the file
    // reported (0 for a stream) after each read; false cancels.
    Progress progress = nullptr;
    // Whether a regular file's size and time are looked at again once it is
    // read, to tell a change made during the read (one more system call a
    // file). Without, a change is told only by the bytes read not being as
    // many as the file reported: a file cut short or grown under the read
    // is still refused, and one rewritten in place at the same size is
    // taken as the read found it.
    bool recheck = true;
};

// How a read ended. The caller words the message: the same end reads
// differently to a user of the editor and of a command line.
struct FileRead {
    ReadEnd end = ReadEnd::Complete; // Refused: a kind the policy does not read
    FileKind kind = FileKind::Other; // what was opened; Other when opening failed
    int error = 0;                   // errno when `end` is Failed
    size_t size = 0;                 // a regular file's size, as it reported it

    explicit operator bool() const { return end == ReadEnd::Complete; }
};

// Opens `path`, checks what kind of file it is and reads it whole into
// `bytes` under `policy`. On any end but Complete, `bytes` is empty.
FileRead ReadFile(const std::string& path, const ReadPolicy& policy, FileBytes& bytes);

// The same for a descriptor already open (standard input), read from where
// it stands. `atStart` tells that it was just opened, so where it stands
// need not be asked.
FileRead ReadOpenFile(int fd, const ReadPolicy& policy, FileBytes& bytes, bool atStart = false);

} // namespace kestrel
