// Opening a large generated unit in the workbench, from the file on disk to
// the editor shown: wall time, and the process's peak resident memory.
// Run with an argument in MB (default 20) to size the unit, e.g. 100.
#include "LargeUnit.h"
#include "MainWindow.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

using namespace workbench;

namespace {

QString unitPath;

double PeakResidentMegabytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_OpenLargeUnit(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto window = std::make_unique<MainWindow>();
        state.ResumeTiming();
        EditorDocument* document = window->Documents().OpenFile(unitPath, false);
        if (document == nullptr) {
            state.SkipWithError("the unit did not open");
            return;
        }
        window->Documents().EditWindow()->show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(document->Editor()->blockCount());
        state.PauseTiming(); // closing is not opening
        window.reset();
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = PeakResidentMegabytes();
    state.counters["file_MB"] = static_cast<double>(QFile(unitPath).size()) / (1 << 20);
}
BENCHMARK(BM_OpenLargeUnit)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const int megabytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    QTemporaryDir dir;
    unitPath = dir.filePath("Large.pas");
    QFile file(unitPath);
    const std::string unit = kestrel::MakeLargeUnit(static_cast<size_t>(megabytes) << 20);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(unit.data(), static_cast<qint64>(unit.size())) != qint64(unit.size())) {
        return 1;
    }
    file.close();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
