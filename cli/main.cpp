// kestrel-list: the symbol rows of Pascal sources, on the command line.
#include "ErrnoText.h"
#include "FileIdentity.h"
#include "ListSourceFile.h"
#include "ListerOptions.h"
#include "OrderedOutput.h"
#include "PrintableName.h"
#include "SourcePaths.h"
#include "StandardStreams.h"

#include "OpenFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <new>
#include <thread>
#include <unistd.h>

using namespace kestrel;

namespace {

// Memory ran out where the work cannot go on: the other threads may wait on
// the output this thread was to give, so the process ends here, with a
// message that needs no memory.
[[noreturn]] void OutOfMemory() {
    static constexpr char kMessage[] = "kestrel-list: out of memory\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    ::_exit(1);
}

} // namespace

int main(int argc, char** argv) {
    PrepareStandardStreams();
    ListerOptions options;
    std::string error;
    if (!ParseListerOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "kestrel-list: %s\n%s", PrintableName(error).c_str(), ListerUsage());
        return 2;
    }
    if (options.version) {
        std::printf("kestrel-list %s\n", KESTREL_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (options.help) {
        std::fputs(ListerUsage(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    const unsigned jobs =
        options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());

    // Files are claimed in listing order by whichever thread is free, and
    // their output goes out in that order; blank lines part the tables.
    int outputFd = STDOUT_FILENO;
    if (!options.output.empty()) {
        // Opening the output empties it: a file named as an input (or as the
        // list of inputs) would be lost before it is read, so it is refused
        // with nothing written.
        if (const auto target = RegularFileIdentity(options.output)) {
            std::vector<std::string> inputs = options.files;
            if (!options.filesFrom.empty()) {
                inputs.push_back(options.filesFrom);
            }
            for (const std::string& input : inputs) {
                if (RegularFileIdentity(input) == target) {
                    std::fprintf(stderr, "kestrel-list: %s: is also an input; not overwritten\n",
                                 PrintableName(options.output).c_str());
                    return 2;
                }
            }
        }
        outputFd = CreateForWriting(options.output);
        if (outputFd < 0) {
            std::fprintf(stderr, "kestrel-list: cannot write %s: %s\n",
                         PrintableName(options.output).c_str(), ErrnoText(errno).c_str());
            return 1;
        }
        options.outputIdentity = RegularFileIdentity(outputFd);
    }
    SourcePaths paths(options);
    // Many slots may wait behind a large file, so that no thread waits on
    // it (the bytes they hold are bounded on their own): over a source tree,
    // 64 a job still left a thread waiting behind each of the largest files.
    // A terminal shows each file's rows as they come; anything else takes
    // them in blocks.
    FileKind outputKind = FileKind::Other;
    FileVersion outputVersion;
    const bool terminal = StateOfOpenFile(outputFd, outputKind, outputVersion, false) &&
                          outputKind == FileKind::Terminal;
    OrderedOutput out(outputFd, STDERR_FILENO, 1024 * size_t{jobs},
                      options.format == OutputFormat::Table && options.NamesFiles() ? "\n" : "",
                      terminal ? 0 : OrderedOutput::kBlockBytes);
    CtagsLines ctags;
    std::atomic<bool> failed = false;
    const auto work = [&] {
        try {
            ListerScratch scratch;
            scratch.mapFrom = jobs > 1 ? kMapFromAmongThreads : kMapFromAlone;
            SourcePath path;
            size_t slot = 0;
            while (out.Claim(slot, [&] { return paths.Next(path); })) {
                if (!ListSourceFile(path, options, scratch, out, slot, &ctags)) {
                    failed = true;
                }
            }
        } catch (const std::bad_alloc&) {
            OutOfMemory();
        }
    };
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < jobs; ++i) {
        threads.emplace_back(work);
    }
    work();
    for (std::thread& thread : threads) {
        thread.join();
    }
    if (options.format == OutputFormat::Ctags) {
        try {
            out.WriteTail(ctags.Finish());
        } catch (const std::bad_alloc&) {
            OutOfMemory();
        }
    }
    out.Finish();
    if (outputFd != STDOUT_FILENO && ::close(outputFd) != 0 && out.WriteError().empty()) {
        std::fprintf(stderr, "kestrel-list: cannot write %s: %s\n",
                     PrintableName(options.output).c_str(), ErrnoText(errno).c_str());
        return 1;
    }

    if (const std::string writeError = out.WriteError(); !writeError.empty()) {
        std::fprintf(stderr, "kestrel-list: cannot write the output: %s\n", writeError.c_str());
        return 1;
    }
    return failed ? 1 : 0;
}
