// kestrel-list as a user runs it: options, exit codes, JSON and the table.
#include "ListerOptions.h"
#include "TestFiles.h"

#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace kestrel;
using testing::ReadFile;
using testing::WriteFile;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the lister in `workingDirectory`, with `input` on its standard input
// and its standard output in `outputFile` when one is named.
Run List(const QStringList& args, const QString& workingDirectory = {},
         const QByteArray& input = {}, const QString& outputFile = {}) {
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    if (!outputFile.isEmpty()) {
        process.setStandardOutputFile(outputFile);
    }
    process.start(KESTREL_LIST_PATH, args);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(120000);
    Run run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QList<QJsonObject> JsonLines(const QByteArray& out) {
    QList<QJsonObject> objects;
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject()) {
            qWarning() << "not a JSON object:" << line.left(200);
            return {};
        }
        objects << doc.object();
    }
    return objects;
}

// Where two outputs first differ, line by line; empty when they are equal.
QString FirstDifference(const QByteArray& got, const QByteArray& expected) {
    const QList<QByteArray> a = got.split('\n');
    const QList<QByteArray> b = expected.split('\n');
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const QByteArray x = i < a.size() ? a[i] : QByteArray("(no line)");
        const QByteArray y = i < b.size() ? b[i] : QByteArray("(no line)");
        if (x != y) {
            return QString("line %1:\n   got: %2\n  want: %3")
                .arg(i + 1)
                .arg(QString::fromUtf8(x), QString::fromUtf8(y));
        }
    }
    return {};
}

// The files of JSON rows, in the order they first appear.
QStringList FilesOf(const QByteArray& out) {
    QStringList files;
    for (const QJsonObject& row : JsonLines(out)) {
        const QString file = row["file"].toString();
        if (files.isEmpty() || files.last() != file) {
            files << file;
        }
    }
    return files;
}

// A tree of small units, each giving one row, and a few things that the
// walk must pass over.
void MakeTree(const QString& root) {
    for (const char* name :
         {"b.pas", "a.pas", "a/z.inc", "a/Y.PP", "B.dpr", "c.p", "c.lpr", "c.dpk", ".h.pas",
          ".hidden/h.pas", ".git/g.pas", "CVS/c.pas", "notes.txt", "a.pas.bak"}) {
        const QString path = root + "/" + name;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("unit X;\n");
    }
    QVERIFY(QFile::link(root + "/a", root + "/link"));
    QVERIFY(QFile::link(root + "/a.pas", root + "/l.pas"));
    QVERIFY(QFile::link(root + "/missing.pas", root + "/d.pas"));
}

const QString kSample = QStringLiteral(KESTREL_SAMPLES_DIR "/Unit1.pas");
const QString kGolden = QStringLiteral(KESTREL_GOLDEN_DIR);

} // namespace

