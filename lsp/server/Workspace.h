#pragma once

#include "documents/DocumentStore.h"
#include "index/FolderWatch.h"
#include "index/WorkspaceIndex.h"
#include "index/WorkspaceIndexer.h"
#include "protocol/Params.h"
#include "protocol/Protocol.h"
#include "transport/JsonRpcChannel.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

namespace kestrel::lsp {

// The project as a whole: the workspace folders, the index of every Pascal
// source in them, and what keeps that index current (the editor's text for
// open documents, the client's or our own file watching for the rest, the
// client's changes of folders). Answers `workspace/symbol`.
class Workspace {
public:
    Workspace(JsonRpcChannel& channel, SourceTreeWalk walk);
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // Takes the folders from `initialize`.
    void Initialize(const InitializeParams& params);
    // At `initialized`: starts indexing in the background.
    void Start();
    void DidChangeWatchedFiles(const DidChangeWatchedFilesParams& params);
    void DidChangeWorkspaceFolders(const DidChangeWorkspaceFoldersParams& params);
    // The editor's text of `uri` is new (opened, changed or saved).
    void DocumentChanged(const std::string& uri);
    void DocumentClosed(const std::string& uri);

    // The answer to `workspace/symbol`, as JSON text: `SymbolInformation[]`.
    std::string Symbols(const WorkspaceSymbolParams& params, const DocumentStore& documents);

    // The index entries named `name`, in any case, in path order; open
    // documents' entries as the editor has them.
    std::vector<SymbolMatch> Named(std::string_view name, const DocumentStore& documents,
                                   size_t limit);

    // At most this many symbols answer a query.
    static constexpr size_t kMaxResults = 200;
    // At most this many entries of one name are looked at.
    static constexpr size_t kMaxNamed = 5000;

private:
    void Log(int type, std::string_view message);
    // Indexes the open documents that changed since the last query.
    void IndexChangedDocuments(const DocumentStore& documents);
    void IndexFolders(std::vector<std::string> folders);
    // Hands paths that changed on disk to the indexer, leaving out those
    // outside the folders or in folders the walk skips.
    void ChangedOnDisk(std::vector<std::string> paths);
    bool InWorkspace(const std::string& path) const;
    std::vector<std::string> Folders() const;

    JsonRpcChannel& channel_;
    SourceTreeWalk walk_;
    ClientCapabilities client_;

    mutable std::mutex foldersMutex_;
    std::vector<std::string> folders_;

    std::vector<std::string> pendingLog_; // what Initialize found wrong, logged at Start
    int lastProgress_ = 0;                // numbers the progress tokens

    std::unordered_set<std::string> changedDocuments_; // open documents whose entries are stale
    WorkspaceIndex index_;
    std::unique_ptr<FolderWatch> watch_;
    std::atomic<bool> watchFolders_{false}; // whether the watch takes folders
    std::unique_ptr<WorkspaceIndexer> indexer_;
};

} // namespace kestrel::lsp
