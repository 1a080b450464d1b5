// Opening a large generated unit in the workbench, from the file on disk to
// the editor shown at its last line: wall time, and the process's peak
// resident memory. Then typing in it, the pause after typing, and what
// colouring costs as files grow.
// Run with an argument in MB (default 20) to size the unit, e.g. 100.
#include "BookmarkMarks.h"
#include "LargeUnit.h"
#include "MainWindow.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>
#include <ctime>
#include <map>
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
        // To the last line, shown there.
        CodeEditor* editor = document->Editor();
        editor->SetCursorLineColumn(editor->LineCount(), 1);
        QApplication::processEvents();
        benchmark::DoNotOptimize(editor->CursorVisible());
        state.PauseTiming(); // closing is not opening
        window.reset();
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = PeakResidentMegabytes();
    state.counters["file_MB"] = static_cast<double>(QFile(unitPath).size()) / (1 << 20);
}
BENCHMARK(BM_OpenLargeUnit)->Unit(benchmark::kSecond)->Iterations(1);

// The large unit open and shown, the cursor on its last line and the
// keyboard focus in it; null when it did not open.
CodeEditor* OpenAtLastLine(MainWindow& window) {
    EditorDocument* document = window.Documents().OpenFile(unitPath, false);
    if (document == nullptr) {
        return nullptr;
    }
    window.Documents().EditWindow()->show();
    CodeEditor* editor = document->Editor();
    editor->setFocus();
    editor->SetCursorLineColumn(editor->LineCount() - 1, 1);
    return editor;
}

// Typing one character at the last line of the large unit, the editor
// painted after it.
void BM_TypeInLargeUnit(benchmark::State& state) {
    MainWindow window;
    CodeEditor* editor = OpenAtLastLine(window);
    if (editor == nullptr) {
        state.SkipWithError("the unit did not open");
        return;
    }
    QApplication::processEvents();
    for (auto _ : state) {
        QTest::keyClick(editor, Qt::Key_X);
        editor->repaint();
        state.PauseTiming();
        editor->undo();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["colours"] = editor->Colouring() ? 1 : 0;
}
BENCHMARK(BM_TypeInLargeUnit)->Unit(benchmark::kMillisecond)->Iterations(20);

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// What a pause after a keystroke in the large unit costs the thread that
// paints and takes keys: the bookmark scan taking the text, then the
// recovery copy being written. Its processor time over the pause.
void BM_PauseAfterTypingInLargeUnit(benchmark::State& state) {
    MainWindow window;
    CodeEditor* editor = OpenAtLastLine(window);
    if (editor == nullptr) {
        state.SkipWithError("the unit did not open");
        return;
    }
    QTest::qWait(BookmarkMarks::kDelayMs * 2);
    for (auto _ : state) {
        QTest::keyClick(editor, Qt::Key_X);
        const double start = ThreadCpuSeconds();
        QTest::qWait(2500);
        state.SetIterationTime(ThreadCpuSeconds() - start);
    }
    editor->setModified(false);
}
BENCHMARK(BM_PauseAfterTypingInLargeUnit)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// What colouring costs as files grow, to place the size above which files
// show plain text (EditorDocument::kColourLimit). Arguments: the unit's size
// in MB, and colours off (0) or on (1).
const std::string& UnitOfMegabytes(int64_t megabytes) {
    static std::map<int64_t, std::string> units;
    std::string& unit = units[megabytes];
    if (unit.empty()) {
        unit = kestrel::MakeLargeUnit(static_cast<size_t>(megabytes) << 20);
    }
    return unit;
}

std::unique_ptr<CodeEditor> ShownEditor(const std::string& text, bool colours) {
    auto editor = std::make_unique<CodeEditor>();
    editor->SetColouring(colours);
    editor->LoadText(text);
    editor->resize(760, 560);
    editor->show();
    QApplication::processEvents();
    return editor;
}

// Loading, showing and jumping to the last line: with colours, the jump
// styles the whole text up to there.
void BM_ColoursJumpToEnd(benchmark::State& state) {
    const std::string& unit = UnitOfMegabytes(state.range(0));
    for (auto _ : state) {
        std::unique_ptr<CodeEditor> editor = ShownEditor(unit, state.range(1) != 0);
        editor->SetCursorLineColumn(editor->LineCount(), 1);
        QApplication::processEvents();
        benchmark::DoNotOptimize(editor->CursorVisible());
        state.PauseTiming();
        editor.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ColoursJumpToEnd)
    ->ArgsProduct({{4, 6, 8, 16, 64}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Typing a comment's opening brace before "interface", painted: all the
// interface part after it becomes comment, styled again as far as it shows,
// and the fold levels with it.
void BM_ColoursTypeAtTop(benchmark::State& state) {
    std::unique_ptr<CodeEditor> editor =
        ShownEditor(UnitOfMegabytes(state.range(0)), state.range(1) != 0);
    editor->setFocus();
    editor->SetCursorLineColumn(5, 1);
    QApplication::processEvents();
    for (auto _ : state) {
        QTest::keyClick(editor.get(), Qt::Key_BraceLeft);
        editor->repaint();
        state.PauseTiming();
        editor->undo();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ColoursTypeAtTop)
    ->ArgsProduct({{4, 6, 8, 16, 64}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Recovery copies and settings go to a folder of the run's own.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());
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
