// kestrel-lsp across a whole project: the ranking of workspace-symbol
// answers, the order of progress messages, and the index kept current by
// sessions against real folders that change on disk.
#include "LspSession.h"
#include "index/SourceQueue.h"
#include "index/SymbolMatcher.h"
#include "index/WorkspaceIndex.h"
#include "index/WorkspaceIndexer.h"
#include "server/WorkDoneProgress.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

#include <unistd.h>

using namespace kestrel::lsp;

namespace {

constexpr int kEventuallyMs = 15000;

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(bytes);
}

QByteArray Unit(const QByteArray& name, const QByteArray& routine) {
    return "unit " + name + ";\ninterface\nprocedure " + routine + ";\nimplementation\nprocedure " +
           routine + ";\nbegin\nend;\nend.\n";
}

// A workspace-symbol answer as "name@path:line" lines, paths relative to
// `root`.
QStringList Describe(const QJsonArray& symbols, const QString& root) {
    QStringList out;
    for (const QJsonValue& value : symbols) {
        const QJsonObject symbol = value.toObject();
        const QJsonObject location = symbol.value("location").toObject();
        const QString path = QUrl(location.value("uri").toString()).toLocalFile();
        out.append(QStringLiteral("%1@%2:%3")
                       .arg(symbol.value("name").toString(), QDir(root).relativeFilePath(path))
                       .arg(location.value("range")
                                .toObject()
                                .value("start")
                                .toObject()
                                .value("line")
                                .toInt()));
    }
    return out;
}

class Workspace : public LspSession {
public:
    explicit Workspace(const QString& root) : LspSession(KESTREL_LSP_PATH), root_(root) {}

    QStringList Query(const QString& query) {
        return Describe(Result("workspace/symbol", {{"query", query}}).toArray(), root_);
    }
    // Asks again until the answer is `expected`; the last answer.
    QStringList Eventually(const QString& query, const QStringList& expected) {
        QDeadlineTimer deadline(kEventuallyMs);
        QStringList answer = Query(query);
        while (answer != expected && !deadline.hasExpired()) {
            QThread::msleep(50);
            answer = Query(query);
        }
        return answer;
    }
    bool IndexEnded() {
        return WaitFor([](const QJsonObject& message) {
            return message.value("method") == "$/progress" &&
                   message.value("params").toObject().value("value").toObject().value("kind") ==
                       "end";
        });
    }
    QStringList LogLines() const {
        QStringList lines;
        for (const QJsonObject& message : Received()) {
            if (message.value("method") == "window/logMessage") {
                lines.append(message.value("params").toObject().value("message").toString());
            }
        }
        return lines;
    }

private:
    QString root_;
};

QJsonObject Folders(const QStringList& paths,
                    const QJsonObject& capabilities = {
                        {"window", QJsonObject{{"workDoneProgress", true}}}}) {
    QJsonArray folders;
    for (const QString& path : paths) {
        folders.append(QJsonObject{{"uri", LspSession::FileUri(path)}, {"name", path}});
    }
    return {{"rootUri", QJsonValue::Null},
            {"workspaceFolders", folders},
            {"capabilities", capabilities}};
}

} // namespace

class WorkspaceTest : public QObject {
    Q_OBJECT

private slots:
    void ranking_data();
    void ranking();
    void answersAreCapped();
    void queryAgreesWithFullRanking();
    void namedFollowsChanges();
    void progressOrder_data();
    void progressOrder();
    void diskChanges();
    void openDocuments();
    void workspaceFolders();
    void clientWatchesFiles_data();
    void clientWatchesFiles();
    void badInput();
    void sourceQueue();
    void indexedFileEncodings_data();
    void indexedFileEncodings();
};

