#include "index/SourceQueue.h"

namespace kestrel::lsp {

void SourceQueue::Add(std::string path) {
    {
        std::lock_guard lock(mutex_);
        paths_.push_back(std::move(path));
    }
    added_.notify_one();
}

void SourceQueue::Close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    added_.notify_all();
}

bool SourceQueue::Take(std::string& path) {
    std::unique_lock lock(mutex_);
    added_.wait(lock, [this] { return next_ < paths_.size() || closed_; });
    if (next_ == paths_.size()) {
        return false;
    }
    path = paths_[next_++];
    return true;
}

bool SourceQueue::Closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

size_t SourceQueue::Total() const {
    std::lock_guard lock(mutex_);
    return paths_.size();
}

std::vector<std::string> SourceQueue::TakeAll() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> all = std::move(paths_);
    paths_.clear();
    next_ = 0;
    return all;
}

} // namespace kestrel::lsp
