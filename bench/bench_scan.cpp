// Scan throughput over a unit of 100,000 lines: the character reader, one
// virtual call per character as through the editor host's reader, and the
// reader for text in memory, each alone and with the classifier. Also the
// way back: a large edited buffer turned into the file's bytes.
#include "HostBuffer.h"
#include "LargeUnit.h"
#include "ScanLines.h"
#include "ScanRows.h"
#include "TextLineReader.h"

#include <benchmark/benchmark.h>
#include <cstring>

using namespace kestrel;

namespace {

// Not final, so every character costs a real virtual call.
class HostLikeReader : public CharacterSource {
public:
    explicit HostLikeReader(const std::string& bytes) : data_(bytes.data()), size_(bytes.size()) {}
    int32_t GetText(int32_t position, char* destination, int32_t count) override {
        if (position < 0 || static_cast<size_t>(position) >= size_ || count < 1) {
            return 0;
        }
        if (count == 1) {
            *destination = data_[position];
            return 1;
        }
        const size_t n = std::min(static_cast<size_t>(count), size_ - position);
        std::memcpy(destination, data_ + position, n);
        return static_cast<int32_t>(n);
    }

private:
    const char* data_;
    size_t size_;
};

const std::string& Unit() {
    static const std::string unit = [] {
        std::string bytes = MakeLargeUnit(8 << 20);
        size_t end = 0;
        for (int line = 0; line < 100000; ++line) {
            end = bytes.find('\n', end) + 1;
        }
        bytes.resize(end);
        return bytes;
    }();
    return unit;
}

// Reads the unit's lines with a fresh `Source` per iteration.
template <class Source> void ReadLines(benchmark::State& state) {
    const std::string& unit = Unit();
    for (auto _ : state) {
        Source source(unit);
        ScanLines(source, [&](std::string_view text, int32_t) { benchmark::DoNotOptimize(text); });
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * unit.size()));
}

// The unit's rows, through the one path from a source to rows: as views
// (what the lister takes) or copied into SymbolRow's strings (what the
// add-in and the server take).
template <class Source, bool kStrings> void ReadRows(benchmark::State& state) {
    const std::string& unit = Unit();
    size_t rows = 0;
    for (auto _ : state) {
        Source source(unit);
        if constexpr (kStrings) {
            ScanRows(source, [&](SymbolRow&& row) {
                benchmark::DoNotOptimize(row.details.data());
                ++rows;
            });
        } else {
            ScanRowViews(source, ReservedWords(), Headings::Classic, [&](const SymbolRowView& row) {
                benchmark::DoNotOptimize(row.details.data());
                ++rows;
            });
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * unit.size()));
    state.counters["rows"] = benchmark::Counter(static_cast<double>(rows) / state.iterations());
}

void BM_CharacterReader(benchmark::State& state) {
    ReadLines<HostLikeReader>(state);
}
BENCHMARK(BM_CharacterReader)->Unit(benchmark::kMillisecond);

void BM_CharacterReaderAndClassifier(benchmark::State& state) {
    ReadRows<HostLikeReader, true>(state);
}
BENCHMARK(BM_CharacterReaderAndClassifier)->Unit(benchmark::kMillisecond);

void BM_MemoryReader(benchmark::State& state) {
    ReadLines<TextLineReader>(state);
}
BENCHMARK(BM_MemoryReader)->Unit(benchmark::kMillisecond);

void BM_MemoryReaderAndClassifier(benchmark::State& state) {
    ReadRows<TextLineReader, false>(state);
}
BENCHMARK(BM_MemoryReaderAndClassifier)->Unit(benchmark::kMillisecond);

void BM_MemoryReaderAndClassifierIntoStrings(benchmark::State& state) {
    ReadRows<TextLineReader, true>(state);
}
BENCHMARK(BM_MemoryReaderAndClassifierIntoStrings)->Unit(benchmark::kMillisecond);

// A 32 MB file with CR LF (0) or LF (1) line ends, edited in its middle, back
// to the file's bytes: what every save and recovery copy does.
void BM_FileBytesFromBuffer(benchmark::State& state) {
    std::string file = MakeLargeUnit(32 << 20);
    if (state.range(0) != 0) {
        std::erase(file, '\r');
    }
    const HostBuffer loaded = BufferFromFileBytes(file);
    const std::string_view bytes = loaded.bytes;
    const size_t half = bytes.size() / 2;
    const std::string edited =
        std::string(bytes.substr(0, half)).append("x").append(bytes.substr(half));
    for (auto _ : state) {
        benchmark::DoNotOptimize(FileBytesFromBuffer(loaded, edited));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * edited.size()));
}
BENCHMARK(BM_FileBytesFromBuffer)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