void WorkspaceTest::ranking_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected"); // search texts, best first

    QTest::newRow("exact name, then subsequence")
        << "getarea" << QStringList{"GetArea", "TShape.GetArea", "get_area_total"};
    QTest::newRow("exact, path, then word starts by length")
        << "TARGET" << QStringList{"Target", "Target", "TShape.SetTarget", "BigTarget"};
    QTest::newRow("prefix, initials by length, subsequence")
        << "ga"
        << QStringList{"Gather", "GetArea", "TShape.GetArea", "get_area_total", "BigTarget"};
    QTest::newRow("class and name") << "tshape.ga" << QStringList{"TShape.GetArea"};
    QTest::newRow("every bookmark")
        << "bookmark" << QStringList{"bookmark", "bookmark.Check the format"};
    QTest::newRow("a word of a bookmark") << "format" << QStringList{"bookmark.Check the format"};
    QTest::newRow("case folded beyond ASCII") << "ÉMILE" << QStringList{"Émile"};
    QTest::newRow("a character, not its lead byte") << "èmile" << QStringList{};
    QTest::newRow("nothing") << "zz" << QStringList{};
}

void WorkspaceTest::ranking() {
    QFETCH(QString, query);
    QFETCH(QStringList, expected);
    WorkspaceIndex index;
    const std::pair<const char*, const char*> files[] = {
        {"/w/a.pas", "unit Shapes;\ninterface\nprocedure Target;\nfunction GetArea: Double;\n"
                     "implementation\nprocedure TShape.GetArea;\nbegin\nend;\n"
                     "procedure TShape.SetTarget;\nprocedure BigTarget;\n"
                     "procedure get_area_total;\nprocedure Gather;\n{//* Check the format}\n"
                     "{//*}\nprocedure \xC3\x89mile;\nend.\n"},
        {"/w/b.pas", "program B;\nprocedure Target;\nbegin\nend.\n"},
    };
    for (const auto& [path, text] : files) {
        index.SetFromDisk(path, IndexDocument(TextDocument(text), path, PositionEncoding::Utf16));
    }
    QStringList texts;
    const QByteArray utf8 = query.toUtf8();
    for (const SymbolMatch& match : index.Query(utf8.toStdString(), 200)) {
        texts.append(QString::fromStdString(std::string(match.file->Text(match.symbol->text))));
    }
    QCOMPARE(texts, expected);
}

void WorkspaceTest::answersAreCapped() {
    std::string text = "unit Many;\ninterface\n";
    for (int i = 0; i < 300; ++i) {
        text += "procedure P" + std::to_string(i) + ";\n";
    }
    WorkspaceIndex index;
    index.SetFromDisk("/m.pas", IndexDocument(TextDocument(text), "m", PositionEncoding::Utf16));
    const std::vector<SymbolMatch> matches = index.Query("p", 200);
    QCOMPARE(matches.size(), size_t{200});
    // All prefixes: shorter names first, then in file order.
    const auto name = [&matches](size_t i) {
        return matches[i].file->Text(matches[i].symbol->name);
    };
    QCOMPARE(name(0), "P0");
    QCOMPARE(name(10), "P10");
    QCOMPARE(name(199), "P199");
}

