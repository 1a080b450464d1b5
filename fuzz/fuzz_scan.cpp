// Arbitrary bytes through the host buffer, the line reader and the
// classifier. Also checks that an unedited buffer saves back to the very
// bytes it was loaded from.
#include "HostBuffer.h"
#include "HostBufferSource.h"
#include "MemorySource.h"
#include "ScanRows.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrel;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const HostBuffer buffer = BufferFromFileBytes(input);
    if (FileBytesFromBuffer(buffer, buffer.bytes) != input) {
        std::abort();
    }
    // The lazy source serves exactly the buffer's characters.
    HostBufferSource lazy(input);
    for (size_t i = 0; i <= buffer.bytes.size(); ++i) {
        char c = 0;
        const int32_t n = lazy.GetText(static_cast<int32_t>(i), &c, 1);
        if (i < buffer.bytes.size() ? (n != 1 || c != buffer.bytes[i]) : n != 0) {
            std::abort();
        }
    }
    if (lazy.Encoding() != buffer.encoding) {
        std::abort();
    }
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
