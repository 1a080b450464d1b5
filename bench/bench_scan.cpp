// Scan throughput: the line reader and the classifier over a large unit, one
// virtual call per character, as through the editor host's reader.
#include "LargeUnit.h"
#include "ScanLines.h"
#include "ScanRows.h"

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
    static const std::string unit = MakeLargeUnit(8 << 20);
    return unit;
}

void BM_ReadSourceLine(benchmark::State& state) {
    const std::string& unit = Unit();
    size_t lines = 0;
    for (auto _ : state) {
        HostLikeReader reader(unit);
        ScanLines(reader, [&](const std::string& text, int32_t) {
            benchmark::DoNotOptimize(text.data());
            ++lines;
        });
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * unit.size()));
}
BENCHMARK(BM_ReadSourceLine)->Unit(benchmark::kMillisecond);

void BM_ReadAndClassify(benchmark::State& state) {
    const std::string& unit = Unit();
    size_t rows = 0;
    for (auto _ : state) {
        HostLikeReader reader(unit);
        ScanRows(reader, [&](SymbolRow&& row) {
            benchmark::DoNotOptimize(row.name.data());
            ++rows;
        });
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * unit.size()));
    state.counters["rows"] = benchmark::Counter(static_cast<double>(rows) / state.iterations());
}
BENCHMARK(BM_ReadAndClassify)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
