#include "StandardStreams.h"

#include <csignal>
#include <pthread.h>

namespace kestrel {

void PrepareStandardStreams() {
    // A reader that goes away (`kestrel-list -R src | head`) ends the lister
    // at once and quietly, by SIGPIPE, as grep and ctags end: a message there
    // is only noise in a pipeline. The signal is set to its default and let
    // through even where the parent ignored or blocked it.
    std::signal(SIGPIPE, SIG_DFL);
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_UNBLOCK, &pipeSignal, nullptr);
}

} // namespace kestrel
