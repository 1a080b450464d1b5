#include "CrashFlush.h"

#include "WriteAll.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace workbench {

namespace {

constexpr int kSlots = 256;

// The slot keeps the generation of the image written, not its address: an
// image freed after it was written leaves its address to the next one,
// which is not on disk.
struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<const RecoveryImage*> latest{nullptr};
    std::atomic<uint64_t> written{0};
};

std::array<Slot, kSlots> slots;
std::atomic<uint64_t> lastGeneration{0};

constexpr std::array kCrashSignals{SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

void FlushOnCrash(int signal) {
    const int savedErrno = errno;
    for (Slot& slot : slots) {
        const RecoveryImage* image = slot.latest.load();
        if (slot.taken.load() && image != nullptr && image->generation != slot.written.load()) {
            WriteRecoveryImage(*image, true);
        }
    }
    errno = savedErrno;
    // The default action, once this handler returns: the process ends (with
    // a core, where those are kept) as if no handler had been there.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);
}

} // namespace

bool WriteRecoveryImage(const RecoveryImage& image, bool fromCrashHandler) {
    const char* temp = fromCrashHandler ? image.crashTemp.c_str() : image.temp.c_str();
    const int fd = ::open(temp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    bool written = kestrel::WriteAll(fd, image.header) && kestrel::WriteAll(fd, image.bytes);
    int error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && ::rename(temp, image.path.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(temp);
        errno = error; // the caller says why
    }
    return written;
}

namespace crash_slots {

int Claim() {
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (slots[i].taken.compare_exchange_strong(expected, true)) {
            return i;
        }
    }
    return -1;
}

void Release(int slot) {
    if (slot < 0 || slot >= kSlots) {
        return;
    }
    slots[slot].latest.store(nullptr);
    slots[slot].written.store(0);
    slots[slot].taken.store(false);
}

void Publish(int slot, RecoveryImage* image) {
    if (image != nullptr) {
        image->generation = ++lastGeneration;
    }
    if (slot >= 0 && slot < kSlots) {
        slots[slot].latest.store(image);
    }
}

void MarkWritten(int slot, const RecoveryImage* image) {
    if (slot >= 0 && slot < kSlots) {
        slots[slot].written.store(image != nullptr ? image->generation : 0);
    }
}

} // namespace crash_slots

void InstallCrashFlush() {
    // Its own stack, so that a stack overflow can be handled too.
    static std::array<char, 1 << 16> stack;
    stack_t alternate{};
    alternate.ss_sp = stack.data();
    alternate.ss_size = stack.size();
    sigaltstack(&alternate, nullptr);

    struct sigaction action {};
    action.sa_handler = FlushOnCrash;
    action.sa_flags = SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (const int signal : kCrashSignals) {
        sigaction(signal, &action, nullptr);
    }
}

} // namespace workbench
