// kestrel-lsp's request paths, measured inside the process: the outline of
// a large unit (fpc-source's sharepoint.pp when installed, else a generated
// unit of the same size), its JSON, a whole documentSymbol request, and a
// one-character edit followed by documentSymbol on a 10,000-line unit, and
// the server's start-up to its answer to initialize.
#include "LargeUnit.h"
#include "features/SourceStructure.h"
#include "protocol/answers/OutlineJson.h"
#include "protocol/answers/SymbolAnswers.h"
#include "server/LanguageServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <benchmark/benchmark.h>

#include <algorithm>

using namespace kestrel::lsp;

namespace {

constexpr const char* kSharepoint = "/usr/share/fpcsrc/3.2.2/packages/odata/src/sharepoint.pp";

std::string LargeText() {
    QFile file(QString::fromLatin1(kSharepoint));
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        return DecodeFileText(std::string_view(bytes.constData(), bytes.size()));
    }
    return kestrel::MakeLargeUnit(3'800'000);
}

// The first `lines` lines of a generated unit.
std::string UnitOfLines(int lines) {
    std::string unit = kestrel::MakeLargeUnit(static_cast<size_t>(lines) * 48);
    size_t at = 0;
    for (int i = 0; i < lines && at != std::string::npos; ++i) {
        at = unit.find('\n', at);
        at = at == std::string::npos ? at : at + 1;
    }
    unit.resize(at == std::string::npos ? unit.size() : at);
    return unit;
}

std::string Message(const QJsonObject& message) {
    QJsonObject json = message;
    json.insert(QLatin1StringView("jsonrpc"), QStringLiteral("2.0"));
    return QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString();
}

QJsonObject TextDocumentParams(const QString& uri) {
    return {{QLatin1StringView("textDocument"), QJsonObject{{QLatin1StringView("uri"), uri}}}};
}

// A server that has the document open.
struct OpenServer {
    // The last answer's size and start: copying megabytes would be measured too.
    size_t lastAnswerSize = 0;
    std::string lastAnswer;
    LanguageServer server{[this](std::span<const std::string_view> body) {
        lastAnswerSize = 0;
        for (const std::string_view part : body) {
            lastAnswerSize += part.size();
        }
        lastAnswer = JoinedBody(body.first(std::min<size_t>(body.size(), 2))).substr(0, 64);
    }};
    const QString uri = QStringLiteral("file:///bench/unit.pas");

    explicit OpenServer(const std::string& text) {
        Send({{QLatin1StringView("id"), 1},
              {QLatin1StringView("method"), QStringLiteral("initialize")},
              {QLatin1StringView("params"), QJsonObject{}}});
        QJsonObject item{{QLatin1StringView("uri"), uri},
                         {QLatin1StringView("languageId"), QStringLiteral("pascal")},
                         {QLatin1StringView("version"), 1},
                         {QLatin1StringView("text"), QString::fromStdString(text)}};
        Send({{QLatin1StringView("method"), QStringLiteral("textDocument/didOpen")},
              {QLatin1StringView("params"),
               QJsonObject{{QLatin1StringView("textDocument"), item}}}});
    }
    void Send(const QJsonObject& message) { server.Handle({Frame{Message(message), {}, {}}}); }
};

void BM_OutlineOfLargeUnit(benchmark::State& state) {
    const TextDocument document(LargeText());
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildOutline(document).size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * document.Text().size()));
}
BENCHMARK(BM_OutlineOfLargeUnit)->Unit(benchmark::kMillisecond);

// The outline's tree from rows and a structure already read, as after a
// change once both are read again where it changed.
void BM_OutlineTreeOfLargeUnit(benchmark::State& state) {
    const TextDocument document(LargeText());
    const OutlineRows rows(document);
    const SourceStructure structure = ReadSourceStructure(document.Text());
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildOutline(document, rows, structure).size());
    }
    state.counters["rows"] = static_cast<double>(rows.Rows().size());
}
BENCHMARK(BM_OutlineTreeOfLargeUnit)->Unit(benchmark::kMillisecond);

void BM_OutlineJsonOfLargeUnit(benchmark::State& state) {
    const TextDocument document(LargeText());
    const std::vector<OutlineSymbol> outline = BuildOutline(document);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            DocumentSymbolsJson(outline, document, PositionEncoding::Utf16).size());
    }
}
BENCHMARK(BM_OutlineJsonOfLargeUnit)->Unit(benchmark::kMillisecond);

