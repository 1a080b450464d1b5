#include "index/WorkspaceIndexer.h"

#include "documents/DocumentStore.h"
#include "index/LocalPaths.h"
#include "index/SourceQueue.h"

#include "ErrnoText.h"
#include "FolderWalk.h"
#include "PathStatus.h"
#include "ReadFile.h"

#include <algorithm>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace kestrel::lsp {

namespace {

// A round of at least this many files gives the free memory of its reading
// back to the system when it ends.
constexpr size_t kFilesBeforeTrim = 256;

} // namespace

std::shared_ptr<const FileSymbols> IndexSourceFile(const std::string& path,
                                                   PositionEncoding encoding, std::string& error) {
    // Only regular files, opened without waiting: a FIFO put in a source's
    // place must not hold the indexer up. A UTF-8 file's bytes become the
    // document's text, and its storage is given back for the next file's.
    thread_local FileBytes file;
    const FileRead read =
        ReadFile(path, {.fileLimit = static_cast<size_t>(DocumentStore::kMaxFileSize)}, file);
    switch (read.end) {
    case ReadEnd::Complete:
        break;
    case ReadEnd::Failed:
        error = ErrnoText(read.error);
        return nullptr;
    case ReadEnd::Refused:
        error = "not a regular file";
        return nullptr;
    case ReadEnd::Changed:
        error = "changed while it was read";
        return nullptr;
    case ReadEnd::TooLarge:
    case ReadEnd::Cancelled:
        error = "too large";
        return nullptr;
    }
    const std::string_view bytes = file.View();
    if (bytes.find('\0') != std::string_view::npos) {
        error = "binary file (it holds NUL bytes)";
        return nullptr;
    }
    TextDocument document(DecodeFileText(file));
    auto symbols = IndexDocument(document, FileUri(path), encoding);
    file.GiveBack(document.TakeText());
    return symbols;
}

WorkspaceIndexer::WorkspaceIndexer(WorkspaceIndex& index, SourceTreeWalk walk,
                                   PositionEncoding encoding, Hooks hooks, unsigned threads)
    : index_(index), walk_(std::move(walk)), encoding_(encoding), hooks_(std::move(hooks)),
      threads_(threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency())),
      thread_([this] { Run(); }) {}

WorkspaceIndexer::~WorkspaceIndexer() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void WorkspaceIndexer::IndexFolders(std::vector<std::string> roots,
                                    std::shared_ptr<IndexProgress> progress) {
    {
        std::lock_guard lock(mutex_);
        rounds_.push_back({std::move(roots), true, std::move(progress)});
    }
    wake_.notify_all();
}

void WorkspaceIndexer::Refresh(std::vector<std::string> paths) {
    {
        std::lock_guard lock(mutex_);
        rounds_.push_back({std::move(paths), false, nullptr});
    }
    wake_.notify_all();
}

void WorkspaceIndexer::WaitUntilIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return (rounds_.empty() && !busy_) || stop_; });
}

void WorkspaceIndexer::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !rounds_.empty(); });
        if (stop_) {
            break;
        }
        const Round round = std::move(rounds_.front());
        rounds_.pop_front();
        busy_ = true;
        lock.unlock();
        Work(round);
        lock.lock();
        busy_ = false;
        idle_.notify_all();
    }
    idle_.notify_all();
}

void WorkspaceIndexer::Work(const Round& round) {
    IndexProgress* const progress = round.progress.get();
    if (progress != nullptr) {
        progress->Begin();
    }
    // A workspace folder may be a link to a folder; a folder met below one
    // is walked only when it is not a link, so that a walk cannot loop. A
    // link to a source counts as the source.
    std::vector<PathStatus> statuses;
    statuses.reserve(round.paths.size());
    size_t folders = 0;
    for (const std::string& path : round.paths) {
        const PathStatus& status = statuses.emplace_back(StatusOfPath(path));
        folders += status && status.kind == FileKind::Folder && (round.roots || !status.link);
    }
    // The threads scan what the walk finds while it goes on; without a
    // walk, a few sources take no more threads than they fill.
    SourceQueue sources;
    std::atomic<size_t> done{0};
    const auto scan = [&] {
        std::string path;
        while (!stop_ && sources.Take(path)) {
            IndexFile(path);
            const size_t finished = ++done;
            // The share done is told once the walk has found them all.
            if (progress != nullptr && sources.Closed()) {
                progress->Report(finished, sources.Total());
            }
        }
    };
    const size_t helperCount =
        std::min<size_t>(threads_, folders > 0 ? threads_ : round.paths.size() / 2 + 1) - 1;
    std::vector<std::jthread> helpers;
    for (size_t i = 0; i < helperCount; ++i) {
        helpers.emplace_back(scan);
    }
    std::vector<std::string> walked;
    for (size_t p = 0; p < round.paths.size(); ++p) {
        const std::string& path = round.paths[p];
        const PathStatus& status = statuses[p];
        if (status && status.kind == FileKind::Folder && (round.roots || !status.link)) {
            WalkFolder(path, sources);
            walked.push_back(path);
        } else if (round.roots) {
            hooks_.log("workspace folder " + path + ": " +
                       (status ? std::string("not a folder") : ErrnoText(status.error)));
        } else if (status && status.kind == FileKind::Regular && HasPascalExtension(path)) {
            sources.Add(path);
        } else {
            // Gone, or no longer a source: nothing of it stays in the index.
            index_.RemoveUnder(path);
            hooks_.gone(path);
        }
    }
    sources.Close();
    if (progress != nullptr) {
        progress->Report(done, sources.Total());
    }
    scan();
    helpers.clear(); // each ends when the queue is empty
    std::vector<std::string> files = sources.TakeAll();
    if (!walked.empty() && !stop_) {
        std::sort(files.begin(), files.end());
        for (const std::string& folder : walked) {
            index_.RemoveUnder(folder, files);
        }
    }
#ifdef __GLIBC__
    if (files.size() >= kFilesBeforeTrim) {
        // The threads' heaps keep what reading the files took; give the
        // free pages back, so that the server holds what the index needs.
        ::malloc_trim(0);
    }
#endif
    if (progress != nullptr) {
        progress->End(index_.FileCount(), index_.SymbolCount());
    }
}

void WorkspaceIndexer::WalkFolder(const std::string& folder, SourceQueue& sources) {
    const SourceTreeVisitor visit{
        [this](const std::string& entered) { hooks_.folderEntered(entered); },
        [&sources](const std::string& file) { sources.Add(file); },
        [this](const std::string& path, const std::string& error) {
            hooks_.log("skipped folder " + path + ": " + error);
        },
    };
    walk_(folder, visit, stop_);
}

void WorkspaceIndexer::IndexFile(const std::string& path) {
    std::string error;
    auto symbols = IndexSourceFile(path, encoding_, error);
    if (symbols) {
        index_.SetFromDisk(path, std::move(symbols));
        return;
    }
    // What could not be read is not listed from an older reading either.
    index_.RemoveUnder(path);
    hooks_.log("skipped " + path + ": " + error);
}

} // namespace kestrel::lsp
