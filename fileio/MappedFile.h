#pragma once

#include <cstddef>
#include <string_view>

namespace kestrel {

// A regular file's bytes mapped read-only, so that a reader takes them from
// the page cache with neither a copy nor fresh pages to zero. Another
// program may cut the file short while it is mapped; the pages past its new
// end would then fault (SIGBUS) and end the process. Instead, a handler puts
// zero-filled pages in their place and notes it: the reader reads zeros and
// learns afterwards, from CutShort(), that the bytes are not the file's.
//
// The handler knows the mapping of the calling thread only: the thread that
// maps a file must be the one that reads it, and a thread holds one mapping
// at a time.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile() { Unmap(); }

    // Maps the first `size` bytes of `fd`, replacing any mapping held. False,
    // with errno set, where the file cannot be mapped (then nothing is held).
    // An empty file needs no mapping and always succeeds. (The Windows build
    // maps nothing: its readers read.)
    bool Map(int fd, size_t size);
    void Unmap();

    std::string_view Bytes() const { return {begin_, size_}; }
    // Whether some of the bytes were found gone while mapped: they read as
    // zeros.
    bool CutShort() const;

private:
    const char* begin_ = nullptr;
    size_t size_ = 0;
    size_t mappedSize_ = 0;
};

} // namespace kestrel
