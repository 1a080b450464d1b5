#include "index/FolderWatch.h"

#include "index/LocalPaths.h"

#include "ErrnoText.h"
#include "NativePath.h"
#include "PathStatus.h"
#include "WindowsPaths.h"

#include <algorithm>
#include <chrono>
#include <windows.h>

namespace kestrel::lsp {

namespace {

// Names made, deleted or renamed, and files written: what a build, a
// checkout or another editor does.
constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                           FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE |
                           FILE_NOTIFY_CHANGE_CREATION;
constexpr DWORD kQuietMs = 50;
constexpr int kLongestWaitMs = 1000;
// The completion key that ends the thread; trees have keys from 1 on.
constexpr ULONG_PTR kStopKey = 0;

} // namespace

struct FolderWatch::Tree {
    std::string folder;
    HANDLE handle = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped{};
    // Where the system puts the changes; DWORD-aligned, as it needs.
    alignas(DWORD) char buffer[64 * 1024];

    ~Tree() {
        if (handle != INVALID_HANDLE_VALUE) {
            // The read in flight is cancelled and waited for before its
            // buffer goes.
            ::CancelIoEx(handle, &overlapped);
            DWORD ignored = 0;
            ::GetOverlappedResult(handle, &overlapped, &ignored, TRUE);
            ::CloseHandle(handle);
        }
    }
};

FolderWatch::FolderWatch(OnChanges onChanges, std::function<bool(std::string_view)> wanted, Log log)
    : onChanges_(std::move(onChanges)), wanted_(std::move(wanted)), log_(std::move(log)),
      port_(::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1)) {
    if (port_ == nullptr) {
        log_("cannot watch folders for changes: " +
             ErrnoText(ErrnoOfWindowsError(::GetLastError())));
        return;
    }
    thread_ = std::thread([this] { Run(); });
}

FolderWatch::~FolderWatch() {
    Stop();
    trees_.clear();
    if (port_ != nullptr) {
        ::CloseHandle(port_);
    }
}

void FolderWatch::Stop() {
    if (thread_.joinable()) {
        ::PostQueuedCompletionStatus(port_, 0, kStopKey, nullptr);
        thread_.join();
    }
}

void FolderWatch::Arm(Tree& tree) {
    tree.overlapped = OVERLAPPED{};
    if (!::ReadDirectoryChangesW(tree.handle, tree.buffer, sizeof tree.buffer, TRUE, kChanges,
                                 nullptr, &tree.overlapped, nullptr)) {
        log_("cannot watch " + tree.folder + ": " +
             ErrnoText(ErrnoOfWindowsError(::GetLastError())));
    }
}

void FolderWatch::Watch(const std::string& folder) {
    if (port_ == nullptr) {
        return;
    }
    std::lock_guard lock(mutex_);
    // A tree is watched whole: a folder inside one is seen already.
    for (const auto& [key, tree] : trees_) {
        if (IsUnder(folder, tree->folder)) {
            return;
        }
    }
    std::wstring wide;
    int error = 0;
    if (!NativePath(folder, wide, error)) {
        log_("cannot watch " + folder + ": " + ErrnoText(error));
        return;
    }
    auto tree = std::make_unique<Tree>();
    tree->folder = folder;
    tree->handle = ::CreateFileW(
        wide.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    const ULONG_PTR key = ++lastKey_;
    if (tree->handle == INVALID_HANDLE_VALUE ||
        ::CreateIoCompletionPort(tree->handle, port_, key, 0) == nullptr) {
        log_("cannot watch " + folder + ": " +
             ErrnoText(ErrnoOfWindowsError(::GetLastError(), wide)));
        return;
    }
    Arm(*tree);
    // Trees inside this one are now seen through it.
    std::erase_if(trees_,
                  [&folder](const auto& entry) { return IsUnder(entry.second->folder, folder); });
    trees_.emplace(key, std::move(tree));
}

void FolderWatch::Unwatch(const std::string& path) {
    std::lock_guard lock(mutex_);
    // A read that ends after this finds no tree of its key and is dropped.
    std::erase_if(trees_,
                  [&path](const auto& entry) { return IsUnder(entry.second->folder, path); });
}

void FolderWatch::Run() {
    Changes changes;
    using Clock = std::chrono::steady_clock;
    Clock::time_point due; // when what is gathered goes out, quiet or not
    for (;;) {
        const bool pending = !changes.paths.empty() || changes.overflow;
        DWORD wait = INFINITE;
        if (pending) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
            wait = static_cast<DWORD>(std::clamp<int64_t>(left, 0, kQuietMs));
        }
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        OVERLAPPED* overlapped = nullptr;
        const BOOL got = ::GetQueuedCompletionStatus(port_, &bytes, &key, &overlapped, wait);
        if (overlapped == nullptr && !got && ::GetLastError() != WAIT_TIMEOUT) {
            return; // the port is gone
        }
        if (got && key == kStopKey && overlapped == nullptr) {
            return;
        }
        const bool heard = overlapped != nullptr;
        if (heard) {
            std::lock_guard lock(mutex_);
            const auto found = trees_.find(key);
            if (found != trees_.end()) {
                Tree& tree = *found->second;
                if (!got) {
                    // The folder went, or the read failed: what is below it
                    // is looked at again, and the tree is no longer watched.
                    changes.paths.push_back(tree.folder);
                    trees_.erase(found);
                } else if (bytes == 0) {
                    changes.overflow = true; // more changes than the buffer held
                    Arm(tree);
                } else {
                    for (size_t at = 0;;) {
                        const auto* info =
                            reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(tree.buffer + at);
                        std::string relative = Utf8OfUtf16(
                            std::u16string_view(reinterpret_cast<const char16_t*>(info->FileName),
                                                info->FileNameLength / sizeof(WCHAR)));
                        std::replace(relative.begin(), relative.end(), '\\', '/');
                        const std::string_view name =
                            std::string_view(relative).substr(relative.rfind('/') + 1);
                        std::string path = tree.folder + '/' + relative;
                        // Folders are always reported. What was deleted or
                        // renamed away can no longer be asked whether it was
                        // a folder, so it is reported whatever its name.
                        const bool gone = info->Action == FILE_ACTION_REMOVED ||
                                          info->Action == FILE_ACTION_RENAMED_OLD_NAME;
                        if ((gone || wanted_(name) ||
                             StatusOfPath(path).kind == FileKind::Folder) &&
                            (changes.paths.empty() || changes.paths.back() != path)) {
                            changes.paths.push_back(std::move(path));
                        }
                        if (info->NextEntryOffset == 0) {
                            break;
                        }
                        at += info->NextEntryOffset;
                    }
                    Arm(tree);
                }
            }
            if (!pending) {
                due = Clock::now() + std::chrono::milliseconds(kLongestWaitMs);
            }
        }
        const bool stillPending = !changes.paths.empty() || changes.overflow;
        if (stillPending && (!heard || Clock::now() >= due)) {
            onChanges_(std::move(changes));
            changes = {};
        }
    }
}

} // namespace kestrel::lsp
