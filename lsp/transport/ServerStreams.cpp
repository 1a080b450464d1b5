#include "transport/ServerStreams.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <unistd.h>

namespace kestrel::lsp {

namespace {

constexpr int kPipeSize = 1 << 20;

} // namespace

void PrepareServerStreams() {
    std::signal(SIGPIPE, SIG_IGN);
    // A pipe holds 64 KiB by default, so a 5 MB outline answer takes some
    // eighty turns of writer and reader, each a pair of context switches;
    // with 1 MiB (what an unprivileged process may ask for by default)
    // writing it takes less than half the processor time. The client's 3 MB
    // didOpen comes in the same way. Files, terminals and sockets refuse,
    // as does a system with a lower limit; they stay as they are, as does a
    // pipe the client made larger.
    for (const int stream : {STDIN_FILENO, STDOUT_FILENO}) {
        const int size = ::fcntl(stream, F_GETPIPE_SZ);
        if (size >= 0 && size < kPipeSize) {
            ::fcntl(stream, F_SETPIPE_SZ, kPipeSize);
        }
    }
}

size_t ReadInput(char* buffer, size_t size) {
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, size);
        if (n >= 0 || errno != EINTR) {
            return n < 0 ? 0 : static_cast<size_t>(n);
        }
    }
}

bool MoreInputWaiting() {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    return ::poll(&input, 1, 0) == 1 && (input.revents & POLLIN) != 0;
}

} // namespace kestrel::lsp
