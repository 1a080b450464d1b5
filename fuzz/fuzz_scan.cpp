// Arbitrary bytes through the host buffer, the line reader and the
// classifier. Also checks that an unedited buffer saves back to the very
// bytes it was loaded from.
#include "HostBuffer.h"
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
