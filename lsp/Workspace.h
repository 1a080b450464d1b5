#pragma once

#include "DocumentStore.h"
#include "FileWatch.h"
#include "WorkDoneProgress.h"
#include "WorkspaceIndex.h"
#include "WorkspaceIndexer.h"

#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kestrel::lsp {

// The project as a whole: the workspace folders, the index of every Pascal
// source in them, and what keeps that index current (the editor's text for
// open documents, the client's or our own file watching for the rest, the
// client's changes of folders). Answers `workspace/symbol`.
class Workspace {
public:
    using Send = std::function<void(const QByteArray& body)>;

    // `send` must be safe to call from any thread.
    Workspace(Send send, SourceTreeWalk walk);
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // What the server offers for the workspace, added to `capabilities`.
    static void AddCapabilities(QJsonObject& capabilities);

    // Takes the folders and the client's capabilities from `initialize`.
    void Initialize(const QJsonObject& params, PositionEncoding encoding);
    // At `initialized`: starts indexing in the background.
    void Start();
    // A response from the client; false when it answers no request of ours.
    bool Answered(const QJsonObject& message);

    void DidChangeWatchedFiles(const QJsonObject& params);
    void DidChangeWorkspaceFolders(const QJsonObject& params);
    // The editor's text of `uri` is new (opened, changed or saved).
    void DocumentChanged(const QString& uri);
    void DocumentClosed(const QString& uri);

    // The answer to `workspace/symbol`, as JSON text: `SymbolInformation[]`.
    QByteArray Symbols(const QJsonObject& params, const DocumentStore& documents);

    // At most this many symbols answer a query.
    static constexpr size_t kMaxResults = 200;

private:
    void Log(int type, const QString& message);
    // Sends a request to the client; `answered` hears whether it succeeded.
    void Request(const QString& method, const QJsonObject& params,
                 std::function<void(bool accepted)> answered);
    void IndexFolders(std::vector<std::string> folders);
    // Hands paths that changed on disk to the indexer, leaving out those
    // outside the folders or in folders the walk skips.
    void ChangedOnDisk(std::vector<std::string> paths);
    bool InWorkspace(const std::string& path) const;
    std::vector<std::string> Folders() const;

    Send send_;
    SourceTreeWalk walk_;
    PositionEncoding encoding_ = PositionEncoding::Utf16;
    bool clientShowsProgress_ = false;
    bool clientWatchesFiles_ = false;

    mutable std::mutex foldersMutex_;
    std::vector<std::string> folders_;

    QStringList pendingLog_; // what Initialize found wrong, logged at Start
    int lastRequest_ = 0;
    QHash<QString, std::function<void(bool)>> awaited_; // our requests by id

    QSet<QString> changedDocuments_; // open documents whose entries are stale
    WorkspaceIndex index_;
    std::unique_ptr<FileWatch> watch_;
    std::atomic<bool> watchFolders_{false}; // whether the watch takes folders
    std::unique_ptr<WorkspaceIndexer> indexer_;
};

// A path for a `file:` URI as the file system names it; empty for any other
// URI.
std::string LocalPath(const QString& uri);

} // namespace kestrel::lsp
