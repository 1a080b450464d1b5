#include "index/WorkspaceIndexer.h"

#include "documents/DocumentStore.h"
#include "index/LocalPaths.h"

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
    // place must not hold the indexer up. Each thread keeps its storage from
    // file to file.
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
    const TextDocument document(DecodeFileText(bytes));
    return IndexDocument(document, FileUri(path), encoding);
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
    if (round.progress) {
        round.progress->Begin();
    }
    std::vector<std::string> files;
    std::vector<std::string> walked;
    for (const std::string& path : round.paths) {
        // A workspace folder may be a link to a folder; a folder met below
        // one is walked only when it is not a link, so that a walk cannot
        // loop. A link to a source counts as the source.
        const PathStatus status = StatusOfPath(path);
        if (status && status.kind == FileKind::Folder && (round.roots || !status.link)) {
            WalkFolder(path, files, walked);
        } else if (round.roots) {
            hooks_.log("workspace folder " + path + ": " +
                       (status ? std::string("not a folder") : ErrnoText(status.error)));
        } else if (status && status.kind == FileKind::Regular && HasPascalExtension(path)) {
            files.push_back(path);
        } else {
            // Gone, or no longer a source: nothing of it stays in the index.
            index_.RemoveUnder(path);
            hooks_.gone(path);
        }
    }
    ScanFiles(files, round.progress.get());
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
    if (round.progress) {
        round.progress->End(index_.FileCount(), index_.SymbolCount());
    }
}

void WorkspaceIndexer::WalkFolder(const std::string& folder, std::vector<std::string>& files,
                                  std::vector<std::string>& walked) {
    const SourceTreeVisitor visit{
        [this](const std::string& entered) { hooks_.folderEntered(entered); },
        [&files](const std::string& file) { files.push_back(file); },
        [this](const std::string& path, const std::string& error) {
            hooks_.log("skipped folder " + path + ": " + error);
        },
    };
    walk_(folder, visit, stop_);
    walked.push_back(folder);
}

void WorkspaceIndexer::ScanFiles(const std::vector<std::string>& files, IndexProgress* progress) {
    std::atomic<size_t> next{0};
    std::atomic<size_t> done{0};
    const auto work = [&] {
        for (size_t i = next++; i < files.size() && !stop_; i = next++) {
            IndexFile(files[i]);
            const size_t finished = ++done;
            if (progress != nullptr) {
                progress->Report(finished, files.size());
            }
        }
    };
    std::vector<std::jthread> helpers;
    const size_t helperCount = std::min<size_t>(threads_, files.size() / 2 + 1) - 1;
    for (size_t i = 0; i < helperCount; ++i) {
        helpers.emplace_back(work);
    }
    work();
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
