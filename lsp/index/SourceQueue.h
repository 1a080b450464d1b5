#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace kestrel::lsp {

// The sources of one round of indexing: the walk adds them while the
// indexer's threads take them, so that scanning starts with the first one
// found instead of after the whole walk.
class SourceQueue {
public:
    void Add(std::string path);
    // No more sources come: a thread waiting in Take gives up.
    void Close();

    // The next source not yet taken, waiting while more may come; false when
    // every one has been taken and the queue is closed.
    bool Take(std::string& path);

    // Whether the queue is closed, and how many sources it was given then.
    bool Closed() const;
    size_t Total() const;

    // Every source added, in the order it was added; the queue is empty
    // then. Called once it is closed and no thread takes from it.
    std::vector<std::string> TakeAll();

private:
    mutable std::mutex mutex_;
    std::condition_variable added_;
    std::vector<std::string> paths_;
    size_t next_ = 0;
    bool closed_ = false;
};

} // namespace kestrel::lsp
