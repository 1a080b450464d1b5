#include "transport/ServerStreams.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace kestrel::lsp {

void PrepareServerStreams() {
    std::signal(SIGPIPE, SIG_IGN);
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
