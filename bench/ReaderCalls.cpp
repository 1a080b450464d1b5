#include "ReaderCalls.h"

namespace kestrel {

int64_t CountLineFeedsByCalls(TIEditReader& reader, int32_t& lineFeeds) {
    int32_t lines = 0;
    int32_t at = 0;
    for (char c = 0; reader.GetText(at, &c, 1) == 1; ++at) {
        lines += c == '\n' ? 1 : 0;
    }
    lineFeeds = lines;
    return at;
}

} // namespace kestrel
