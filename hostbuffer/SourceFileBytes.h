#pragma once

#include "HostBuffer.h"
#include "ReadToEnd.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrel {

// A source file's bytes, read into memory from one open of the file. Reading
// rather than mapping means a file that another program truncates or
// rewrites meanwhile gives the bytes as read, never a fault. The storage is
// kept from file to file unless a huge file grew it.
class SourceFileBytes {
public:
    // Most bytes taken from a pipe, FIFO, socket or terminal, which may never
    // end.
    static constexpr size_t kMaxStreamBytes = kLargeFileBytes;

    // Reads the file at `path`. Regular files of any size are read whole;
    // pipes, FIFOs, sockets and terminals up to kMaxStreamBytes; folders and
    // devices are refused.
    FileResult Read(const std::string& path);

    // The same for standard input.
    FileResult ReadStandardInput();

    std::string_view Bytes() const { return bytes_; }

private:
    FileResult ReadDescriptor(int fd);

    std::string bytes_;
};

} // namespace kestrel
