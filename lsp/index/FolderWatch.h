#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace kestrel::lsp {

// Watches folders for changes made by other programs (a checkout, a build
// step, another editor), with inotify on Linux and ReadDirectoryChangesW on
// Windows, for clients that do not watch files for the server. Changes are gathered until the
// folders have been quiet for a moment, then handed on in one batch, in the order they happened.
class FolderWatch {
public:
    struct Changes {
        std::vector<std::string> paths; // files and folders created, changed, deleted or moved
        bool overflow = false;          // events were lost: everything must be looked at again
    };
    using OnChanges = std::function<void(Changes changes)>;
    using Log = std::function<void(const std::string& message)>;

    // `onChanges` is called on the watch's own thread; `wanted` picks the
    // names of files worth reporting (folders are always reported).
    FolderWatch(OnChanges onChanges, std::function<bool(std::string_view name)> wanted, Log log);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Ends the watch's thread: no more changes are handed on. Watch and
    // Unwatch may still be called.
    void Stop();

    // Watches one folder: on Linux not what is below it, each folder being
    // named as the walk comes to it; on Windows the folder and all below it,
    // once for a tree.
    void Watch(const std::string& folder);
    // Stops watching `path` and every folder below it.
    void Unwatch(const std::string& path);

private:
    void Run();
    void Read(Changes& changes);

    OnChanges onChanges_;
    std::function<bool(std::string_view)> wanted_;
    Log log_;
    std::mutex mutex_;
#ifdef _WIN32
    struct Tree; // a folder watched with all below it
    void Arm(Tree& tree);
    void* port_ = nullptr; // the completion port every tree's reads end on
    std::unordered_map<uint64_t, std::unique_ptr<Tree>> trees_; // by completion key
    uint64_t lastKey_ = 0;
#else
    int inotify_ = -1;
    int wakeup_ = -1;                              // an eventfd that ends the thread
    std::unordered_map<int, std::string> folders_; // watch descriptor -> folder
    std::unordered_map<std::string, int> watches_;
    bool limitLogged_ = false;
#endif
    std::thread thread_;
};

} // namespace kestrel::lsp
