#pragma once

#include "TextEncoding.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// A file as the editor host serves it: bytes, every line ended by CR LF, no
// byte-order mark. It remembers what it needs to write the file back exactly
// as it was wherever nothing was edited.
struct HostBuffer {
    std::string bytes;
    TextEncoding encoding = TextEncoding::Utf8;
    bool hadByteOrderMark = false;
    // For each CR LF of the buffer, in order: true where the file had a bare
    // LF.
    std::vector<bool> bareLineFeeds;

    // Line ends for new lines: the style most of the file's lines used.
    bool PrefersBareLineFeeds() const;
};

// Turns a file's bytes into the host buffer.
HostBuffer BufferFromFileBytes(std::string_view fileBytes);

// The file's bytes for `current`, an edited copy of `loaded` (CR LF line
// ends): the original line ends and byte-order mark are restored; lines that
// lie in the edited region take the file's main style.
std::string FileBytesFromBuffer(const HostBuffer& loaded, std::string_view current);
// The same into `out`, whose memory is reused: a large file's bytes made again
// and again take no fresh pages.
void FileBytesFromBuffer(const HostBuffer& loaded, std::string_view current, std::string& out);

} // namespace kestrel
