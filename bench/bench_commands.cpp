// The two commands end to end in the workbench: the list command from its
// shortcut to its window shown (the window is closed as soon as it shows) or
// painted with every category shown, and the bookmark command at the last
// line of a large unit.
#include "HostObjects.h"
#include "HostRef.h"
#include "LargeUnit.h"
#include "MainWindow.h"
#include "ReaderCalls.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QDirIterator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <ctime>

using namespace workbench;

namespace {

MainWindow* window = nullptr;
QTemporaryDir* files = nullptr;

// The first `lines` lines of a generated unit.
QByteArray UnitOfLines(int lines) {
    std::string unit = kestrel::MakeLargeUnit(static_cast<size_t>(lines) * 48);
    size_t at = 0;
    for (int i = 0; i < lines && at != std::string::npos; ++i) {
        at = unit.find('\n', at);
        if (at != std::string::npos) {
            ++at;
        }
    }
    unit.resize(at == std::string::npos ? unit.size() : at);
    return QByteArray::fromStdString(unit);
}

// Makes the document's editor the focus of the active window, as a user's
// typing would find it.
void Show(EditorDocument* document) {
    if (document != nullptr) {
        window->Documents().EditWindow()->SetCurrentDocument(document);
        window->Documents().EditWindow()->show();
        window->Documents().EditWindow()->activateWindow();
        QApplication::setActiveWindow(window->Documents().EditWindow());
        document->Editor()->setFocus();
        QApplication::processEvents();
    }
}

EditorDocument* OpenCopy(const QString& name, const QByteArray& bytes) {
    const QString path = files->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        return nullptr;
    }
    file.close();
    EditorDocument* document = window->Documents().OpenFile(path, false);
    Show(document);
    return document;
}

void RunList(benchmark::State& state, EditorDocument* document) {
    if (document == nullptr) {
        state.SkipWithError("file not opened");
        return;
    }
    Show(document);
    int rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Show(document);
        state.ResumeTiming();
        // Closes the window from inside its modal loop, as soon as it runs.
        QTimer::singleShot(0, [&rows] {
            if (auto* list = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                if (auto* view = list->findChild<QAbstractItemView*>("lstShowLine")) {
                    rows = view->model()->rowCount();
                }
                list->close();
            }
        });
        QTest::keyClick(document->Editor(), Qt::Key_L, Qt::ControlModifier | Qt::AltModifier);
    }
    state.counters["lines"] = document->Editor()->LineCount();
    state.counters["rows shown"] = rows;
}

void BM_ListCommand100000Lines(benchmark::State& state) {
    static EditorDocument* document = OpenCopy("Large.pas", UnitOfLines(100000));
    RunList(state, document);
}
BENCHMARK(BM_ListCommand100000Lines)->Unit(benchmark::kMillisecond);

// The processor time of this thread: on a machine shared with other work
// it shows what the command itself costs, whatever the waits for a core.
double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Watches the whole application and closes the list window once its list
// has been painted.
class CloseWhenPainted : public QObject {
public:
    int rows = 0;
    std::chrono::steady_clock::time_point painted;
    double paintedCpu = 0; // the thread's processor time then, in seconds

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->parent() != nullptr &&
            watched->parent()->objectName() == QLatin1String("lstShowLine")) {
            auto* view = static_cast<QAbstractItemView*>(watched->parent());
            rows = view->model()->rowCount();
            // Runs once this paint has finished.
            QTimer::singleShot(0, view->window(), [this, window = view->window()] {
                painted = std::chrono::steady_clock::now();
                paintedCpu = ThreadCpuSeconds();
                window->close();
            });
        }
        return false;
    }
};

