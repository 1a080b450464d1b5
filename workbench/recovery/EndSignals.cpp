#include "EndSignals.h"

#include "CrashFlush.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace workbench {

namespace {

constexpr std::array kEndSignals{SIGTERM, SIGHUP, SIGINT};
// How long the main thread has to write the copies before the handler ends
// the process with what it has.
constexpr unsigned kGraceSeconds = 3;

volatile sig_atomic_t pendingSignal = 0;
int wakeRead = -1;
int wakeWrite = -1;

void EndNow(int) {
    WritePendingImages();
    EndBySignal(pendingSignal);
}

void OnEndSignal(int signal) {
    if (pendingSignal != 0) {
        EndNow(signal);
    }
    const int savedErrno = errno;
    pendingSignal = signal;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeWrite, &byte, 1);
    ::alarm(kGraceSeconds);
    errno = savedErrno;
}

void Handle(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

} // namespace

EndSignals::EndSignals(std::function<void()> flush, QObject* parent)
    : QObject(parent), flush_(std::move(flush)) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // the signals keep ending the process at once
    }
    wakeRead = ends[0];
    wakeWrite = ends[1];
    notifier_ = new QSocketNotifier(wakeRead, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &EndSignals::Woken);
    Handle(SIGALRM, EndNow);
    for (const int signal : kEndSignals) {
        Handle(signal, OnEndSignal);
    }
}

EndSignals::~EndSignals() {
    if (notifier_ == nullptr) {
        return;
    }
    for (const int signal : kEndSignals) {
        Handle(signal, SIG_DFL);
    }
    Handle(SIGALRM, SIG_DFL);
    ::close(wakeRead);
    ::close(wakeWrite);
    wakeRead = wakeWrite = -1;
}

void EndSignals::Woken() {
    char byte = 0;
    while (::read(wakeRead, &byte, 1) > 0) {
    }
    flush_();
    EndBySignal(pendingSignal);
}

} // namespace workbench
