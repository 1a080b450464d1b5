#pragma once

#include <string_view>

namespace kestrel {

// A comment whose text contains this makes its line a bookmark line.
inline constexpr std::string_view kBookmarkPrefix = "{//*";

// What the bookmark command writes at the cursor: the shortest bookmark.
inline constexpr char kBookmarkMarker[] = "{//*}";

// A UTF-8 byte-order mark at the start of a file, which the editor host
// leaves out of its buffer.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Leaves out a byte-order mark at the start of `bytes`; tells whether there
// was one.
inline bool StripByteOrderMark(std::string_view& bytes) {
    if (!bytes.starts_with(kUtf8ByteOrderMark)) {
        return false;
    }
    bytes.remove_prefix(kUtf8ByteOrderMark.size());
    return true;
}

} // namespace kestrel