// Every category shown, at least 15,000 rows: from the shortcut to the list
// painted, the columns fitted to every text included. The close that
// follows is not timed.
void BM_ListCommandAllCategoriesPainted(benchmark::State& state) {
    static EditorDocument* document = OpenCopy("Rows.pas", UnitOfLines(75000));
    if (document == nullptr) {
        state.SkipWithError("file not opened");
        return;
    }
    QSettings settings(QStringLiteral("Brenta"), QStringLiteral("Kestrel"));
    for (const char* category : {"D", "P", "F", "B"}) {
        settings.setValue(QLatin1String(category), 1);
    }
    settings.sync();
    CloseWhenPainted closer;
    qApp->installEventFilter(&closer);
    double cpu = 0;
    for (auto _ : state) {
        Show(document);
        const double startCpu = ThreadCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        QTest::keyClick(document->Editor(), Qt::Key_L, Qt::ControlModifier | Qt::AltModifier);
        state.SetIterationTime(std::chrono::duration<double>(closer.painted - start).count());
        cpu += closer.paintedCpu - startCpu;
    }
    qApp->removeEventFilter(&closer);
    state.counters["rows shown"] = closer.rows;
    state.counters["cpu ms to painted"] =
        benchmark::Counter(cpu * 1000, benchmark::Counter::kAvgIterations);
    for (const char* category : {"D", "P", "F", "B"}) {
        settings.remove(QLatin1String(category));
    }
}
BENCHMARK(BM_ListCommandAllCategoriesPainted)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_BookmarkAtTheLastLine100000Lines(benchmark::State& state) {
    static EditorDocument* document = OpenCopy("Marked.pas", UnitOfLines(100000));
    if (document == nullptr) {
        state.SkipWithError("file not opened");
        return;
    }
    Show(document);
    CodeEditor* editor = document->Editor();
    for (auto _ : state) {
        state.PauseTiming();
        Show(document);
        editor->SetCursorLineColumn(editor->LineCount() - 1, 3);
        state.ResumeTiming();
        QTest::keyClick(editor, Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);
        state.PauseTiming();
        editor->undo();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BookmarkAtTheLastLine100000Lines)->Unit(benchmark::kMillisecond);

// The process's resident memory now and its peak since the last reset, in
// MB, from /proc.
double StatusMegabytes(const char* field) {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(static_cast<qsizetype>(strlen(field)))
                       .trimmed()
                       .split(' ')[0]
                       .toDouble() /
                   1024.0;
        }
    }
    return 0;
}

void ResetPeakMemory() {
    QFile clear("/proc/self/clear_refs");
    if (clear.open(QIODevice::WriteOnly)) {
        clear.write("5");
    }
}

// A generated unit of 100 MB, open in the editor, and the memory that the
// workbench holds for it (the resident size it added by opening).
struct HundredMegabytes {
    EditorDocument* document = nullptr;
    double footprintMB = 0;
};

const HundredMegabytes& HundredMegabyteUnit() {
    static const HundredMegabytes unit = [] {
        const QByteArray bytes =
            QByteArray::fromStdString(kestrel::MakeLargeUnit(size_t{100} << 20));
        const QString path = files->filePath("Hundred.pas");
        QFile file(path);
        HundredMegabytes opened;
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            return opened;
        }
        file.close();
        const double before = StatusMegabytes("VmRSS:");
        opened.document = window->Documents().OpenFile(path, false);
        Show(opened.document);
        opened.footprintMB = StatusMegabytes("VmRSS:") - before;
        return opened;
    }();
    return unit;
}

// The list command on the 100 MB unit, from the shortcut to the list
// painted with the categories as a new user has them; and the peak memory
// meanwhile beside the unit's own footprint in the editor.
void BM_ListCommand100MBPainted(benchmark::State& state) {
    const HundredMegabytes& unit = HundredMegabyteUnit();
    if (unit.document == nullptr) {
        state.SkipWithError("file not opened");
        return;
    }
    CloseWhenPainted closer;
    qApp->installEventFilter(&closer);
    double cpu = 0;
    double peakOverFootprint = 0;
    for (auto _ : state) {
        Show(unit.document);
        const double base = StatusMegabytes("VmRSS:") - unit.footprintMB;
        ResetPeakMemory();
        const double startCpu = ThreadCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        QTest::keyClick(unit.document->Editor(), Qt::Key_L, Qt::ControlModifier | Qt::AltModifier);
        state.SetIterationTime(std::chrono::duration<double>(closer.painted - start).count());
        cpu += closer.paintedCpu - startCpu;
        peakOverFootprint =
            std::max(peakOverFootprint, (StatusMegabytes("VmHWM:") - base) / unit.footprintMB);
    }
    qApp->removeEventFilter(&closer);
    state.counters["rows shown"] = closer.rows;
    state.counters["cpu ms to painted"] =
        benchmark::Counter(cpu * 1000, benchmark::Counter::kAvgIterations);
    state.counters["footprint MB"] = unit.footprintMB;
    state.counters["peak / footprint"] = peakOverFootprint;
}
BENCHMARK(BM_ListCommand100MBPainted)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Insert bookmark at the last line of the 100 MB unit, after typing there
// (so that no copy of the text made before is still current), until the
// edit is shown.
void BM_Bookmark100MB(benchmark::State& state) {
    const HundredMegabytes& unit = HundredMegabyteUnit();
    if (unit.document == nullptr) {
        state.SkipWithError("file not opened");
        return;
    }
    CodeEditor* editor = unit.document->Editor();
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Show(unit.document);
        editor->SetCursorLineColumn(editor->LineCount() - 1, 3);
        QTest::keyClick(editor, Qt::Key_X);
        QApplication::processEvents();
        state.ResumeTiming();
        const double startCpu = ThreadCpuSeconds();
        QTest::keyClick(editor, Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);
        editor->repaint();
        cpu += ThreadCpuSeconds() - startCpu;
        state.PauseTiming();
        editor->undo();
        editor->undo();
        state.ResumeTiming();
    }
    // The command's own processor time, whatever other threads (the
    // bookmark markers' scan) do meanwhile.
    state.counters["cpu ms"] = benchmark::Counter(cpu * 1000, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Bookmark100MB)->Unit(benchmark::kMillisecond)->Iterations(5);

