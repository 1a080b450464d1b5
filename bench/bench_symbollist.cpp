// The symbol list window with many rows: filling inside one batch update,
// showing and hiding a category, sorting by Name. Runs offscreen.
#include "ColumnSort.h"
#include "LineClassifier.h"
#include "ProcList.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace kestrel;

namespace {

// Half procedures, half functions, after IMPLEMENTATION.
std::vector<std::string> MakeLines(int rows) {
    std::vector<std::string> lines{"unit Big;", "implementation"};
    for (int i = 0; i < rows; ++i) {
        const std::string n = std::to_string((i * 7919) % 100003);
        lines.push_back((i % 2 ? "function TItem" : "procedure TItem") + n + ".Method" + n +
                        "(const AText: string; Count: Integer);");
    }
    return lines;
}

void Fill(TfrmProc& form, const std::vector<std::string>& lines) {
    bool inImplementation = false;
    ListUpdate parked(form.lstProc);
    ListUpdate shown(form.lstShowLine);
    int32_t number = 0;
    for (const std::string& line : lines) {
        if (auto row = ClassifySourceLine(line, ++number, inImplementation, form.Keywords())) {
            form.AddRow(*row);
        }
    }
}

void BM_Fill20000Rows(benchmark::State& state) {
    const auto lines = MakeLines(20000);
    for (auto _ : state) {
        state.PauseTiming();
        auto form = std::make_unique<TfrmProc>();
        form->btnP->setChecked(true);
        form->btnF->setChecked(true);
        state.ResumeTiming();
        Fill(*form, lines);
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Fill20000Rows)->Unit(benchmark::kMillisecond);

void BM_ShowAndHide10000Rows(benchmark::State& state) {
    TfrmProc form;
    form.btnP->setChecked(true);
    Fill(form, MakeLines(20000));
    form.show();
    for (auto _ : state) {
        form.btnF->setChecked(true);
        form.btnDClick(form.btnF);
        form.btnF->setChecked(false);
        form.btnDClick(form.btnF);
    }
    state.counters["moves"] =
        benchmark::Counter(2.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ShowAndHide10000Rows)->Unit(benchmark::kMillisecond);

void BM_Sort20000RowsByName(benchmark::State& state) {
    TfrmProc form;
    form.btnP->setChecked(true);
    form.btnF->setChecked(true);
    Fill(form, MakeLines(20000));
    form.show();
    for (auto _ : state) {
        form.lstShowLineColumnClick(1);
    }
}
BENCHMARK(BM_Sort20000RowsByName)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
