#include "index/FolderWatch.h"

#include "index/LocalPaths.h"

#include "ErrnoText.h"
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace kestrel::lsp {

namespace {

constexpr uint32_t kEvents = IN_CREATE | IN_CLOSE_WRITE | IN_MODIFY | IN_DELETE | IN_MOVED_FROM |
                             IN_MOVED_TO | IN_ATTRIB | IN_ONLYDIR | IN_DONT_FOLLOW;
// How long the folders must stay quiet before a batch is handed on: a
// checkout writes many files in a burst.
constexpr int kQuietMs = 50;
// ... but not longer than this, so that a file written on and on is seen.
constexpr int kLongestWaitMs = 1000;

} // namespace

FolderWatch::FolderWatch(OnChanges onChanges, std::function<bool(std::string_view)> wanted, Log log)
    : onChanges_(std::move(onChanges)), wanted_(std::move(wanted)), log_(std::move(log)),
      inotify_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      wakeup_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (inotify_ < 0 || wakeup_ < 0) {
        log_("cannot watch folders for changes: " + ErrnoText(errno));
        return;
    }
    thread_ = std::thread([this] { Run(); });
}

FolderWatch::~FolderWatch() {
    Stop();
    if (inotify_ >= 0) {
        ::close(inotify_);
    }
    if (wakeup_ >= 0) {
        ::close(wakeup_);
    }
}

void FolderWatch::Stop() {
    if (thread_.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeup_, &one, sizeof one);
        thread_.join();
    }
}

void FolderWatch::Watch(const std::string& folder) {
    if (inotify_ < 0) {
        return;
    }
    const int watch = ::inotify_add_watch(inotify_, folder.c_str(), kEvents);
    std::lock_guard lock(mutex_);
    if (watch < 0) {
        if (errno == ENOSPC && !limitLogged_) {
            limitLogged_ = true;
            log_("too many folders to watch for changes (raise fs.inotify.max_user_watches); "
                 "changes below " +
                 folder + " and some others are not seen");
        } else if (errno != ENOSPC) {
            log_("cannot watch " + folder + ": " + ErrnoText(errno));
        }
        return;
    }
    // The same folder under a new name (moved) keeps its descriptor.
    if (const auto old = folders_.find(watch); old != folders_.end()) {
        watches_.erase(old->second);
    }
    folders_[watch] = folder;
    watches_[folder] = watch;
}

void FolderWatch::Unwatch(const std::string& path) {
    std::lock_guard lock(mutex_);
    for (auto it = watches_.begin(); it != watches_.end();) {
        if (IsUnder(it->first, path)) {
            ::inotify_rm_watch(inotify_, it->second);
            folders_.erase(it->second);
            it = watches_.erase(it);
        } else {
            ++it;
        }
    }
}

void FolderWatch::Run() {
    pollfd fds[2] = {{inotify_, POLLIN, 0}, {wakeup_, POLLIN, 0}};
    Changes changes;
    using Clock = std::chrono::steady_clock;
    Clock::time_point due; // when what is gathered goes out, quiet or not
    const auto remainingMs = [&due] {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
        return static_cast<int>(std::clamp<int64_t>(left, 0, kQuietMs));
    };
    for (;;) {
        const bool pending = !changes.paths.empty() || changes.overflow;
        const int ready = ::poll(fds, 2, pending ? remainingMs() : -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0 || (fds[1].revents & POLLIN) != 0) {
            return;
        }
        if (ready > 0) {
            Read(changes);
            if (!pending) {
                due = Clock::now() + std::chrono::milliseconds(kLongestWaitMs);
            }
        }
        if (ready == 0 || (pending && Clock::now() >= due)) {
            onChanges_(std::move(changes));
            changes = {};
        }
    }
}

void FolderWatch::Read(Changes& changes) {
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t length = ::read(inotify_, buffer, sizeof buffer);
        if (length <= 0) {
            return; // EAGAIN: all read
        }
        std::lock_guard lock(mutex_);
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if ((event->mask & IN_Q_OVERFLOW) != 0) {
                changes.overflow = true;
                continue;
            }
            if ((event->mask & IN_IGNORED) != 0) {
                // The folder was deleted or unmounted; its parent reports it.
                if (const auto gone = folders_.find(event->wd); gone != folders_.end()) {
                    watches_.erase(gone->second);
                    folders_.erase(gone);
                }
                continue;
            }
            const auto folder = folders_.find(event->wd);
            if (folder == folders_.end() || event->len == 0) {
                continue;
            }
            const std::string_view name(event->name);
            if ((event->mask & IN_ISDIR) == 0 && !wanted_(name)) {
                continue;
            }
            std::string path = folder->second;
            path += '/';
            path += name;
            if (changes.paths.empty() || changes.paths.back() != path) {
                changes.paths.push_back(std::move(path));
            }
        }
    }
}

} // namespace kestrel::lsp