// What reading the 100 MB unit one character per call costs by itself: the
// host's reader asked for every character in turn and the line feeds
// counted, as the bookmark's walk to the last line does, with nothing else.
// It bounds that walk.
void BM_HostReaderCalls100MB(benchmark::State& state) {
    const HundredMegabytes& unit = HundredMegabyteUnit();
    if (unit.document == nullptr) {
        state.SkipWithError("file not opened");
        return;
    }
    const kestrel::HostRef<kestrel::TIEditorInterface> editor(
        new HostEditor(unit.document, kestrel::kInterfaceVersion0017));
    const kestrel::HostRef<kestrel::TIEditReader> reader(editor->CreateReader());
    int64_t bytes = 0;
    for (auto _ : state) {
        int32_t lines = 0;
        bytes += kestrel::CountLineFeedsByCalls(*reader.Get(), lines);
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_HostReaderCalls100MB)->Unit(benchmark::kMillisecond)->Iterations(5);

// Debian's fpc-source units, when installed: the two largest.
void RegisterFreePascalUnits() {
    QList<QPair<qint64, QString>> units;
    QDirIterator it("/usr/share/fpcsrc", {"*.pp", "*.pas"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        units.append({QFileInfo(path).size(), path});
    }
    std::sort(units.begin(), units.end(), std::greater<>());
    for (const auto& unit : units.mid(0, 2)) {
        const QString path = unit.second;
        benchmark::RegisterBenchmark(
            ("BM_ListCommand/" + QFileInfo(path).fileName()).toStdString().c_str(),
            [path](benchmark::State& state) {
                static QMap<QString, EditorDocument*> open;
                if (!open.contains(path)) {
                    open[path] = window->Documents().OpenFile(path, false);
                }
                RunList(state, open[path]);
            })
            ->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings, recovery copies and caches go to a folder of the run's own,
    // set before anything (the application object included) reads them.
    QTemporaryDir home;
    for (const char* folder : {"CONFIG", "DATA", "STATE", "CACHE"}) {
        qputenv((QByteArray("XDG_") + folder + "_HOME").constData(),
                home.filePath(QString::fromLatin1(folder).toLower()).toLocal8Bit());
    }
    QApplication app(argc, argv);
    QTemporaryDir temp;
    files = &temp;
    MainWindow main;
    window = &main;
    main.show();
    QString error;
    // Another build's add-in, to set two side by side.
    const QString addIn = qEnvironmentVariable("KESTREL_BENCH_ADDIN", KESTREL_ADDIN);
    if (!main.LoadAddIn(addIn, &error, true)) {
        qCritical("cannot load the add-in: %s", qPrintable(error));
        return 1;
    }
    RegisterFreePascalUnits();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // Unsaved edits of the benchmark must not ask at exit.
    for (EditorDocument* document = main.Documents().CurrentDocument(); document;
         document = main.Documents().CurrentDocument()) {
        document->Editor()->setModified(false);
        main.Documents().CloseDocument(document);
    }
    return 0;
}
