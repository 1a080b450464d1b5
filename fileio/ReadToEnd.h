#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace kestrel {

// The most bytes a Kestrel program reads from one file or stream without
// asking first: Pascal sources are far smaller, and a pipe may never end.
inline constexpr size_t kLargeFileBytes = size_t{256} << 20;

enum class ReadEnd {
    Complete,  // every byte up to the end is in `bytes`
    Failed,    // a read failed; errno says why
    TooLarge,  // more than the limit, or more than memory holds
    Cancelled, // the progress callback said stop
    Refused,   // not a kind of file the reader takes (ReadFile only)
    Changed,   // the file's size or time changed while it was read (ReadFile only)
};

// Reads `fd` from where it stands to its end into `bytes`, replacing what it
// held (its storage is kept). `expected` is the size the file reports, a
// hint only: a file may grow or shrink while it is read, and streams report
// none (0); a short read that brings the bytes to it is taken as the end (a
// caller that must know of a file that grew checks its size afterwards, as
// ReadFile does). A source of more than `limit` bytes gives TooLarge. `progress`,
// when given, hears the bytes read so far after each read and may cancel.
// Reads interrupted by a signal (EINTR) are tried again. On any end but
// Complete, `bytes` is empty.
ReadEnd ReadToEnd(int fd, std::string& bytes, size_t expected, size_t limit,
                  const std::function<bool(size_t read)>& progress = {});

// ReadToEnd into the first `size` bytes of `storage`, which is lengthened
// when the bytes need more room but never shortened: storage read into file
// after file is filled with zeros only where it grows past its longest yet,
// not each time a file is longer than the one before. On any end but
// Complete, `size` is 0.
ReadEnd ReadIntoFront(int fd, std::string& storage, size_t& size, size_t expected, size_t limit,
                      const std::function<bool(size_t read)>& progress = {});

} // namespace kestrel
