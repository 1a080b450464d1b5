// The reader for text in memory against the character reader on the host
// buffer of the same bytes: every line, its number and its row must agree.
#include "HostBufferSource.h"
#include "LineClassifier.h"
#include "ScanLines.h"
#include "TextLineReader.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Line {
    std::string text;
    int32_t number;
    bool operator==(const Line&) const = default;
};

template <class Source> std::vector<Line> LinesOf(Source& source) {
    std::vector<Line> lines;
    kestrel::ScanLines(source, [&](std::string_view text, int32_t number) {
        lines.push_back({std::string(text), number});
    });
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrel;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    HostBufferSource host(input);
    TextLineReader reader(input);
    const std::vector<Line> expected = LinesOf(host);
    if (LinesOf(reader) != expected) {
        std::abort();
    }
    // A reader reused for a second scan starts afresh.
    reader.Reset(input);
    if (LinesOf(reader) != expected || CountLines(input) != expected.size()) {
        std::abort();
    }
    return 0;
}
