#include "MappedFile.h"

#include <csignal>
#include <cstdint>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace kestrel {

namespace {

// The calling thread's mapping, as the SIGBUS handler sees it. Initial-exec
// TLS: reading it in a signal handler never allocates.
struct ThreadMapping {
    uintptr_t begin = 0;
    uintptr_t end = 0; // page-aligned
    volatile sig_atomic_t cutShort = 0;
};
__attribute__((tls_model("initial-exec"))) thread_local ThreadMapping tMapping;

// A fault inside this thread's mapping is a file cut short: the pages from
// the faulting one to the mapping's end become anonymous zero pages, and the
// faulting read is run again on them. Any other SIGBUS is a real fault: the
// default action is put back, and the read faults again and ends the
// process as it would have without this handler.
void OnBusError(int, siginfo_t* info, void*) {
    const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
    ThreadMapping& mapping = tMapping;
    if (address >= mapping.begin && address < mapping.end) {
        const uintptr_t page = address & ~(static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE)) - 1);
        void* const zeros = ::mmap(reinterpret_cast<void*>(page), mapping.end - page, PROT_READ,
                                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros != MAP_FAILED) {
            mapping.cutShort = 1;
            return;
        }
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(SIGBUS, &fallback, nullptr);
}

void InstallHandlerOnce() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, nullptr);
    });
}

} // namespace

bool MappedFile::Map(int fd, size_t size) {
    Unmap();
    if (size == 0) {
        return true;
    }
    InstallHandlerOnce();
    // Every page is put in place by the call itself, not one fault at a
    // time as the reader meets it.
    void* const address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (address == MAP_FAILED) {
        return false;
    }
    const auto pageSize = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    begin_ = static_cast<const char*>(address);
    size_ = size;
    mappedSize_ = (size + pageSize - 1) / pageSize * pageSize;
    tMapping.cutShort = 0;
    tMapping.begin = reinterpret_cast<uintptr_t>(begin_);
    tMapping.end = tMapping.begin + mappedSize_;
    return true;
}

void MappedFile::Unmap() {
    if (begin_ == nullptr) {
        return;
    }
    if (tMapping.begin == reinterpret_cast<uintptr_t>(begin_)) {
        tMapping.begin = tMapping.end = 0;
    }
    ::munmap(const_cast<char*>(begin_), mappedSize_);
    begin_ = nullptr;
    size_ = mappedSize_ = 0;
}

bool MappedFile::CutShort() const {
    return begin_ != nullptr && tMapping.begin == reinterpret_cast<uintptr_t>(begin_) &&
           tMapping.cutShort != 0;
}

} // namespace kestrel