// The same answer after a line break in the middle of the unit, patched
// from the last one: what the patching saves is the difference from
// writing it whole (BM_OutlineJsonOfLargeUnit).
void BM_OutlineJsonRewriteOfLargeUnit(benchmark::State& state) {
    const TextDocument document(LargeText());
    std::vector<OutlineSymbol> outline = BuildOutline(document);
    const int64_t middle = document.LineCount() / 2;
    const auto shift = [middle](const auto& self, std::vector<OutlineSymbol>& symbols,
                                int64_t by) -> void {
        for (OutlineSymbol& symbol : symbols) {
            symbol.line += symbol.line >= middle ? by : 0;
            self(self, symbol.children, by);
        }
    };
    OutlineJson json(outline, document, PositionEncoding::Utf16);
    int64_t by = 1;
    for (auto _ : state) {
        // Down a line, then back: the ranges after the middle change each time.
        shift(shift, outline, by);
        benchmark::DoNotOptimize(json.Rewrite(outline, document, 0, 0));
        by = -by;
    }
}
BENCHMARK(BM_OutlineJsonRewriteOfLargeUnit)->Unit(benchmark::kMillisecond);

// From the request's bytes to the response's bytes.
void BM_DocumentSymbolRequestOnLargeUnit(benchmark::State& state) {
    OpenServer open(LargeText());
    const std::string request =
        Message({{QLatin1StringView("id"), 2},
                 {QLatin1StringView("method"), QStringLiteral("textDocument/documentSymbol")},
                 {QLatin1StringView("params"), TextDocumentParams(open.uri)}});
    for (auto _ : state) {
        open.server.Handle({Frame{request, {}, {}}});
    }
    state.counters["response_bytes"] = static_cast<double>(open.lastAnswerSize);
}
BENCHMARK(BM_DocumentSymbolRequestOnLargeUnit)->Unit(benchmark::kMillisecond);

// `typed` typed at the start of `line`, as an incremental change, then the
// outline asked for again, as an editor does after each keystroke.
void EditThenDocumentSymbol(benchmark::State& state, const std::string& text, int line,
                            const char* typed = " ") {
    OpenServer open(text);
    const std::string symbols =
        Message({{QLatin1StringView("id"), 3},
                 {QLatin1StringView("method"), QStringLiteral("textDocument/documentSymbol")},
                 {QLatin1StringView("params"), TextDocumentParams(open.uri)}});
    int version = 1;
    for (auto _ : state) {
        const QJsonObject at{{QLatin1StringView("line"), line},
                             {QLatin1StringView("character"), 0}};
        QJsonObject change{
            {QLatin1StringView("range"),
             QJsonObject{{QLatin1StringView("start"), at}, {QLatin1StringView("end"), at}}},
            {QLatin1StringView("text"), QString::fromLatin1(typed)}};
        QJsonObject params{{QLatin1StringView("textDocument"),
                            QJsonObject{{QLatin1StringView("uri"), open.uri},
                                        {QLatin1StringView("version"), ++version}}},
                           {QLatin1StringView("contentChanges"), QJsonArray{change}}};
        open.server.Handle(
            {Frame{Message({{QLatin1StringView("method"), QStringLiteral("textDocument/didChange")},
                            {QLatin1StringView("params"), params}}),
                   {},
                   {}},
             Frame{symbols, {}, {}}});
    }
}

void BM_EditThenDocumentSymbolOn10000Lines(benchmark::State& state) {
    EditThenDocumentSymbol(state, UnitOfLines(10'000), 5000);
}
BENCHMARK(BM_EditThenDocumentSymbolOn10000Lines)->Unit(benchmark::kMillisecond);

// The same in the middle of the large unit.
void BM_EditThenDocumentSymbolOnLargeUnit(benchmark::State& state) {
    const std::string text = LargeText();
    EditThenDocumentSymbol(state, text,
                           static_cast<int>(std::count(text.begin(), text.end(), '\n') / 2));
}
BENCHMARK(BM_EditThenDocumentSymbolOnLargeUnit)->Unit(benchmark::kMillisecond);

// Edits that change the answer: a line break (every later entry moves down
// a line), and a blank before a routine's heading (its entry's place on the
// line changes). The tree is the last one moved; its answer is written
// again.
void BM_EditThenDocumentSymbolOnLargeUnitChangingTheOutline(benchmark::State& state,
                                                            const char* typed, const char* before) {
    const std::string text = LargeText();
    const size_t at = text.find(before, text.size() / 2);
    if (at == std::string::npos) {
        state.SkipWithError("no such line in the large unit");
        return;
    }
    EditThenDocumentSymbol(
        state, text,
        static_cast<int>(
            std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at) + 1, '\n')),
        typed);
}
BENCHMARK_CAPTURE(BM_EditThenDocumentSymbolOnLargeUnitChangingTheOutline, line_break, "\n",
                  "\nend;")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EditThenDocumentSymbolOnLargeUnitChangingTheOutline, in_a_heading, " ",
                  "\nProcedure ")
    ->Unit(benchmark::kMillisecond);

