#include "OrderedOutput.h"

#include "ErrnoText.h"
#include "WriteAll.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace kestrel {

OrderedOutput::OrderedOutput(int outputFd, int errorFd, size_t window, std::string separator,
                             size_t blockBytes)
    : outputFd_(outputFd), errorFd_(errorFd), window_(window == 0 ? 1 : window),
      separator_(std::move(separator)), blockBytes_(blockBytes) {}

std::unique_lock<std::mutex> OrderedOutput::Take(std::mutex& mutex) {
    // Some tens of microseconds: over a source tree, 1,024 tries left a
    // sixth of the sleeps that 64 did, for no more processor time.
    constexpr int kTries = 1024;
    for (int i = 0; i < kTries; ++i) {
        if (mutex.try_lock()) {
            return std::unique_lock(mutex, std::adopt_lock);
        }
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
    return std::unique_lock(mutex);
}

void OrderedOutput::Emit(size_t slot, std::string& output, bool last, const std::string& error) {
    std::unique_lock lock = Take(mutex_);
    Slot& own = slots_[slot - head_];
    own.error += error;
    own.finished = last;
    if (!failed_ && slot == head_) {
        // Written straight from the caller's buffer, which keeps its storage.
        WriteHead(lock, output);
    } else {
        own.output += output;
        heldTotal_ += output.size();
        if (!last && own.output.size() > kHeldBytes) {
            changed_.wait(lock, [&] { return failed_ || slot == head_; });
            if (!failed_) {
                WriteHead(lock, {});
            }
        }
    }
    output.clear();
}

// With the lock held, by the head's owner: writes what the head holds, then
// `more`, then the slots after it that are already finished.
void OrderedOutput::WriteHead(std::unique_lock<std::mutex>& lock, std::string_view more) {
    for (;;) {
        Slot& head = slots_.front();
        std::string held = std::move(head.output);
        std::string error = std::move(head.error);
        head.output.clear();
        head.error.clear();
        heldTotal_ -= held.size();
        const bool finished = head.finished;
        std::string_view separator;
        if (!head.started && (!held.empty() || !more.empty())) {
            separator = wroteAny_ ? separator_ : std::string_view();
            wroteAny_ = true;
            head.started = true;
        }
        // Only the head's owner writes, so the lock is not needed meanwhile.
        // A failure to write a message is not the output's failure.
        lock.unlock();
        const bool written =
            Put(separator) && Put(held) && Put(more) && (error.empty() || WriteBlock());
        const int writeErrno = errno;
        WriteAll(errorFd_, error);
        lock.lock();
        more = {};
        if (!written) {
            failed_ = true;
            writeError_ = ErrnoText(writeErrno);
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

void OrderedOutput::WriteTail(std::string_view bytes) {
    std::lock_guard lock(mutex_);
    if (!failed_ && !Put(bytes)) {
        failed_ = true;
        writeError_ = ErrnoText(errno);
    }
}

void OrderedOutput::Finish() {
    std::lock_guard lock(mutex_);
    if (!failed_ && !WriteBlock()) {
        failed_ = true;
        writeError_ = ErrnoText(errno);
    }
}

bool OrderedOutput::Put(std::string_view bytes) {
    // A large piece is written as it stands, after the block before it:
    // copying it would cost more than the write saved.
    const bool large = bytes.size() >= std::min(blockBytes_, kWrittenAsItStands);
    if (large || block_.size() + bytes.size() > blockBytes_) {
        if (!WriteBlock()) {
            return false;
        }
        if (large) {
            return WriteAll(outputFd_, bytes);
        }
    }
    if (block_.capacity() < blockBytes_) {
        block_.reserve(blockBytes_);
    }
    block_.append(bytes);
    return true;
}

bool OrderedOutput::WriteBlock() {
    const bool written = WriteAll(outputFd_, block_);
    block_.clear();
    return written;
}

std::string OrderedOutput::WriteError() const {
    std::lock_guard lock(mutex_);
    return writeError_;
}

} // namespace kestrel