// A query passes over most texts without matching them (by their letters,
// the words they begin and the answer's worst entry so far, shared between
// threads). Over an index large enough for several threads, its answers are
// those of matching and ranking every entry.
void WorkspaceTest::queryAgreesWithFullRanking() {
    const char* const pieces[] = {"Str", "To", "Int", "String", "List", "s", "t",   "_",
                                  "2",   "Ab", "é",   "T",      "in",   "x", "Tint"};
    uint32_t seed = 12345;
    const auto next = [&seed](uint32_t below) {
        seed = seed * 1103515245 + 12345;
        return (seed >> 16) % below;
    };
    std::vector<std::pair<std::string, std::shared_ptr<const FileSymbols>>> files;
    WorkspaceIndex index;
    for (int f = 0; f < 120; ++f) {
        std::string text = "unit U" + std::to_string(f) + ";\ninterface\n";
        for (int r = 0; r < 500; ++r) {
            std::string name = next(4) == 0 ? "T" : "";
            for (uint32_t words = 1 + next(5); words > 0; --words) {
                name += pieces[next(std::size(pieces))];
            }
            if (name[0] == '_' || name[0] == '2') {
                name.insert(0, "A");
            }
            text += next(3) == 0 ? "procedure TC" + std::to_string(r % 7) + "." + name + ";\n"
                                 : "procedure " + name + ";\n";
        }
        const std::string path = "/w/u" + std::to_string(1000 + f) + ".pas";
        auto symbols = IndexDocument(TextDocument(text + "implementation\nend.\n"), path,
                                     PositionEncoding::Utf16);
        index.SetFromDisk(path, symbols);
        files.emplace_back(path, std::move(symbols));
    }
    QVERIFY(index.SymbolCount() > 50'000);
    for (const char* query : {"strtoint", "st", "s", "stt", "tint", "tc3.st", "é", "éx", "", "x_2",
                              "ab2", "liststring"}) {
        for (const size_t limit : {size_t{200}, size_t{7}}) {
            std::vector<std::tuple<int, size_t, size_t, size_t>> all; // tier, length, file, entry
            const SymbolQuery matcher(query);
            for (size_t f = 0; f < files.size(); ++f) {
                const FileSymbols& file = *files[f].second;
                for (size_t s = 0; s < file.symbols.size(); ++s) {
                    const SearchKey& key = file.keys[s];
                    const std::string_view folded =
                        std::string_view(file.folded).substr(key.offset, key.length);
                    if (matcher.Matches(folded)) {
                        const auto tier =
                            matcher.Tier(file.Text(file.symbols[s].text), folded, key.nameStart);
                        all.emplace_back(static_cast<int>(tier), key.length - key.nameStart, f, s);
                    }
                }
            }
            std::sort(all.begin(), all.end());
            all.resize(std::min(all.size(), limit));
            const std::vector<SymbolMatch> matches = index.Query(query, limit);
            QCOMPARE(matches.size(), all.size());
            for (size_t i = 0; i < all.size(); ++i) {
                const auto& [tier, length, f, s] = all[i];
                QCOMPARE(matches[i].file, files[f].second);
                QCOMPARE(matches[i].symbol, &files[f].second->symbols[s]);
            }
        }
    }
}

// The entries of a name, found through the names map, as the files change.
void WorkspaceTest::namedFollowsChanges() {
    WorkspaceIndex index;
    const auto set = [&index](const std::string& path, const std::string& routine, bool editor) {
        auto symbols =
            IndexDocument(TextDocument("program P;\nprocedure " + routine + ";\nbegin\nend.\n"),
                          path, PositionEncoding::Utf16);
        editor ? index.SetFromEditor(path, std::move(symbols))
               : index.SetFromDisk(path, std::move(symbols));
    };
    const auto named = [&index](const char* name, size_t limit = 100) {
        QStringList paths;
        for (const SymbolMatch& match : index.Named(name, limit)) {
            paths.append(QString::fromStdString(match.file->uri) + ':' +
                         QString::fromUtf8(match.file->Text(match.symbol->name)));
        }
        return paths.join(' ');
    };
    set("/w/c.pas", "FOO", false);
    set("/w/a.pas", "Foo", false);
    set("/w/sub/b.pas", "foo", false);
    QCOMPARE(named("foo"), "/w/a.pas:Foo /w/c.pas:FOO /w/sub/b.pas:foo");
    QCOMPARE(named("foo", 2), "/w/a.pas:Foo /w/c.pas:FOO");
    QCOMPARE(named("p"), "/w/a.pas:P /w/c.pas:P /w/sub/b.pas:P");
    set("/w/a.pas", "Bar", false);
    QCOMPARE(named("foo"), "/w/c.pas:FOO /w/sub/b.pas:foo");
    QCOMPARE(named("bar"), "/w/a.pas:Bar");
    set("/w/c.pas", "Editor", true);
    set("/w/c.pas", "Disk", false); // the editor's text stays
    QCOMPARE(named("disk"), "");
    QCOMPARE(named("editor"), "/w/c.pas:Editor");
    index.RemoveUnder("/w/sub");
    QCOMPARE(named("foo"), "");
    index.Remove("/w/c.pas");
    QCOMPARE(named("editor"), "");
    QCOMPARE(named("p"), "/w/a.pas:P");
    QCOMPARE(named("fo"), "");

    // Enough files to grow the table, then half of them dropped and
    // replaced: the numbers of dropped files are given out again.
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 1500; ++i) {
            set("/m/" + std::to_string(i), "Shared" + std::to_string(i % 7), false);
        }
        for (int i = 0; i < 1500; i += 2) {
            index.Remove("/m/" + std::to_string(i));
        }
    }
    QCOMPARE(index.Named("shared3", 10'000).size(), size_t{107}); // the odd i of 3 + 14k
    QCOMPARE(index.Named("p", 10'000).size(), size_t{751});
}

void WorkspaceTest::progressOrder_data() {
    QTest::addColumn<QString>("events"); // A/R: token accepted/refused, b, rN/M, e
    QTest::addColumn<QString>("sent");

    QTest::newRow("token first") << "A b r1/2 r2/2 e"
                                 << "begin:0 report:50 report:100 end";
    QTest::newRow("token during the scan") << "b r1/2 A r2/2 e"
                                           << "begin:50 report:100 end";
    QTest::newRow("token after the end") << "b r1/2 r2/2 e A"
                                         << "begin:100 end";
    QTest::newRow("token refused") << "b r1/2 R r2/2 e"
                                   << "";
    QTest::newRow("each percentage once, one answer") << "A b r1/3 r1/3 r2/3 e A"
                                                      << "begin:0 report:33 report:66 end";
}

void WorkspaceTest::progressOrder() {
    QFETCH(QString, events);
    QFETCH(QString, sent);
    QStringList kinds;
    JsonRpcChannel channel([&kinds](std::span<const std::string_view> parts) {
        const std::string body = JoinedBody(parts);
        const QJsonObject message =
            QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
        QCOMPARE(message.value("method").toString(), QString("$/progress"));
        const QJsonObject params = message.value("params").toObject();
        QCOMPARE(params.value("token").toString(), QString("t"));
        const QJsonObject value = params.value("value").toObject();
        QString kind = value.value("kind").toString();
        if (value.contains("percentage")) {
            kind += ':' + QString::number(value.value("percentage").toInt());
        }
        kinds.append(kind);
    });
    WorkDoneProgress progress(channel, "t", "Indexing");
    for (const QString& event : events.split(' ')) {
        if (event == "A" || event == "R") {
            progress.TokenAnswered(event == "A");
        } else if (event == "b") {
            progress.Begin();
        } else if (event == "e") {
            progress.End(1, 2);
        } else {
            const QStringList parts = event.mid(1).split('/');
            progress.Report(parts[0].toUInt(), parts[1].toUInt());
        }
    }
    QCOMPARE(kinds.join(' '), sent);
}

void WorkspaceTest::diskChanges() {
    QTemporaryDir dir;
    const QString root = dir.path();
    WriteFile(root + "/src/alpha.pas", Unit("Alpha", "AlphaOne"));
    WriteFile(root + "/.git/hidden.pas", Unit("Hidden", "HiddenProc"));
    WriteFile(root + "/src/readme.txt", Unit("Text", "TextProc"));
    Workspace session(root);
    session.Initialize(Folders({root}));
    QVERIFY(session.IndexEnded());

    // The progress bar: created, then begin, reports rising, end.
    QStringList order;
    int percentage = -1;
    for (const QJsonObject& message : session.Received()) {
        const QString method = message.value("method").toString();
        if (method == "window/workDoneProgress/create") {
            order.append("create");
        } else if (method == "$/progress") {
            const QJsonObject value = message.value("params").toObject().value("value").toObject();
            const QString kind = value.value("kind").toString();
            if (order.isEmpty() || order.last() != kind) {
                order.append(kind);
            }
            if (value.contains("percentage")) {
                QVERIFY(value.value("percentage").toInt() >= percentage);
                percentage = value.value("percentage").toInt();
            }
        }
    }
    QVERIFY2(order == QStringList({"create", "begin", "end"}) ||
                 order == QStringList({"create", "begin", "report", "end"}),
             qPrintable(order.join(' ')));

    QCOMPARE(session.Query("alphaone"),
             QStringList({"AlphaOne@src/alpha.pas:2", "AlphaOne@src/alpha.pas:4"}));
    QCOMPARE(session.Query("hiddenproc"), QStringList());
    QCOMPARE(session.Query("textproc"), QStringList());

    struct Step {
        const char* what;
        std::function<bool()> act;
        QString query;
        QStringList expected;
    };
    const QString src = root + "/src";
    const Step steps[] = {
        {"file added",
         [&] {
             WriteFile(src + "/gamma.pas", Unit("Gamma", "GammaRay"));
             return true;
         },
         "gammaray",
         {"GammaRay@src/gamma.pas:2", "GammaRay@src/gamma.pas:4"}},
        {"file changed",
         [&] {
             WriteFile(src + "/gamma.pas", Unit("Gamma", "GammaBurst"));
             return true;
         },
         "gamma",
         {"Gamma@src/gamma.pas:0", "GammaBurst@src/gamma.pas:2", "GammaBurst@src/gamma.pas:4"}},
        {"file renamed",
         [&] { return QFile::rename(src + "/gamma.pas", src + "/delta.pas"); },
         "gammaburst",
         {"GammaBurst@src/delta.pas:2", "GammaBurst@src/delta.pas:4"}},
        {"file deleted", [&] { return QFile::remove(src + "/delta.pas"); }, "gammaburst", {}},
        {"folder created",
         [&] {
             WriteFile(src + "/new/n.pas", Unit("N", "NewProc"));
             return true;
         },
         "newproc",
         {"NewProc@src/new/n.pas:2", "NewProc@src/new/n.pas:4"}},
        {"folder renamed",
         [&] { return QDir().rename(src + "/new", src + "/moved"); },
         "newproc",
         {"NewProc@src/moved/n.pas:2", "NewProc@src/moved/n.pas:4"}},
        {"file added in the renamed folder",
         [&] {
             WriteFile(src + "/moved/m.pas", Unit("M", "MovedProc"));
             return true;
         },
         "movedproc",
         {"MovedProc@src/moved/m.pas:2", "MovedProc@src/moved/m.pas:4"}},
        {"folder deleted", [&] { return QDir(src + "/moved").removeRecursively(); }, "proc", {}},
    };
    for (const Step& step : steps) {
        QVERIFY2(step.act(), step.what);
        QCOMPARE(session.Eventually(step.query, step.expected), step.expected);
    }
    QCOMPARE(session.Query("alphaone").size(), 2);
}

void WorkspaceTest::openDocuments() {
    QTemporaryDir dir;
    const QString root = dir.path();
    WriteFile(root + "/a.pas", Unit("A", "DiskName"));
    Workspace session(root);
    session.Initialize(Folders({root}));
    QVERIFY(session.IndexEnded());

    // The editor's text wins over the disk's while the file is open.
    const QString uri = LspSession::FileUri(root + "/a.pas");
    session.Open(uri, Unit("A", "EditorName"));
    QCOMPARE(session.Query("editorname"),
             QStringList({"EditorName@a.pas:2", "EditorName@a.pas:4"}));
    QCOMPARE(session.Query("diskname"), QStringList());
    session.Notify("textDocument/didChange",
                   {{"textDocument", QJsonObject{{"uri", uri}, {"version", 2}}},
                    {"contentChanges",
                     QJsonArray{QJsonObject{{"text", QString::fromLatin1(Unit("A", "Typed"))}}}}});
    WriteFile(root + "/a.pas", Unit("A", "DiskAgain"));
    QCOMPARE(session.Query("typed"), QStringList({"Typed@a.pas:2", "Typed@a.pas:4"}));
    // Closed: the disk's text again.
    session.Notify("textDocument/didClose", {{"textDocument", QJsonObject{{"uri", uri}}}});
    QCOMPARE(session.Eventually("diskagain", {"DiskAgain@a.pas:2", "DiskAgain@a.pas:4"}),
             QStringList({"DiskAgain@a.pas:2", "DiskAgain@a.pas:4"}));
    QCOMPARE(session.Query("typed"), QStringList());

    // A document outside the folders counts while it is open.
    QTemporaryDir other;
    const QString outside = LspSession::FileUri(other.path() + "/o.pas");
    session.Open(outside, QString::fromLatin1(Unit("O", "Outside")));
    QCOMPARE(session.Query("outside").size(), 2);
    session.Notify("textDocument/didClose", {{"textDocument", QJsonObject{{"uri", outside}}}});
    QCOMPARE(session.Query("outside"), QStringList());
}

void WorkspaceTest::workspaceFolders() {
    QTemporaryDir first;
    QTemporaryDir second;
    WriteFile(first.path() + "/one.pas", Unit("One", "FirstProc"));
    WriteFile(second.path() + "/two.pas", Unit("Two", "SecondProc"));
    Workspace session(first.path());
    session.Initialize(Folders({first.path()}));
    QVERIFY(session.IndexEnded());
    QCOMPARE(session.Query("secondproc"), QStringList());

    const QJsonObject folder{{"uri", LspSession::FileUri(second.path())}, {"name", "second"}};
    session.Notify(
        "workspace/didChangeWorkspaceFolders",
        {{"event", QJsonObject{{"added", QJsonArray{folder}}, {"removed", QJsonArray{}}}}});
    QVERIFY(session.IndexEnded());
    QCOMPARE(session.Query("secondproc").size(), 2);
    session.Notify(
        "workspace/didChangeWorkspaceFolders",
        {{"event", QJsonObject{{"added", QJsonArray{}}, {"removed", QJsonArray{folder}}}}});
    QCOMPARE(session.Query("secondproc"), QStringList());
    QCOMPARE(session.Query("firstproc").size(), 2);
}

void WorkspaceTest::clientWatchesFiles_data() {
    QTest::addColumn<bool>("accepted");
    QTest::newRow("the client watches") << true;
    QTest::newRow("the client refuses: the server watches") << false;
}

void WorkspaceTest::clientWatchesFiles() {
    QFETCH(bool, accepted);
    QTemporaryDir dir;
    const QString root = dir.path();
    WriteFile(root + "/w.pas", Unit("W", "Before"));
    Workspace session(root);
    session.AcceptRequests(accepted);
    session.Initialize(Folders(
        {root}, {{"window", QJsonObject{{"workDoneProgress", true}}},
                 {"workspace", QJsonObject{{"didChangeWatchedFiles",
                                            QJsonObject{{"dynamicRegistration", true}}}}}}));
    // Refused, the folders are walked again to be watched: two rounds. One
    // file is "1 file".
    static const QRegularExpression oneFile("^indexed 1 file, [0-9]+ symbols in [0-9]+ ms$");
    for (int round = accepted ? 1 : 2; round > 0; --round) {
        QVERIFY(session.WaitFor([](const QJsonObject& message) {
            return oneFile.match(message["params"]["message"].toString()).hasMatch();
        }));
    }
    QJsonObject registration;
    for (const QJsonObject& message : session.Received()) {
        if (message.value("method") == "client/registerCapability") {
            registration = message.value("params").toObject().value("registrations")[0].toObject();
        }
    }
    QCOMPARE(registration.value("method").toString(), QString("workspace/didChangeWatchedFiles"));
    QVERIFY(registration.value("registerOptions")["watchers"][0]["globPattern"].toString().contains(
        "pas"));

    WriteFile(root + "/w.pas", Unit("W", "After"));
    if (accepted) {
        session.Notify(
            "workspace/didChangeWatchedFiles",
            {{"changes", QJsonArray{QJsonObject{{"uri", LspSession::FileUri(root + "/w.pas")},
                                                {"type", 2}}}}});
    }
    QCOMPARE(session.Eventually("after", {"After@w.pas:2", "After@w.pas:4"}),
             QStringList({"After@w.pas:2", "After@w.pas:4"}));
}

void WorkspaceTest::badInput() {
    static const char kBinary[] = "unit Bin;\0\x01\x02procedure BinProc;\n";
    QTemporaryDir dir;
    const QString root = dir.path();
    WriteFile(root + "/good.pas", Unit("Good", "GoodProc"));
    WriteFile(root + "/binary.pas", QByteArray::fromRawData(kBinary, sizeof kBinary - 1));
    WriteFile(root + "/locked.pas", Unit("Locked", "LockedProc"));
    QFile::setPermissions(root + "/locked.pas", QFileDevice::Permissions());
    WriteFile(root + "/afile.pas", Unit("F", "FileProc"));
    Workspace session(root);
    session.Initialize(Folders({root + "/missing", root + "/afile.pas", root}));
    QVERIFY(session.IndexEnded());
    QCOMPARE(session.Query("goodproc").size(), 2);
    QCOMPARE(session.Query("binproc"), QStringList());

    const QString log = session.LogLines().join('\n');
    QVERIFY2(log.contains(root + "/missing: No such file or directory"), qPrintable(log));
    QVERIFY2(log.contains(root + "/afile.pas: not a folder"), qPrintable(log));
    QVERIFY2(log.contains(root + "/binary.pas: binary file"), qPrintable(log));
    if (::geteuid() != 0) { // root reads any file
        QVERIFY2(log.contains(root + "/locked.pas"), qPrintable(log));
        QCOMPARE(session.Query("lockedproc"), QStringList());
    }
}

// A thread that takes from the queue waits for what the walk adds, and
// ends once the queue is closed and empty.
void WorkspaceTest::sourceQueue() {
    SourceQueue queue;
    QStringList taken;
    std::thread taker([&] {
        std::string path;
        while (queue.Take(path)) {
            taken << QString::fromStdString(path);
        }
    });
    queue.Add("/a.pas");
    QThread::msleep(20); // the taker waits on an empty queue meanwhile
    queue.Add("/b.pas");
    QVERIFY(!queue.Closed());
    queue.Close();
    taker.join();
    QCOMPARE(taken, QStringList({"/a.pas", "/b.pas"}));
    QCOMPARE(queue.Total(), size_t{2});
    QCOMPARE(queue.TakeAll(), std::vector<std::string>({"/a.pas", "/b.pas"}));
    std::string path;
    QVERIFY(!queue.Take(path));
}

// A source on disk is indexed as its decoded text, whatever its encoding;
// each is read twice, as a thread of the indexer reads file after file.
void WorkspaceTest::indexedFileEncodings_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("UTF-8") << QByteArray("procedure Caf\xC3\xA9;\nbegin\nend;\n");
    QTest::newRow("UTF-8 with a mark") << QByteArray("\xEF\xBB\xBFprocedure Caf\xC3\xA9;\n");
    QTest::newRow("Windows-1252") << QByteArray("procedure Caf\xE9;\nbegin\nend;\n");
}

void WorkspaceTest::indexedFileEncodings() {
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath("cafe.pas");
    WriteFile(path, bytes);
    for (int round = 0; round < 2; ++round) {
        std::string error;
        const auto file = IndexSourceFile(path.toStdString(), PositionEncoding::Utf16, error);
        QVERIFY2(file && !file->symbols.empty(), error.c_str());
        const IndexedSymbol& symbol = file->symbols.front();
        QCOMPARE(file->Text(symbol.name), std::string_view("Caf\xC3\xA9"));
        QCOMPARE(symbol.from, 10);
        QCOMPARE(symbol.to, 14);
    }
}

QTEST_GUILESS_MAIN(WorkspaceTest)
#include "tst_workspace.moc"