class ListerTest : public QObject {
    Q_OBJECT

private slots:
    void parsesOptions_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("json");
        QTest::addColumn<QString>("shown");
        QTest::newRow("file") << QStringList{"a.pas"} << true << false << "1111";
        QTest::newRow("json") << QStringList{"--json", "a.pas"} << true << true << "1111";
        QTest::newRow("show PB") << QStringList{"--show=PB", "a.pas"} << true << false << "0101";
        QTest::newRow("show lower case")
            << QStringList{"--show=df", "a"} << true << false << "1010";
        QTest::newRow("show none") << QStringList{"--show=", "a"} << true << false << "0000";
        QTest::newRow("bad letter") << QStringList{"--show=X", "a"} << false << false << "";
        QTest::newRow("unknown option") << QStringList{"--fast", "a"} << false << false << "";
        QTest::newRow("no file") << QStringList{"--json"} << false << false << "";
        QTest::newRow("format json") << QStringList{"--format=json", "a"} << true << true << "1111";
        QTest::newRow("format ctags")
            << QStringList{"--format=ctags", "a"} << true << false << "1111";
        QTest::newRow("unknown format") << QStringList{"--format=xml", "a"} << false << false << "";
        QTest::newRow("-o without a file") << QStringList{"a", "-o"} << false << false << "";
        QTest::newRow("dash file after --")
            << QStringList{"--", "--json"} << true << false << "1111";
    }

    void parsesOptions() {
        QFETCH(QStringList, args);
        std::vector<std::string> argv;
        for (const QString& a : args) {
            argv.push_back(a.toStdString());
        }
        ListerOptions options;
        std::string error;
        const bool ok = ParseListerOptions(argv, options, error);
        QTEST(ok, "ok");
        QCOMPARE(error.empty(), ok);
        if (ok) {
            QTEST(options.format == OutputFormat::Json, "json");
            QString shown;
            for (bool s : options.show) {
                shown += s ? '1' : '0';
            }
            QTEST(shown, "shown");
        }
    }

    void listsTheSampleAsJson() {
        const Run run = List({"--json", kSample});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.err.isEmpty());
        const auto rows = JsonLines(run.out);
        QStringList summary;
        for (const QJsonObject& o : rows) {
            QVERIFY(!o.contains("file"));
            QCOMPARE(o["caption"].toString(), QString::asprintf("%05d", o["line"].toInt()));
            summary << QString("%1 %2 %3.%4")
                           .arg(o["line"].toInt())
                           .arg(o["category"].toString(), o["class"].toString(),
                                o["name"].toString());
        }
        QCOMPARE(summary, QStringList({
                              "1 header unit.Unit1",
                              "15 declaration .GetArea: Double; virtual",
                              "18 declaration .Describe",
                              "19 declaration .Scaled",
                              "26 declaration .GetArea: Double; override",
                              "28 declaration .Grow",
                              "31 declaration .RegisterShapes",
                              "32 declaration .ShapeCount: Integer",
                              "34 header implementation.",
                              "44 function TShape.GetArea: Double",
                              "49 procedure TShape.Describe",
                              "51 bookmark .bookmark",
                              "54 function TShape.Scaled",
                              "59 function TCircle.GetArea: Double",
                              "64 procedure TCircle.Grow",
                              "69 procedure .RegisterShapes",
                              "71 bookmark .bookmark",
                              "75 function .ShapeCount: Integer",
                          }));
        QCOMPARE(rows[11]["details"].toString(),
                 QString("({//*}  Lines.Add(Format('%s: %.2f', [FName, GetArea]));  "
                         "check the format"));
    }

    void showFiltersCategories() {
        const Run run = List({"--json", "--show=B", kSample});
        QCOMPARE(run.exitCode, 0);
        QStringList categories;
        for (const QJsonObject& o : JsonLines(run.out)) {
            categories << o["category"].toString();
        }
        QCOMPARE(categories, QStringList({"header", "header", "bookmark", "bookmark"}));
    }

    // --all adds the sample's two constructor headings and changes no other
    // row.
    void allAddsTheExtendedRows() {
        QList<QJsonObject> rows = JsonLines(List({"--json", kSample}).out);
        const QList<QJsonObject> all = JsonLines(List({"--json", "--all", kSample}).out);
        QCOMPARE(all.size(), rows.size() + 2);
        QList<QJsonObject> added;
        for (const QJsonObject& row : all) {
            if (!rows.removeOne(row)) {
                added << row;
            }
        }
        QVERIFY(rows.isEmpty());
        QCOMPARE(added.size(), 2);
        QCOMPARE(added[0]["line"].toInt(), 17);
        QCOMPARE(added[0]["category"].toString(), "declaration");
        QCOMPARE(added[1]["line"].toInt(), 39);
        QCOMPARE(added[1]["category"].toString(), "procedure");
        QCOMPARE(added[1]["class"].toString(), "TShape");
        QCOMPARE(added[1]["name"].toString(), "Create");
    }

    void tableIsAligned() {
        const Run run = List({kSample});
        QCOMPARE(run.exitCode, 0);
        const QList<QByteArray> lines = run.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 19);
        QVERIFY(lines[0].startsWith("Line   Category     Name"));
        const int nameColumn = lines[0].indexOf("Name");
        QCOMPARE(lines[1].indexOf("Unit1"), nameColumn);
        QVERIFY(lines[2].startsWith("00015  declaration  GetArea: Double"));
    }

    void badInput_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("stderrHas");
        QTest::newRow("bad option") << QStringList{"--nope", kSample} << 2 << "Usage:";
        QTest::newRow("no file") << QStringList{} << 2 << "Usage:";
        QTest::newRow("missing file")
            << QStringList{"/nonexistent/x.pas"} << 1 << "/nonexistent/x.pas";
        QTest::newRow("directory") << QStringList{"/tmp"} << 1 << "/tmp: Is a directory";
    }

    void badInput() {
        QFETCH(QStringList, args);
        const Run run = List(args);
        QTEST(run.exitCode, "exitCode");
        QFETCH(QString, stderrHas);
        QVERIFY2(QString::fromUtf8(run.err).contains(stderrHas), run.err.constData());
        QVERIFY2(run.err.endsWith('\n'), run.err.constData());
    }

    void helpGoesToStdout() {
        const Run run = List({"--help"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.startsWith("Usage: kestrel-list"));
    }

    void severalFilesCarryTheirName() {
        QTemporaryDir dir;
        const QString a = WriteFile(dir, "a.pas", "unit A;\n");
        const QString b = WriteFile(dir, "b.pas", "library B;\n");
        const Run run = List({"--json", a, dir.filePath("missing.pas"), b});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains("missing.pas"));
        const auto rows = JsonLines(run.out);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0]["file"].toString(), a);
        QCOMPARE(rows[1]["file"].toString(), b);
        QCOMPARE(rows[1]["class"].toString(), QString("library"));
    }

    void decodesByTheFileEncoding() {
        QTemporaryDir dir;
        const QString latin = WriteFile(dir, "l.pas", "unit Caf\xE9;\r\n");
        const QString utf8 = WriteFile(dir, "u.pas", "\xEF\xBB\xBFunit Caf\xC3\xA9;\n");
        for (const QString& path : {latin, utf8}) {
            const auto rows = JsonLines(List({"--json", path}).out);
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows[0]["name"].toString(), QString::fromUtf8("Caf\xC3\xA9"));
        }
    }

    void arbitraryBytesAreSafe_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("rows");
        QByteArray binary;
        for (int i = 0; i < 70000; ++i) {
            binary.append(char((i * 7919) & 0xFF));
        }
        QTest::newRow("binary") << binary << -1;
        QTest::newRow("NUL bytes") << QByteArray("unit \0X;\nprocedure\0;\n", 22) << 1;
        QTest::newRow("control characters in details")
            << QByteArray("unit A\x01(\"\\\t\x1F);\n") << 1;
        QTest::newRow("50 MB without a line break") << QByteArray(50 << 20, 'p') << 0;
        QByteArray many;
        for (int i = 0; i < 120000; ++i) {
            many += "procedure P;\n";
        }
        QTest::newRow("120000 lines") << many << 120000;
        // Files about the sizes from which a file is mapped rather than read
        // (64 KiB alone, 256 KiB on several threads).
        for (const int lines : {4096, 16383, 16384}) {
            QTest::addRow("%d bytes", lines * 16)
                << QByteArray("procedure Pxyz;\n").repeated(lines) << lines;
        }
    }

    void arbitraryBytesAreSafe() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, rows);
        QTemporaryDir dir;
        const QString path = WriteFile(dir, "x.pas", bytes);
        for (const char* jobs : {"-j1", "-j2"}) {
            const Run run = List({"--json", jobs, path});
            QCOMPARE(run.exitCode, 0);
            const auto objects = JsonLines(run.out);
            QCOMPARE(objects.size() == 0, run.out.isEmpty());
            if (rows >= 0) {
                QCOMPARE(objects.size(), rows);
            }
            if (rows == 120000) {
                QCOMPARE(objects.last()["caption"].toString(), QString("120000"));
            }
        }
        QCOMPARE(List({path}).exitCode, 0);
    }

    void walksFoldersInPathOrder() {
        QTemporaryDir dir;
        MakeTree(dir.path());
        const Run run = List({"-R", "--json", dir.path()});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.isEmpty(), run.err.constData());
        QStringList expected;
        for (const char* name : {".h.pas", "B.dpr", "a.pas", "a/Y.PP", "a/z.inc", "b.pas", "c.dpk",
                                 "c.lpr", "c.p", "l.pas"}) {
            expected << dir.path() + "/" + name;
        }
        QCOMPARE(FilesOf(run.out), expected);
        QCOMPARE(JsonLines(run.out).size(), expected.size());
        // The same bytes whatever the number of jobs, for tables too.
        const QByteArray table = List({"-R", "-j1", dir.path()}).out;
        QVERIFY(table.contains("==> " + dir.path().toUtf8() + "/c.p <==\nLine"));
        for (const QString jobs : {"1", "2", "5"}) {
            QCOMPARE(List({"-R", "--json", "-j", jobs, dir.path()}).out, run.out);
            QCOMPARE(List({"--recursive", "--jobs=" + jobs, dir.path()}).out, table);
        }
        // A name's control characters reach the terminal escaped in its heading.
        WriteFile(dir, "e\x1b[2J\n.pas", "unit E;\n");
        QVERIFY(List({"-R", dir.path()})
                    .out.contains("==> " + dir.path().toUtf8() + "/e\\x1b[2J\\n.pas <==\nLine"));
    }

    // Each folder is opened through the one above it, so paths longer than
    // the system takes whole (4,095 bytes) are walked too.
    void walksTreesDeeperThanTheLongestPath() {
        QTemporaryDir dir;
        const std::string name(100, 'd');
        std::vector<int> folders{::open(QFile::encodeName(dir.path()).constData(), O_DIRECTORY)};
        for (int depth = 0; depth < 45; ++depth) {
            QCOMPARE(::mkdirat(folders.back(), name.c_str(), 0700), 0);
            folders.push_back(::openat(folders.back(), name.c_str(), O_DIRECTORY));
            QVERIFY(folders.back() >= 0);
        }
        const int file = ::openat(folders.back(), "u.pas", O_WRONLY | O_CREAT, 0600);
        QCOMPARE(::write(file, "unit D;\n", 8), 8);
        ::close(file);
        const Run run = List({"-R", "--json", dir.path()});
        // The tree is taken down the same way: by its full paths it cannot be.
        ::unlinkat(folders.back(), "u.pas", 0);
        for (size_t i = folders.size() - 1; i > 0; --i) {
            ::close(folders[i]);
            ::unlinkat(folders[i - 1], name.c_str(), AT_REMOVEDIR);
        }
        ::close(folders[0]);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.isEmpty(), run.err.constData());
        const auto rows = JsonLines(run.out);
        QCOMPARE(rows.size(), 1);
        QVERIFY(rows[0]["file"].toString().size() > 4500);
    }

    // A walk holds the folders it is in open, but not so many that a deep
    // tree uses up a process's descriptors: with 64 of them, a tree 150
    // folders deep is listed whole.
    void walksDeepTreesWithFewDescriptors() {
        QTemporaryDir dir;
        QString folder = dir.path();
        for (int depth = 0; depth < 150; ++depth) {
            folder += "/d";
            QVERIFY(QDir().mkdir(folder));
            QFile unit(folder + QString("/u%1.pas").arg(depth));
            QVERIFY(unit.open(QIODevice::WriteOnly));
            unit.write("unit U;\n");
        }
        QProcess process;
        process.setChildProcessModifier([] {
            const rlimit few{64, 64};
            ::setrlimit(RLIMIT_NOFILE, &few);
        });
        process.start(KESTREL_LIST_PATH, {"-R", "--json", "-j2", dir.path()});
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray err = process.readAllStandardError();
        QVERIFY2(err.isEmpty(), err.constData());
        QCOMPARE(JsonLines(process.readAllStandardOutput()).size(), 150);
    }

    void listsPathsFromAList() {
        QTemporaryDir dir;
        MakeTree(dir.path());
        const QString root = dir.path() + "/";
        const QByteArray list =
            (root + "b.pas\n\n" + root + "a\n" + root + "missing.pas\n" + root + "c.p").toUtf8();
        const QString listFile = WriteFile(dir, "list.txt", list);
        const QStringList expected{root + "b.pas", root + "a/Y.PP", root + "a/z.inc", root + "c.p"};
        for (const Run& run : {List({"--json", "-R", "--files-from=" + listFile}),
                               List({"--json", "-R", "--files-from=-"}, {}, list)}) {
            QCOMPARE(run.exitCode, 1);
            QCOMPARE(FilesOf(run.out), expected);
            QCOMPARE(run.err, "kestrel-list: " + (root + "missing.pas").toUtf8() +
                                  ": No such file or directory\n");
        }
        // Without -R, a folder is an error for that path alone.
        const Run plain = List({"--json", "--files-from=" + listFile});
        QCOMPARE(FilesOf(plain.out), QStringList({root + "b.pas", root + "c.p"}));
        QVERIFY(plain.err.contains(root.toUtf8() + "a: Is a directory (use -R"));
    }

    // -o never empties a file that is also read: one named as an input
    // (by another name, through a hard link, as standard input or as the
    // list of inputs) is refused with nothing written; the output file met
    // in a folder walk is passed over.
    void outputNeverEmptiesAnInput() {
        QTemporaryDir dir;
        const QByteArray unit = "unit U;\ninterface\nprocedure P;\nimplementation\nend.\n";
        const QString path = WriteFile(dir, "u.pas", unit);
        WriteFile(dir, "list.txt", "u.pas\n");
        QVERIFY(QFile::link(path, dir.filePath("soft.pas")));
        QVERIFY(::link(QFile::encodeName(path), QFile::encodeName(dir.filePath("hard.pas"))) == 0);
        struct Case {
            QStringList args;
            QString output;
        };
        const QList<Case> refused = {
            {{"-o", "u.pas", "u.pas"}, "u.pas"},
            {{"-o", "./u.pas", "l.pas", "u.pas"}, "./u.pas"},
            {{"-o", "hard.pas", "soft.pas"}, "hard.pas"},
            {{"-o", "u.pas", "-"}, "u.pas"},
            {{"-o", "list.txt", "--files-from=list.txt"}, "list.txt"},
        };
        for (const Case& c : refused) {
            QProcess process;
            process.setWorkingDirectory(dir.path());
            process.setStandardInputFile(path);
            process.start(KESTREL_LIST_PATH, c.args);
            QVERIFY(process.waitForFinished(60000));
            QCOMPARE(process.exitCode(), 2);
            QCOMPARE(process.readAllStandardError(), "kestrel-list: " + c.output.toUtf8() +
                                                         ": is also an input; not overwritten\n");
            QCOMPARE(ReadFile(path), unit);
            QCOMPARE(ReadFile(dir.filePath("list.txt")), QByteArray("u.pas\n"));
        }
        const Run walk = List({"-R", "-o", "out.pas", "."}, dir.path());
        QCOMPARE(walk.exitCode, 0);
        QCOMPARE(walk.err, "kestrel-list: ./out.pas: is the output file; not listed\n");
        const QByteArray listing = ReadFile(dir.filePath("out.pas"));
        QVERIFY(listing.contains("==> ./u.pas <==\n") && !listing.contains("out.pas"));
    }

    // A list is input like any other: whatever it holds, each line is a name
    // or an error that names the line, and a list that cannot be read is an
    // error, never an empty list.
    void takesOnlyWhatAListLineSays() {
        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path()) + "/";
        WriteFile(dir, "plain.pas", "unit P;\n");
        const QByteArray plain = root + "plain.pas";
        const QByteArray longest(4095, 'x');
        struct Case {
            const char* name;
            QByteArray list;   // the list's bytes, given on standard input
            QString listPath;  // or this list instead
            QString stdinFile; // or standard input from this file
            int exitCode;
            int rows;
            QByteArray err;
        };
        const Case cases[] = {
            {"CR LF lines", plain + "\r\n\r\n" + plain + "\r\n", {}, {}, 0, 2, ""},
            {"a NUL in a line",
             QByteArray("a\0b\n", 4) + plain + "\n",
             {},
             {},
             1,
             1,
             "kestrel-list: -, line 1: a name cannot hold a NUL byte\n"},
            {"longest path",
             longest + "\n" + plain,
             {},
             {},
             1,
             1,
             "kestrel-list: " + longest + ": File name too long\n"},
            {"a line past the longest path",
             longest + "y\r\n\n" + plain,
             {},
             {},
             1,
             1,
             "kestrel-list: -, line 1: longer than the longest path (4095 bytes)\n"},
            {"a far longer line",
             QByteArray(300000, 'z') + "\n" + plain,
             {},
             {},
             1,
             1,
             "kestrel-list: -, line 1: longer than the longest path (4095 bytes)\n"},
            {"control characters in a name",
             root + "\x1b[2Jmissing\t.pas\r\r\n",
             {},
             {},
             1,
             0,
             "kestrel-list: " + root + "\\x1b[2Jmissing\\t.pas\\r: No such file or directory\n"},
            {"a folder as the list",
             {},
             dir.path(),
             {},
             1,
             0,
             "kestrel-list: " + root.chopped(1) + ": Is a directory\n"},
            {"a folder on standard input",
             {},
             {},
             dir.path(),
             1,
             0,
             "kestrel-list: -: Is a directory\n"},
        };
        for (const Case& c : cases) {
            QProcess process;
            if (!c.stdinFile.isEmpty()) {
                process.setStandardInputFile(c.stdinFile);
            }
            process.start(KESTREL_LIST_PATH,
                          {"--json", "--files-from=" + (c.listPath.isEmpty() ? "-" : c.listPath)});
            if (c.stdinFile.isEmpty()) {
                process.write(c.list);
                process.closeWriteChannel();
            }
            QVERIFY(process.waitForFinished(60000));
            const QByteArray out = process.readAllStandardOutput();
            QVERIFY2(process.exitStatus() == QProcess::NormalExit, c.name);
            QVERIFY2(process.exitCode() == c.exitCode, c.name);
            QVERIFY2(JsonLines(out).size() == c.rows, c.name);
            QCOMPARE(process.readAllStandardError(), c.err);
        }
    }

    // An endless line (a device given as the list) is reported at once and
    // read on in a few pages of memory.
    void readsAnEndlessListInLittleMemory() {
        QProcess process;
        process.start(KESTREL_LIST_PATH, {"-j2", "--files-from=/dev/zero"});
        QVERIFY(process.waitForStarted());
        const auto stop = qScopeGuard([&] {
            process.kill();
            process.waitForFinished();
        });
        process.setReadChannel(QProcess::StandardError);
        QVERIFY2(process.waitForReadyRead(20000), "no message about the endless line");
        QTest::qWait(1000);
        QCOMPARE(process.readAllStandardError(),
                 "kestrel-list: /dev/zero, line 1: longer than the longest path (4095 bytes)\n");
        QFile status(QString("/proc/%1/status").arg(process.processId()));
        QVERIFY(status.open(QIODevice::ReadOnly));
        const QByteArray text = status.readAll();
        const qsizetype at = text.indexOf("VmRSS:");
        QVERIFY(at >= 0);
        const long kilobytes =
            text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().split(' ')[0].toLong();
        QVERIFY2(kilobytes > 0 && kilobytes < 100 * 1024, qPrintable(QString::number(kilobytes)));
    }

    // A closed pipe ends the lister at once by SIGPIPE, with nothing on
    // standard error, whether the parent left the signal at its default,
    // ignored it or blocked it. Where memory runs out, the lister says so and
    // exits 1, as it does for a full disk.
    void endsQuietlyOnAClosedPipeAndSaysWhenMemoryRunsOut() {
        enum class Parent { Default, Ignores, Blocks };
        for (const Parent parent : {Parent::Default, Parent::Ignores, Parent::Blocks}) {
            int ends[2];
            QCOMPARE(::pipe(ends), 0);
            ::close(ends[0]);
            QProcess closed;
            closed.setChildProcessModifier([&] {
                std::signal(SIGPIPE, parent == Parent::Ignores ? SIG_IGN : SIG_DFL);
                if (parent == Parent::Blocks) {
                    sigset_t set;
                    sigemptyset(&set);
                    sigaddset(&set, SIGPIPE);
                    sigprocmask(SIG_BLOCK, &set, nullptr);
                }
                ::dup2(ends[1], STDOUT_FILENO);
            });
            closed.start(KESTREL_LIST_PATH, {"-R", "--json", KESTREL_SAMPLES_DIR});
            QVERIFY(closed.waitForFinished(60000));
            ::close(ends[1]);
            QCOMPARE(closed.exitStatus(), QProcess::CrashExit);
            QCOMPARE(closed.exitCode(), SIGPIPE);
            QCOMPARE(closed.readAllStandardError(), QByteArray());
        }

#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the address sanitizer needs more address space than the limit leaves");
#else
        // A table holds every row of its file: 2.5 million of them pass
        // 300 MB of address space.
        QTemporaryDir dir;
        const QString big =
            WriteFile(dir, "big.pas", QByteArray("procedure P;\n").repeated(2500000));
        QVERIFY(!big.isEmpty());
        QProcess limited;
        limited.setChildProcessModifier([] {
            const rlimit limit{300 << 20, 300 << 20};
            ::setrlimit(RLIMIT_AS, &limit);
        });
        limited.start(KESTREL_LIST_PATH, {"-j1", big, kSample});
        QVERIFY(limited.waitForFinished(60000));
        QCOMPARE(limited.exitStatus(), QProcess::NormalExit);
        QCOMPARE(limited.exitCode(), 1);
        QCOMPARE(limited.readAllStandardError(), QByteArray("kestrel-list: out of memory\n"));
#endif
    }

    // The rows go out in large blocks, yet a message about a file still
    // stands between the rows of the files before and after it where both
    // streams go to one file.
    void messagesKeepTheirPlaceAmongTheRows() {
        QTemporaryDir dir;
        QStringList args{"--json", "-j2"};
        for (int i = 0; i < 40; ++i) {
            args << (i == 20
                         ? dir.filePath("missing.pas")
                         : WriteFile(dir, QString("u%1.pas").arg(i), "unit U;\nprocedure P;\n"));
        }
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(KESTREL_LIST_PATH, args);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
        QCOMPARE(lines.size(), 2 * 39 + 2);
        QVERIFY2(lines[40].startsWith("kestrel-list: ") && lines[40].contains("missing.pas"),
                 lines[40].constData());
    }

    void refusesFilesWithoutEnd() {
        const Run run = List({"--json", "/dev/zero", kSample});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, QByteArray("kestrel-list: /dev/zero: not a regular file\n"));
        QCOMPARE(JsonLines(run.out).size(), 18);

        QProcess process;
        process.setStandardInputFile("/dev/zero");
        process.start(KESTREL_LIST_PATH, {"-"});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(process.readAllStandardError().contains("-: not a regular file"));
    }

    void readsAFifoOnce() {
        QTemporaryDir dir;
        const QByteArray fifo = QFile::encodeName(dir.filePath("unit.pas"));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        for (int run = 0; run < 3; ++run) {
            std::thread writer([&] {
                QFile file(fifo);
                if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
                    file.write("unit F;\nprocedure P;\n");
                }
            });
            const Run listed = List({"--json", QString::fromUtf8(fifo)});
            writer.join();
            QCOMPARE(listed.exitCode, 0);
            QCOMPARE(JsonLines(listed.out).size(), 2);
        }
    }

    void failsWhenTheOutputCannotBeWritten_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("a few rows") << QStringList{"--json", kSample};
        QTest::newRow("many rows, several jobs")
            << QStringList{"--json", "-j2", kSample, kSample, kSample, kSample, kSample};
        QTest::newRow("table") << QStringList{kSample};
    }

    void failsWhenTheOutputCannotBeWritten() {
        QFETCH(QStringList, args);
        const Run run = List(args, {}, {}, "/dev/full");
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("kestrel-list: cannot write the output: No space left on device"),
                 run.err.constData());
    }

    void namesThatAreNotUtf8ComeBackAsBytes() {
        QTemporaryDir dir;
        const QByteArray name = QFile::encodeName(dir.path()) + "/caf\xE9.pas";
        {
            const int fd = ::open(name.constData(), O_WRONLY | O_CREAT, 0600);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, "unit U;\n", 8), 8);
            ::close(fd);
        }
        const Run run =
            List({"--json", "--files-from=-"}, {}, name + "\n" + kSample.toUtf8() + "\n");
        QCOMPARE(run.exitCode, 0);
        const auto rows = JsonLines(run.out);
        QCOMPARE(rows.size(), 19);
        QCOMPARE(QByteArray::fromBase64(rows[0]["file"].toObject()["bytes"].toString().toLatin1()),
                 name);
        QCOMPARE(rows[1]["file"].toString(), kSample);
    }

    void fileRewrittenWhileListed() {
        QTemporaryDir dir;
        const QString path = dir.filePath("moving.pas");
        QByteArray big;
        for (int i = 0; i < 50000; ++i) {
            big += "procedure P" + QByteArray::number(i) + ";\n";
        }
        std::atomic<bool> stop = false;
        std::thread rewriter([&] {
            for (int i = 0; !stop; ++i) {
                QFile file(path);
                if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                    file.write(big.left(big.size() / (1 + i % 3)));
                }
            }
        });
        for (int run = 0; run < 20; ++run) {
            const Run listed = List({"--json", path});
            QVERIFY(listed.exitCode == 0 || listed.exitCode == 1);
            QCOMPARE(JsonLines(listed.out).size(), listed.out.count('\n'));
        }
        stop = true;
        rewriter.join();
    }

    // Whole outputs of real units against the files under tests/cli/golden: a
    // change of format that the cases above let through shows here. With
    // KESTREL_UPDATE_GOLDEN set, the files are written anew instead.
    void matchesTheGoldenFiles_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected");
        QTest::newRow("sample, table") << QStringList{kSample} << "Unit1.table";
        QTest::newRow("sample, JSON") << QStringList{"--json", kSample} << "Unit1.jsonl";
        for (const QString unit : {"Geometry.pas", "Plugin.dpr", "Legacy.pas"}) {
            const QString base = QFileInfo(unit).completeBaseName();
            QTest::addRow("%s, table", qPrintable(unit)) << QStringList{unit} << base + ".table";
            QTest::addRow("%s, JSON", qPrintable(unit))
                << QStringList{"--json", unit} << base + ".jsonl";
        }
        QTest::newRow("several, table")
            << QStringList{"Geometry.pas", "Plugin.dpr", "Legacy.pas"} << "several.table";
        QTest::newRow("several, JSON, some categories")
            << QStringList{"--json", "--show=PB", "Geometry.pas", "Legacy.pas"}
            << "several-PB.jsonl";
    }

    void matchesTheGoldenFiles() {
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        const Run run = List(args, kGolden);
        QVERIFY2(run.exitCode == 0 && run.err.isEmpty(), run.err.constData());
        const QString path = kGolden + "/" + expected;
        if (qEnvironmentVariableIsSet("KESTREL_UPDATE_GOLDEN")) {
            QFile file(path);
            QVERIFY2(file.open(QIODevice::WriteOnly) && file.write(run.out) == run.out.size(),
                     qPrintable(path));
            QSKIP("golden file written");
        }
        const QByteArray want = ReadFile(path);
        QVERIFY2(!want.isEmpty(), qPrintable("cannot read " + path));
        const QString difference = FirstDifference(run.out, want);
        QVERIFY2(difference.isEmpty(), qPrintable(expected + ", " + difference));
    }

    void listsFreePascalSourcesWhenInstalled() {
        const QString root = "/usr/share/fpcsrc";
        if (!QFileInfo(root).isDir()) {
            QSKIP("fpc-source is not installed");
        }
        QStringList files;
        QDirIterator it(root, {"*.pas", "*.pp"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext() && files.size() < 400) {
            files << it.next();
        }
        const Run run = List(QStringList{"--json"} + files);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(!JsonLines(run.out).isEmpty());
    }
};

QTEST_GUILESS_MAIN(ListerTest)
#include "tst_lister.moc"
