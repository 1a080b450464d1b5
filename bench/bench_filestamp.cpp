// What knowing the disk costs: the hash taken at every open and save, and a
// look at a file whose metadata can be trusted (one stat) or cannot (a read
// and a hash).
#include "FileStamp.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <string>
#include <utime.h>

using workbench::CheckDisk;
using workbench::FileStamp;

namespace {

std::string Text(size_t size) {
    std::string text;
    text.reserve(size);
    for (size_t line = 0; text.size() < size; ++line) {
        text += "procedure TForm" + std::to_string(line) + ".Click(Sender: TObject);\r\n";
    }
    text.resize(size);
    return text;
}

void BM_HashOf(benchmark::State& state) {
    const std::string text = Text(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(FileStamp::HashOf(text));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_HashOf)->Arg(64 << 10)->Arg(64 << 20);

// arg 0: the file's time lies well in the past (one stat); 1: it was just
// written, so the bytes are read and hashed.
void BM_CheckDisk(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("unit.pas");
    const std::string text = Text(4 << 20);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), text.size()) != qint64(text.size())) {
        state.SkipWithError("cannot write the file");
        return;
    }
    file.close();
    if (state.range(0) == 0) {
        const utimbuf past{1'000'000'000, 1'000'000'000};
        utime(QFile::encodeName(path).constData(), &past);
    }
    FileStamp known = FileStamp::Of(path);
    known.contents = FileStamp::HashOf(text);
    for (auto _ : state) {
        benchmark::DoNotOptimize(CheckDisk(path, known));
    }
}
BENCHMARK(BM_CheckDisk)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
