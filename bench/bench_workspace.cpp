// kestrel-lsp over a whole project: fpc-source's tree indexed on every core
// (its .pas and .pp units in the process; the whole tree as the server
// that a client starts, from `initialized` to the end of the progress, with
// the server's resident memory), and workspace/symbol queries over the
// tree's index. Skipped when fpc-source-3.2.2 is not installed.
#include "LspSession.h"
#include "index/WorkspaceIndexer.h"
#include "server/LanguageServer.h"

#include <QFile>
#include <QFileInfo>
#include <benchmark/benchmark.h>

#include <chrono>
#include <mutex>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

using namespace kestrel::lsp;

namespace {

const std::string kFpcTree = "/usr/share/fpcsrc/3.2.2";

// The CPU time of this process, every thread, in seconds. On a shared
// machine the wall time says how busy the others are; this says what the
// work costs.
double ProcessCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The same for another process.
double ProcessCpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return 0;
    }
    // The fields after the command's closing parenthesis; utime and stime
    // are the 12th and 13th of them.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) {
        return 0;
    }
    return (fields[11].toDouble() + fields[12].toDouble()) /
           static_cast<double>(::sysconf(_SC_CLK_TCK));
}

bool HaveTree(benchmark::State& state) {
    if (QFileInfo(QString::fromStdString(kFpcTree)).isDir()) {
        return true;
    }
    state.SkipWithError("fpc-source-3.2.2 is not installed");
    return false;
}

bool IsUnit(const std::string& path) {
    const QString suffix = QFileInfo(QString::fromStdString(path)).suffix().toLower();
    return suffix == QLatin1StringView("pas") || suffix == QLatin1StringView("pp");
}

// The tree's walk, keeping only the units.
void WalkUnits(const std::string& root, const SourceTreeVisitor& visit,
               const std::atomic<bool>& stop) {
    SourceTreeVisitor units = visit;
    units.file = [&visit](const std::string& path) {
        if (IsUnit(path)) {
            visit.file(path);
        }
    };
    WalkSourceTree(root, units, stop);
}

void Index(WorkspaceIndex& index, SourceTreeWalk walk) {
    WorkspaceIndexer::Hooks hooks{[](const std::string&) {}, [](const std::string&) {},
                                  [](const std::string&) {}};
    WorkspaceIndexer indexer(index, std::move(walk), PositionEncoding::Utf16, hooks);
    indexer.IndexFolders({kFpcTree}, nullptr);
    indexer.WaitUntilIdle();
}

void BM_IndexUnits(benchmark::State& state) {
    if (!HaveTree(state)) {
        return;
    }
    size_t files = 0;
    size_t symbols = 0;
    const double cpu = ProcessCpuSeconds();
    for (auto _ : state) {
        WorkspaceIndex index;
        Index(index, WalkUnits);
        files = index.FileCount();
        symbols = index.SymbolCount();
    }
    state.counters["files"] = static_cast<double>(files);
    state.counters["symbols"] = static_cast<double>(symbols);
    state.counters["cpu_s"] = (ProcessCpuSeconds() - cpu) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_IndexUnits)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

const WorkspaceIndex& TreeIndex() {
    static WorkspaceIndex index;
    static const bool built = (Index(index, WalkSourceTree), true);
    (void)built;
    return index;
}

void BM_Query(benchmark::State& state, const char* query) {
    if (!HaveTree(state)) {
        return;
    }
    const WorkspaceIndex& index = TreeIndex();
    size_t answers = 0;
    const double cpu = ProcessCpuSeconds();
    for (auto _ : state) {
        answers = index.Query(query, 200).size();
        benchmark::DoNotOptimize(answers);
    }
    state.counters["cpu_ms_all_threads"] =
        (ProcessCpuSeconds() - cpu) * 1000 / static_cast<double>(state.iterations());
    state.counters["answers"] = static_cast<double>(answers);
    state.counters["symbols"] = static_cast<double>(index.SymbolCount());
}
BENCHMARK_CAPTURE(BM_Query, one_letter, "a")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Query, empty, "")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Query, routine, "getmem")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Query, class_and_method, "tstrings.add")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Query, bookmarks, "bookmark")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Query, no_match, "xyzzyq")->Unit(benchmark::kMillisecond);

long ResidentKilobytes(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return 0;
}

