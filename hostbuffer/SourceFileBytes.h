#pragma once

#include "HostBuffer.h"

#include <cstddef>
#include <memory>
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
    static constexpr size_t kMaxStreamBytes = size_t{256} << 20;

    // Reads the file at `path`. Regular files of any size are read whole;
    // pipes, FIFOs, sockets and terminals up to kMaxStreamBytes; folders and
    // devices are refused.
    FileResult Read(const std::string& path);

    // The same for standard input.
    FileResult ReadStandardInput();

    std::string_view Bytes() const { return {data_.get(), size_}; }

private:
    FileResult ReadDescriptor(int fd);
    bool Reserve(size_t capacity);

    std::unique_ptr<char[]> data_;
    size_t capacity_ = 0;
    size_t size_ = 0;
};

} // namespace kestrel