// A request at the `skip`-th character of the first `needle` after `after`
// in the large unit (sharepoint.pp's text; the generated unit's lacks the
// names and the benchmark says so). The document is unchanged between
// requests, as when a user moves about without typing.
void BM_NavigationOnLargeUnit(benchmark::State& state, const char* method, const char* after,
                              const char* needle, int skip) {
    const std::string text = LargeText();
    const size_t from = text.find(after);
    const size_t at = from == std::string::npos ? from : text.find(needle, from);
    if (at == std::string::npos) {
        state.SkipWithError("sharepoint.pp is not installed");
        return;
    }
    const size_t place = at + static_cast<size_t>(skip);
    const size_t lineStart = text.rfind('\n', place) + 1;
    OpenServer open(text);
    QJsonObject params = TextDocumentParams(open.uri);
    params.insert(
        QLatin1StringView("position"),
        QJsonObject{{QLatin1StringView("line"),
                     static_cast<int>(std::count(
                         text.begin(), text.begin() + static_cast<std::ptrdiff_t>(place), '\n'))},
                    {QLatin1StringView("character"), static_cast<int>(place - lineStart)}});
    const std::string request = Message({{QLatin1StringView("id"), 4},
                                         {QLatin1StringView("method"), QString::fromLatin1(method)},
                                         {QLatin1StringView("params"), params}});
    open.server.Handle({Frame{request, {}, {}}}); // the document's structure, read once
    for (auto _ : state) {
        open.server.Handle({Frame{request, {}, {}}});
    }
    state.counters["answer_bytes"] = static_cast<double>(open.lastAnswerSize);
    if (open.lastAnswer.find("\"result\":[") == std::string::npos &&
        open.lastAnswer.find("\"result\":{") == std::string::npos) {
        state.SkipWithError("no answer");
    }
}
constexpr const char* kImplementation =
    "Procedure TPSProjectResourceCreationInformation.SetAccount(";
constexpr const char* kClass = "TPSProjectResourceCreationInformation = Class(";
BENCHMARK_CAPTURE(BM_NavigationOnLargeUnit, declaration, "textDocument/declaration",
                  kImplementation, "SetAccount", 3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NavigationOnLargeUnit, implementation, "textDocument/implementation", kClass,
                  "SetAccount", 3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NavigationOnLargeUnit, definition, "textDocument/definition", kImplementation,
                  "TPSProjectResourceCreationInformation", 3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NavigationOnLargeUnit, hover, "textDocument/hover", kImplementation,
                  "SetAccount", 3)
    ->Unit(benchmark::kMillisecond);

// Reading a large unit's structure, as after each change before any of the
// requests above.
void BM_StructureOfLargeUnit(benchmark::State& state) {
    const std::string text = LargeText();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadSourceStructure(text).routines.size());
    }
    const SourceStructure structure = ReadSourceStructure(text);
    state.counters["routines"] = static_cast<double>(structure.routines.size());
    state.counters["checkpoints"] = static_cast<double>(structure.checkpoints.size());
}
BENCHMARK(BM_StructureOfLargeUnit)->Unit(benchmark::kMillisecond);

// A whole process: started, asked to initialize, and timed until its
// answer has arrived; then shut down.
void BM_StartToInitializeAnswer(benchmark::State& state) {
    const std::string body = Message({{QLatin1StringView("id"), 1},
                                      {QLatin1StringView("method"), QStringLiteral("initialize")},
                                      {QLatin1StringView("params"), QJsonObject{}}});
    const std::string request = FrameMessage(body);
    for (auto _ : state) {
        QProcess server;
        QElapsedTimer timer;
        timer.start();
        server.start(QStringLiteral(KESTREL_LSP_PATH), QStringList());
        server.write(request.data(), static_cast<qint64>(request.size()));
        QByteArray answer;
        while (!answer.contains("serverInfo") && server.waitForReadyRead(10000)) {
            answer += server.readAllStandardOutput();
        }
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        if (!answer.contains("serverInfo")) {
            state.SkipWithError("no answer to initialize");
        }
        server.closeWriteChannel();
        server.waitForFinished(10000);
    }
}
BENCHMARK(BM_StartToInitializeAnswer)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
