#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>

namespace kestrel {

// The output of work done on several threads, written in the order the work
// was claimed: each piece of work has a slot, and a slot's bytes go out once
// every earlier slot's have. The slot at the head gives its bytes as it goes;
// the others hold their bytes back, and one that holds more than a bound
// waits until it is the head. Claims stop while `window` slots are unwritten
// or the slots hold more than kHeldTotal. So the memory held stays bounded
// however much work there is.
//
// The head's bytes are gathered into blocks of `blockBytes` and written a
// block at a time (one system call for many small files); a slot's error
// message first sends what the block holds, so that output and messages
// keep their order in a file that takes both. Finish() writes the last
// block. With `blockBytes` 0 each slot's bytes are written as they come (for
// a terminal, which should show them at once).
class OrderedOutput {
public:
    static constexpr size_t kHeldBytes = size_t{4} << 20;
    static constexpr size_t kHeldTotal = size_t{16} << 20;
    static constexpr size_t kBlockBytes = size_t{1} << 20;
    static constexpr size_t kWrittenAsItStands = size_t{64} << 10;

    // `separator` goes before each slot's output but the first to have any.
    OrderedOutput(int outputFd, int errorFd, size_t window, std::string separator,
                  size_t blockBytes = kBlockBytes);

    // Runs `claim` once a slot is free, and gives the new slot's number;
    // `claim` says whether there is work for it. False when there is none, or
    // once writing has failed. Claims run one at a time, so slots follow the
    // order of the work, but not under the output's lock: a claim that waits
    // (on a slow list of files) holds back no output.
    template <class HasWork> bool Claim(size_t& slot, HasWork&& claim) {
        const std::unique_lock claiming = Take(claimMutex_);
        {
            std::unique_lock lock = Take(mutex_);
            changed_.wait(lock, [&] {
                return failed_ || (next_ < head_ + window_ && heldTotal_ <= kHeldTotal);
            });
            if (failed_) {
                return false;
            }
        }
        if (!claim()) {
            return false;
        }
        const std::unique_lock lock = Take(mutex_);
        slot = next_++;
        slots_.emplace_back();
        return true;
    }

    // Adds to a slot's output (taking the bytes from `output`) and, with
    // `last`, finishes it; `error` goes to the error stream in its place.
    void Emit(size_t slot, std::string& output, bool last, const std::string& error = {});

    // Writes `bytes` after every slot, once the work is done (a sorted tags
    // file is known only then); nothing once writing has failed.
    void WriteTail(std::string_view bytes);

    // Writes what the last block holds, once the work is done.
    void Finish();

    // The first write error, empty while there is none.
    std::string WriteError() const;

private:
    struct Slot {
        std::string output;
        std::string error;
        bool finished = false;
        bool started = false; // some of its output is written
    };

    // Takes `mutex`, trying it for a while before sleeping on it: a thread
    // holds these locks for a microsecond or two a file, and while it reads
    // a folder's entries for the walk, less than a sleep and a wake-up cost.
    static std::unique_lock<std::mutex> Take(std::mutex& mutex);

    void WriteHead(std::unique_lock<std::mutex>& lock, std::string_view more);
    // Adds `bytes` to the block, writing the block first when they would
    // not fit; kWrittenAsItStands bytes or more are written as they stand.
    // Only the head's owner calls these, or the caller of WriteTail and
    // Finish once every slot is done.
    bool Put(std::string_view bytes);
    bool WriteBlock();

    const int outputFd_;
    const int errorFd_;
    const size_t window_;
    const std::string separator_;
    const size_t blockBytes_;
    std::string block_;
    std::mutex claimMutex_; // taken before mutex_, never after
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Slot> slots_; // from the head on
    size_t head_ = 0;        // the first slot not yet written out
    size_t next_ = 0;        // the next slot to claim
    size_t heldTotal_ = 0;   // bytes the slots after the head hold
    bool wroteAny_ = false;
    bool failed_ = false;
    std::string writeError_;
};

} // namespace kestrel
