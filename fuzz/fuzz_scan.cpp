// Arbitrary bytes through the host buffer, the line reader and the
// classifier. Also checks that an unedited buffer saves back to the very
// bytes it was loaded from, and that a character typed anywhere saves as the
// file with that character and every line end as it was.
#include "HostBuffer.h"
#include "MemorySource.h"
#include "ScanRows.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Types "x" at a place picked from the input, not between a CR and its LF.
void CheckTypedCharacter(std::string_view input, const kestrel::HostBuffer& buffer) {
    const std::string& bytes = buffer.bytes;
    size_t at = bytes.empty() ? 0 : input.size() * 7919 % (bytes.size() + 1);
    if (at > 0 && at < bytes.size() && bytes[at - 1] == '\r' && bytes[at] == '\n') {
        --at;
    }
    std::string edited = bytes;
    edited.insert(at, "x");
    const auto pairs =
        std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(at), '\n');
    const auto bare =
        std::count(buffer.bareLineFeeds.begin(), buffer.bareLineFeeds.begin() + pairs, true);
    std::string expected(input);
    expected.insert(at - static_cast<size_t>(bare) + (buffer.hadByteOrderMark ? 3 : 0), "x");
    if (kestrel::FileBytesFromBuffer(buffer, edited) != expected) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrel;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const HostBuffer buffer = BufferFromFileBytes(input);
    if (FileBytesFromBuffer(buffer, buffer.bytes) != input) {
        std::abort();
    }
    CheckTypedCharacter(input, buffer);
    MemorySource source(buffer.bytes);
    int32_t lastLine = 0;
    ScanRows(source, [&](SymbolRow&& row) {
        if (row.line <= lastLine || !IsValidUtf8(ToUtf8(row.details, buffer.encoding))) {
            std::abort();
        }
        lastLine = row.line;
    });
    return 0;
}
