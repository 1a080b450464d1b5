#include "OrderedOutput.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace kestrel {

OrderedOutput::OrderedOutput(int outputFd, int errorFd, size_t window, std::string separator)
    : outputFd_(outputFd), errorFd_(errorFd), window_(window == 0 ? 1 : window),
      separator_(std::move(separator)) {}

void OrderedOutput::Emit(size_t slot, std::string& output, bool last, const std::string& error) {
    std::unique_lock lock(mutex_);
    if (failed_) {
        output.clear();
        return;
    }
    Slot& own = slots_[slot - head_];
    if (own.output.empty()) {
        own.output.swap(output);
    } else {
        own.output += output;
    }
    output.clear();
    own.error += error;
    own.finished = last;
    if (slot != head_ && !last && own.output.size() > kHeldBytes) {
        changed_.wait(lock, [&] { return failed_ || slot == head_; });
    }
    if (slot == head_ && !failed_) {
        WriteHead(lock);
    }
}

// With the lock held and the head's owner (or the writer of the slot before
// it) calling: writes the head's bytes, and the slots after it that are
// already finished.
void OrderedOutput::WriteHead(std::unique_lock<std::mutex>& lock) {
    for (;;) {
        Slot& head = slots_.front();
        std::string output = std::move(head.output);
        std::string error = std::move(head.error);
        head.output.clear();
        head.error.clear();
        const bool finished = head.finished;
        if (!output.empty() && !head.started) {
            if (wroteAny_) {
                output.insert(0, separator_);
            }
            wroteAny_ = true;
            head.started = true;
        }
        // Only the head's owner writes, so the lock is not needed meanwhile.
        // A failure to write a message is not the output's failure.
        lock.unlock();
        const bool written = WriteAll(outputFd_, output);
        const int writeErrno = errno;
        WriteAll(errorFd_, error);
        lock.lock();
        if (!written) {
            failed_ = true;
            writeError_ = std::strerror(writeErrno);
            changed_.notify_all();
            return;
        }
        if (!finished) {
            return;
        }
        slots_.pop_front();
        ++head_;
        changed_.notify_all();
        if (slots_.empty() || !slots_.front().finished) {
            return;
        }
    }
}

bool OrderedOutput::WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::string OrderedOutput::WriteError() const {
    std::lock_guard lock(mutex_);
    return writeError_;
}

} // namespace kestrel
