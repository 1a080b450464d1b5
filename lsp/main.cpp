// kestrel-lsp: Kestrel's outline and bookmarks for any editor that speaks
// the Language Server Protocol, over standard input and output.
#include "WriteAll.h"
#include "server/LanguageServer.h"
#include "transport/MessageFraming.h"
#include "transport/ServerStreams.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <span>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>

using namespace kestrel::lsp;

namespace {

// Reads take what the pipe holds (PrepareServerStreams makes it 1 MiB).
constexpr size_t kChunk = size_t{1} << 20;
// Parts of a message smaller than this are gathered into one write.
constexpr size_t kSmallPart = size_t{1} << 16;
constexpr size_t kBatchBytes = size_t{1} << 22;

constexpr const char* kUsage =
    "Usage: kestrel-lsp [--version | --help]\n"
    "A language server for Pascal sources over standard input and output,\n"
    "started by an editor. See kestrel-lsp(1).\n";

// -1 to serve, else the exit code of an option that ends the program.
int HandleArguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kestrel-lsp %s\n", KESTREL_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        // Clients built on some LSP libraries add --stdio, which is what we do anyway.
        if (std::strcmp(argv[i], "--stdio") != 0) {
            std::fprintf(stderr, "kestrel-lsp: unknown option '%s'\n%s", argv[i], kUsage);
            return 2;
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    PrepareServerStreams();
#ifdef __GLIBC__
    // Blocks of megabytes (a document's text, an outline answer) come from
    // the heap and stay there when freed, for the next one: handed back to
    // the system at once and taken again, each page is zeroed anew, which
    // was 40% of the time a large didOpen took. Free memory past 64 MiB at
    // the heap's top still goes back, and the indexer trims after a walk.
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
    if (const int code = HandleArguments(argc, argv); code >= 0) {
        return code;
    }

    std::atomic<bool> outputGone{false};
    LanguageServer server([&outputGone](std::span<const std::string_view> body) {
        size_t size = 0;
        for (const std::string_view part : body) {
            size += part.size();
        }
        // The header and the small parts are gathered into one write; a
        // large part, an answer of megabytes, is written where it stands.
        std::string pending = FrameHeader(size);
        bool written = true;
        for (const std::string_view part : body) {
            if (part.size() < kSmallPart) {
                pending += part;
                continue;
            }
            written = written && kestrel::WriteAll(STDOUT_FILENO, pending) &&
                      kestrel::WriteAll(STDOUT_FILENO, part);
            pending.clear();
        }
        if (!written || !kestrel::WriteAll(STDOUT_FILENO, pending)) {
            outputGone = true;
        }
    });
    MessageFramer framer;
    std::vector<Frame> frames;
    std::vector<char> buffer(kChunk);
    for (;;) {
        // Take everything that is already waiting, up to a bound, so that a
        // cancellation behind a request is seen before the request is
        // worked on.
        size_t batch = 0;
        bool inputEnded = false;
        do {
            const size_t n = ReadInput(buffer.data(), buffer.size());
            if (n == 0) {
                inputEnded = true;
                break;
            }
            framer.Feed(buffer.data(), n, frames);
            batch += n;
        } while (batch < kBatchBytes && MoreInputWaiting());
        server.Handle(std::exchange(frames, {}));
        // The client restarts a server that ends; one that waited for a body
        // it will never read would leave the client hanging.
        if (!framer.Lost().empty()) {
            std::fprintf(stderr, "kestrel-lsp: %s\n", framer.Lost().c_str());
            return 1;
        }
        // What arrived before the input ended is still answered.
        if (server.ExitRequested() || inputEnded || outputGone) {
            return server.ExitCode();
        }
    }
}
