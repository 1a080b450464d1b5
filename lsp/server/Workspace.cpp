#include "server/Workspace.h"

#include "index/LocalPaths.h"
#include "index/SymbolMatcher.h"
#include "server/CountedNoun.h"
#include "server/SymbolAnswers.h"
#include "server/WorkDoneProgress.h"

#include "FolderWalk.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>

#include <algorithm>
#include <unordered_set>

namespace kestrel::lsp {

namespace {

QLatin1StringView Key(const char* key) {
    return QLatin1StringView(key);
}

// window/logMessage types.
constexpr int kWarning = 2;
constexpr int kInfo = 3;

// Passes a round's progress on, and logs how long the round took.
class LoggedProgress final : public IndexProgress {
public:
    LoggedProgress(std::shared_ptr<IndexProgress> shown, std::function<void(const QString&)> log)
        : shown_(std::move(shown)), log_(std::move(log)) {
        timer_.start();
    }
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
        log_(QStringLiteral("indexed %1, %2 in %3 ms")
                 .arg(CountedNoun(static_cast<qint64>(files), "file", "files"),
                      CountedNoun(static_cast<qint64>(symbols), "symbol", "symbols"))
                 .arg(timer_.elapsed()));
    }

private:
    std::shared_ptr<IndexProgress> shown_;
    std::function<void(const QString&)> log_;
    QElapsedTimer timer_;
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

void Workspace::Initialize(const QJsonObject& params, const ClientCapabilities& client) {
    client_ = client;
    // The workspace folders; a client that knows none names its root.
    QStringList uris;
    const QJsonValue folders = params.value(Key("workspaceFolders"));
    if (folders.isArray()) {
        for (const QJsonValue& folder : folders.toArray()) {
            uris.append(folder.toObject().value(Key("uri")).toString());
        }
    } else if (params.value(Key("rootUri")).isString()) {
        uris.append(params.value(Key("rootUri")).toString());
    } else if (params.value(Key("rootPath")).isString()) {
        uris.append(QString::fromStdString(
            FileUri(QFile::encodeName(params.value(Key("rootPath")).toString()).toStdString())));
    }
    std::lock_guard lock(foldersMutex_);
    for (const QString& uri : uris) {
        std::string path = LocalPath(uri);
        if (path.empty()) {
            pendingLog_.append(
                QStringLiteral("workspace folder %1 is not a local folder").arg(uri));
        } else if (std::find(folders_.begin(), folders_.end(), path) == folders_.end()) {
            folders_.push_back(std::move(path));
        }
    }
}

void Workspace::Start() {
    if (indexer_) {
        return;
    }
    for (const QString& message : std::exchange(pendingLog_, {})) {
        Log(kWarning, message);
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
        [this](const std::string& message) { Log(kWarning, QString::fromStdString(message)); });
    WorkspaceIndexer::Hooks hooks{
        [this](const std::string& message) { Log(kWarning, QString::fromStdString(message)); },
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
        const QJsonArray watchers{
            QJsonObject{
                {Key("globPattern"),
                 QStringLiteral("**/*.{pas,pp,p,inc,lpr,dpr,dpk,PAS,PP,P,INC,LPR,DPR,DPK}")}},
            // A folder deleted or renamed takes its sources with it.
            QJsonObject{{Key("globPattern"), QStringLiteral("**/*")}, {Key("kind"), 4}},
        };
        const QJsonObject registration{
            {Key("id"), QStringLiteral("kestrel-watched-files")},
            {Key("method"), QStringLiteral("workspace/didChangeWatchedFiles")},
            {Key("registerOptions"), QJsonObject{{Key("watchers"), watchers}}}};
        channel_.Request(QStringLiteral("client/registerCapability"),
                         {{Key("registrations"), QJsonArray{registration}}}, [this](bool accepted) {
                             if (!accepted) {
                                 // The client will not watch after all: watch
                                 // ourselves, which needs the folders walked again.
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
        const QString token = QStringLiteral("kestrel-index-%1").arg(++lastProgress_);
        shown = std::make_shared<WorkDoneProgress>(channel_, token,
                                                   QStringLiteral("Indexing Pascal sources"));
        channel_.Request(QStringLiteral("window/workDoneProgress/create"), {{Key("token"), token}},
                         [shown](bool accepted) { shown->TokenAnswered(accepted); });
    }
    indexer_->IndexFolders(std::move(folders),
                           std::make_shared<LoggedProgress>(
                               shown, [this](const QString& message) { Log(kInfo, message); }));
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

void Workspace::DidChangeWatchedFiles(const QJsonObject& params) {
    if (!indexer_) {
        return;
    }
    std::vector<std::string> paths;
    for (const QJsonValue& change : params.value(Key("changes")).toArray()) {
        std::string path = LocalPath(change.toObject().value(Key("uri")).toString());
        if (!path.empty()) {
            paths.push_back(std::move(path));
        }
    }
    ChangedOnDisk(std::move(paths));
}

void Workspace::DidChangeWorkspaceFolders(const QJsonObject& params) {
    const QJsonObject event = params.value(Key("event")).toObject();
    std::vector<std::string> removed;
    std::vector<std::string> added;
    {
        std::lock_guard lock(foldersMutex_);
        for (const QJsonValue& folder : event.value(Key("removed")).toArray()) {
            const std::string path = LocalPath(folder.toObject().value(Key("uri")).toString());
            const auto found = std::find(folders_.begin(), folders_.end(), path);
            if (found != folders_.end()) {
                folders_.erase(found);
                removed.push_back(path);
            }
        }
        for (const QJsonValue& folder : event.value(Key("added")).toArray()) {
            std::string path = LocalPath(folder.toObject().value(Key("uri")).toString());
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

void Workspace::DocumentChanged(const QString& uri) {
    changedDocuments_.insert(uri);
}

void Workspace::DocumentClosed(const QString& uri) {
    changedDocuments_.remove(uri);
    std::string path = LocalPath(uri);
    if (path.empty()) {
        index_.Remove(uri.toStdString());
        return;
    }
    index_.ReleaseFromEditor(path);
    if (InWorkspace(path) && indexer_) {
        indexer_->Refresh({std::move(path)}); // the file as it is on disk
    } else {
        index_.Remove(path);
    }
}

QByteArray Workspace::Symbols(const QJsonObject& params, const DocumentStore& documents) {
    const QString query = StringMember(params, Key("query"));
    IndexChangedDocuments(documents);
    const QByteArray utf8 = query.toUtf8();
    const std::vector<SymbolMatch> matches = index_.Query(
        std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())), kMaxResults);
    return WorkspaceSymbolsJson(matches);
}

std::vector<SymbolMatch> Workspace::Named(std::string_view name, const DocumentStore& documents,
                                          size_t limit) {
    IndexChangedDocuments(documents);
    return index_.Named(FoldCase(name), limit);
}

void Workspace::IndexChangedDocuments(const DocumentStore& documents) {
    // Open documents are indexed from the editor's text when asked, not at
    // each keystroke.
    for (const QString& uri : std::exchange(changedDocuments_, {})) {
        if (!documents.IsOpen(uri)) {
            continue;
        }
        QString error;
        const auto document = documents.Get(uri, error);
        if (!document) {
            continue;
        }
        const std::string path = LocalPath(uri);
        index_.SetFromEditor(path.empty() ? uri.toStdString() : path,
                             IndexDocument(*document, uri.toStdString(), client_.encoding));
    }
}

void Workspace::Log(int type, const QString& message) {
    channel_.Notify(QStringLiteral("window/logMessage"),
                    {{Key("type"), type}, {Key("message"), message}});
}

} // namespace kestrel::lsp
