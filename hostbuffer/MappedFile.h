#pragma once

#include "HostBuffer.h"

#include <string>
#include <string_view>

namespace kestrel {

// A file's bytes, read-only: mapped where the file is a regular file (no
// copy, pages faulted in at once), read into memory otherwise.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    FileResult Open(const std::string& path);
    std::string_view Bytes() const { return bytes_; }

private:
    void* mapping_ = nullptr;
    size_t mappedSize_ = 0;
    std::string fallback_;
    std::string_view bytes_;
};

} // namespace kestrel
