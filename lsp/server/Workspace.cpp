#include "server/Workspace.h"

#include "index/LocalPaths.h"
#include "index/SymbolMatcher.h"
#include "protocol/answers/SymbolAnswers.h"
#include "server/CountedNoun.h"
#include "server/WorkDoneProgress.h"

#include "FolderWalk.h"

#include <algorithm>
#include <chrono>
#include <unordered_set>

namespace kestrel::lsp {

namespace {

// Passes a round's progress on, and logs how long the round took.
class LoggedProgress final : public IndexProgress {
public:
    LoggedProgress(std::shared_ptr<IndexProgress> shown,
                   std::function<void(const std::string&)> log)
        : shown_(std::move(shown)), log_(std::move(log)) {}
    void Begin() override {
        if (shown_) {
            shown_->Begin();
        }
    }
    void Report(size_t done, size_t total) override {
        if (shown_) {
            shown_->Report(done, total);
        }
    }
    void End(size_t files, size_t symbols) override {
        if (shown_) {
            shown_->End(files, symbols);
        }
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - started_)
                                 .count();
        log_("indexed " + CountedNoun(static_cast<int64_t>(files), "file", "files") + ", " +
             CountedNoun(static_cast<int64_t>(symbols), "symbol", "symbols") + " in " +
             std::to_string(elapsed) + " ms");
    }

private:
    std::shared_ptr<IndexProgress> shown_;
    std::function<void(const std::string&)> log_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

} // namespace

Workspace::Workspace(JsonRpcChannel& channel, SourceTreeWalk walk)
    : channel_(channel), walk_(std::move(walk)) {}

Workspace::~Workspace() {
    // The watch hands changes to the indexer, and the indexer names folders
    // to the watch: stop the watch's thread, then the indexer, then free.
    if (watch_) {
        watch_->Stop();
    }
    indexer_.reset();
    watch_.reset();
}

void Workspace::Initialize(const InitializeParams& params) {
    client_ = params.client;
    // The workspace folders; a client that knows none names its root.
    std::vector<std::string> uris = params.folders;
    // URIs made for files found on disk spell a drive as the client does.
    for (const std::string& uri : uris) {
        LearnDriveSpelling(uri);
    }
    if (params.rootPath) {
        uris.push_back(FileUri(*params.rootPath));
    }
    std::lock_guard lock(foldersMutex_);
    for (const std::string& uri : uris) {
        std::string path = LocalPath(uri);
        if (path.empty()) {
            pendingLog_.push_back("workspace folder " + uri + " is not a local folder");
        } else if (std::find(folders_.begin(), folders_.end(), path) == folders_.end()) {
            folders_.push_back(std::move(path));
        }
    }
}

void Workspace::Start() {
    if (indexer_) {
        return;
    }
    for (const std::string& message : std::exchange(pendingLog_, {})) {
        Log(kWarningMessage, message);
    }
    // The watch exists from the start, so that the indexer's threads never
    // see it come; it watches folders only when the client does not.
    watchFolders_ = !client_.watchesFiles;
    watch_ = std::make_unique<FolderWatch>(
        [this](FolderWatch::Changes changes) {
            if (changes.overflow) {
                indexer_->IndexFolders(Folders(), nullptr);
            }
            ChangedOnDisk(std::move(changes.paths));
        },
        [](std::string_view name) { return HasPascalExtension(name); },
        [this](const std::string& message) { Log(kWarningMessage, message); });
    WorkspaceIndexer::Hooks hooks{
        [this](const std::string& message) { Log(kWarningMessage, message); },
        [this](const std::string& folder) {
            if (watchFolders_) {
                watch_->Watch(folder);
            }
        },
        [this](const std::string& path) { watch_->Unwatch(path); },
    };
    indexer_ =
        std::make_unique<WorkspaceIndexer>(index_, walk_, client_.encoding, std::move(hooks));
    if (client_.watchesFiles) {
        const std::string registration = JsonText([](JsonWriter& w) {
            const auto watcher = [&w](std::string_view glob, int kind) {
                w.StartObject();
                WriteKey(w, "globPattern");
                WriteString(w, glob);
                if (kind != 0) {
                    WriteKey(w, "kind");
                    w.Int(kind);
                }
                w.EndObject();
            };
            w.StartObject();
            WriteKey(w, "registrations");
            w.StartArray();
            w.StartObject();
            WriteKey(w, "id");
            WriteString(w, "kestrel-watched-files");
            WriteKey(w, "method");
            WriteString(w, "workspace/didChangeWatchedFiles");
            WriteKey(w, "registerOptions");
            w.StartObject();
            WriteKey(w, "watchers");
            w.StartArray();
            watcher("**/*.{pas,pp,p,inc,lpr,dpr,dpk,PAS,PP,P,INC,LPR,DPR,DPK}", 0);
            // A folder deleted or renamed takes its sources with it.
            watcher("**/*", 4);
            w.EndArray();
            w.EndObject();
            w.EndObject();
            w.EndArray();
            w.EndObject();
        });
        channel_.Request("client/registerCapability", registration, [this](bool accepted) {
            if (!accepted) {
                // The client will not watch after all: watch ourselves,
                // which needs the folders walked again.
                watchFolders_ = true;
                IndexFolders(Folders());
            }
        });
    }
    IndexFolders(Folders());
}

void Workspace::IndexFolders(std::vector<std::string> folders) {
    if (folders.empty()) {
        return;
    }
    std::shared_ptr<WorkDoneProgress> shown;
    if (client_.workDoneProgress) {
        const std::string token = "kestrel-index-" + std::to_string(++lastProgress_);
        shown = std::make_shared<WorkDoneProgress>(channel_, token, "Indexing Pascal sources");
        channel_.Request("window/workDoneProgress/create", R"({"token":")" + token + R"("})",
                         [shown](bool accepted) { shown->TokenAnswered(accepted); });
    }
    indexer_->IndexFolders(std::move(folders), std::make_shared<LoggedProgress>(
                                                   shown, [this](const std::string& message) {
                                                       Log(kInfoMessage, message);
                                                   }));
}

std::vector<std::string> Workspace::Folders() const {
    std::lock_guard lock(foldersMutex_);
    return folders_;
}

bool Workspace::InWorkspace(const std::string& path) const {
    std::lock_guard lock(foldersMutex_);
    return std::any_of(folders_.begin(), folders_.end(), [&path](const std::string& folder) {
        if (!IsUnder(path, folder)) {
            return false;
        }
        // No folder from the root down may be one that the walk skips.
        std::string_view rest = std::string_view(path).substr(folder.size());
        while (!rest.empty()) {
            rest.remove_prefix(rest.find_first_not_of('/') == std::string_view::npos
                                   ? rest.size()
                                   : rest.find_first_not_of('/'));
            const size_t end = rest.find('/');
            const std::string_view name = rest.substr(0, end);
            const bool last = end == std::string_view::npos;
            if (IsSkippedFolder(name) && !(last && HasPascalExtension(name))) {
                return false;
            }
            rest.remove_prefix(name.size());
        }
        return true;
    });
}

void Workspace::ChangedOnDisk(std::vector<std::string> paths) {
    std::vector<std::string> wanted;
    std::unordered_set<std::string> seen;
    for (std::string& path : paths) {
        if (InWorkspace(path) && seen.insert(path).second) {
            wanted.push_back(std::move(path));
        }
    }
    if (!wanted.empty()) {
        indexer_->Refresh(std::move(wanted));
    }
}

void Workspace::DidChangeWatchedFiles(const DidChangeWatchedFilesParams& params) {
    if (!indexer_) {
        return;
    }
    std::vector<std::string> paths;
    for (const std::string& uri : params.uris) {
        std::string path = LocalPath(uri);
        if (!path.empty()) {
            paths.push_back(std::move(path));
        }
    }
    ChangedOnDisk(std::move(paths));
}

void Workspace::DidChangeWorkspaceFolders(const DidChangeWorkspaceFoldersParams& params) {
    std::vector<std::string> removed;
    std::vector<std::string> added;
    {
        std::lock_guard lock(foldersMutex_);
        for (const std::string& uri : params.removed) {
            const std::string path = LocalPath(uri);
            const auto found = std::find(folders_.begin(), folders_.end(), path);
            if (found != folders_.end()) {
                folders_.erase(found);
                removed.push_back(path);
            }
        }
        for (const std::string& uri : params.added) {
            std::string path = LocalPath(uri);
            if (!path.empty() &&
                std::find(folders_.begin(), folders_.end(), path) == folders_.end()) {
                folders_.push_back(path);
                added.push_back(std::move(path));
            }
        }
    }
    if (!indexer_) {
        return; // not started: Start indexes the folders as they are then
    }
    for (const std::string& folder : removed) {
        // What another folder still holds stays.
        std::vector<std::string> kept;
        for (const std::string& path : index_.Paths()) {
            if (IsUnder(path, folder) && InWorkspace(path)) {
                kept.push_back(path);
            }
        }
        index_.RemoveUnder(folder, kept);
        // Folders inside it that another workspace folder holds are
        // watched again when that folder's walk comes round.
        watch_->Unwatch(folder);
    }
    IndexFolders(std::move(added));
}

void Workspace::DocumentChanged(const std::string& uri) {
    changedDocuments_.insert(uri);
}

void Workspace::DocumentClosed(const std::string& uri) {
    changedDocuments_.erase(uri);
    std::string path = LocalPath(uri);
    if (path.empty()) {
        index_.Remove(uri);
        return;
    }
    index_.ReleaseFromEditor(path);
    if (InWorkspace(path) && indexer_) {
        indexer_->Refresh({std::move(path)}); // the file as it is on disk
    } else {
        index_.Remove(path);
    }
}

std::string Workspace::Symbols(const WorkspaceSymbolParams& params,
                               const DocumentStore& documents) {
    IndexChangedDocuments(documents);
    return WorkspaceSymbolsJson(index_.Query(params.query, kMaxResults));
}

std::vector<SymbolMatch> Workspace::Named(std::string_view name, const DocumentStore& documents,
                                          size_t limit) {
    IndexChangedDocuments(documents);
    return index_.Named(FoldCase(name), limit);
}

void Workspace::IndexChangedDocuments(const DocumentStore& documents) {
    // Open documents are indexed from the editor's text when asked, not at
    // each keystroke.
    for (const std::string& uri : std::exchange(changedDocuments_, {})) {
        if (!documents.IsOpen(uri)) {
            continue;
        }
        std::string error;
        const auto document = documents.Get(uri, error);
        if (!document) {
            continue;
        }
        const std::string path = LocalPath(uri);
        index_.SetFromEditor(path.empty() ? uri : path,
                             IndexDocument(*document, uri, client_.encoding));
    }
}

void Workspace::Log(int type, std::string_view message) {
    channel_.Notify("window/logMessage", MessageParams(type, message));
}

} // namespace kestrel::lsp
