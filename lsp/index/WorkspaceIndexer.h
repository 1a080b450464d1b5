#pragma once

#include "index/IndexProgress.h"
#include "index/WorkspaceIndex.h"
#include "index/WorkspaceWalk.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrel::lsp {

class SourceQueue;

// Keeps the workspace index in step with the disk, in the background: each
// round of work walks folders, reads and scans files on every core, and
// drops what is gone. Rounds run one after another in the order they were
// asked for, so a later change to a path always wins.
class WorkspaceIndexer {
public:
    struct Hooks {
        // A line for the client's log: a file or folder that was skipped.
        std::function<void(const std::string& message)> log;
        // A folder the walk entered (to be watched).
        std::function<void(const std::string& folder)> folderEntered;
        // A path that no longer holds a source or folder (to stop watching).
        std::function<void(const std::string& path)> gone;
    };

    WorkspaceIndexer(WorkspaceIndex& index, SourceTreeWalk walk, PositionEncoding encoding,
                     Hooks hooks, unsigned threads = 0);
    ~WorkspaceIndexer();
    WorkspaceIndexer(const WorkspaceIndexer&) = delete;
    WorkspaceIndexer& operator=(const WorkspaceIndexer&) = delete;

    // Indexes every source below the workspace folders `roots`, and drops
    // what the index holds below them that is no longer there. A root that
    // is missing or not a folder is logged.
    void IndexFolders(std::vector<std::string> roots, std::shared_ptr<IndexProgress> progress);
    // Brings `paths` up to date: a Pascal source is scanned again, a folder
    // walked, and a path that is gone dropped with all below it.
    void Refresh(std::vector<std::string> paths);

    // Blocks until every round asked for so far is done.
    void WaitUntilIdle();

private:
    struct Round {
        std::vector<std::string> paths;
        bool roots = false;
        std::shared_ptr<IndexProgress> progress;
    };

    void Run();
    void Work(const Round& round);
    // Walks a folder, its sources into `sources`.
    void WalkFolder(const std::string& folder, SourceQueue& sources);
    void IndexFile(const std::string& path);

    WorkspaceIndex& index_;
    SourceTreeWalk walk_;
    PositionEncoding encoding_;
    Hooks hooks_;
    unsigned threads_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Round> rounds_;
    bool busy_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Reads and scans the source at `path` into index entries. Null with a
// reason in `error` when the file cannot be read, is not a regular file, is
// too large, or holds NUL bytes (a binary file).
std::shared_ptr<const FileSymbols> IndexSourceFile(const std::string& path,
                                                   PositionEncoding encoding, std::string& error);

} // namespace kestrel::lsp