// The server as a client starts it on the tree: from `initialized` until
// the progress ends and a query is answered.
void BM_ServerIndexesTree(benchmark::State& state) {
    if (!HaveTree(state)) {
        return;
    }
    long resident = 0;
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        LspSession session(KESTREL_LSP_PATH);
        session.Result(
            "initialize",
            {{"processId", QJsonValue::Null},
             {"rootUri", LspSession::FileUri(QString::fromStdString(kFpcTree))},
             {"capabilities", QJsonObject{{"window", QJsonObject{{"workDoneProgress", true}}}}}});
        state.ResumeTiming();
        session.Notify("initialized");
        const bool ended = session.WaitFor([](const QJsonObject& message) {
            return message.value("method") == "$/progress" &&
                   message.value("params")["value"]["kind"] == "end";
        });
        const QJsonArray answer =
            session.Result("workspace/symbol", {{"query", "tstrings.add"}}).toArray();
        state.PauseTiming();
        if (!ended || answer.isEmpty()) {
            state.SkipWithError("the server did not index the tree");
            break;
        }
        resident = ResidentKilobytes(session.ProcessId());
        cpu = ProcessCpuSeconds(session.ProcessId());
        state.ResumeTiming();
    }
    state.counters["resident_MB"] = static_cast<double>(resident) / 1024.0;
    state.counters["server_cpu_s"] = cpu;
}
BENCHMARK(BM_ServerIndexesTree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A server in this process whose workspace is the whole tree, indexed, with
// sharepoint.pp open in the editor.
struct TreeServer {
    std::mutex mutex;
    size_t lastAnswerSize = 0;
    bool indexed = false;
    LanguageServer server{[this](std::span<const std::string_view> parts) {
        const std::string body = JoinedBody(parts);
        std::lock_guard lock(mutex);
        indexed = indexed || (body.find("window/logMessage") != std::string::npos &&
                              body.find("indexed ") != std::string::npos);
        lastAnswerSize = body.size();
    }};
    const QString uri =
        LspSession::FileUri(QString::fromStdString(kFpcTree + "/packages/odata/src/sharepoint.pp"));

    void Send(QJsonObject message) {
        message.insert("jsonrpc", "2.0");
        server.Handle(
            {Frame{QJsonDocument(message).toJson(QJsonDocument::Compact).toStdString(), {}, {}}});
    }
    TreeServer() {
        Send({{"id", 1},
              {"method", "initialize"},
              {"params",
               QJsonObject{{"rootUri", LspSession::FileUri(QString::fromStdString(kFpcTree))},
                           {"capabilities", QJsonObject{}}}}});
        Send({{"method", "initialized"}, {"params", QJsonObject{}}});
        // Open, as the editor has the file the user works in.
        QFile file(uri.mid(7));
        file.open(QIODevice::ReadOnly);
        Send({{"method", "textDocument/didOpen"},
              {"params", QJsonObject{{"textDocument",
                                      QJsonObject{{"uri", uri},
                                                  {"languageId", "pascal"},
                                                  {"version", 1},
                                                  {"text", QString::fromUtf8(file.readAll())}}}}}});
        for (;;) {
            {
                std::lock_guard lock(mutex);
                if (indexed) {
                    break;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
};

// Definition and hover of names that the tree declares in other units
// than sharepoint.pp: every file's entries of that name are weighed.
void BM_NavigationOverTree(benchmark::State& state, const char* method, const char* name) {
    if (!HaveTree(state)) {
        return;
    }
    static TreeServer tree;
    QFile file(tree.uri.mid(7));
    file.open(QIODevice::ReadOnly);
    const QByteArray text = file.readAll();
    const qsizetype at = text.indexOf(name);
    const qsizetype lineStart = text.lastIndexOf('\n', at) + 1;
    const QJsonObject params{
        {"textDocument", QJsonObject{{"uri", tree.uri}}},
        {"position", QJsonObject{{"line", static_cast<int>(text.left(at).count('\n'))},
                                 {"character", static_cast<int>(at - lineStart + 1)}}}};
    tree.Send({{"id", 2}, {"method", method}, {"params", params}}); // the structure, read once
    for (auto _ : state) {
        tree.Send({{"id", 2}, {"method", method}, {"params", params}});
    }
    std::lock_guard lock(tree.mutex);
    state.counters["answer_bytes"] = static_cast<double>(tree.lastAnswerSize);
}
BENCHMARK_CAPTURE(BM_NavigationOverTree, definition, "textDocument/definition",
                  "MarkPropertyChanged")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NavigationOverTree, hover, "textDocument/hover", "MarkPropertyChanged")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NavigationOverTree, definition_of_a_common_name, "textDocument/definition",
                  "Create")
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
