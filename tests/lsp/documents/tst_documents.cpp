// The documents kestrel-lsp holds: positions in them, their edits, files
// read from disk, documents out of step with the editor, and URIs.
#include "LspFixtures.h"
#include "documents/TextDocument.h"
#include "index/LocalPaths.h"
#include "protocol/answers/OutlineJson.h"
#include "protocol/answers/SymbolAnswers.h"
#include "server/OutlineAnswers.h"

#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace kestrel::lsp;
using namespace lsptest;

class DocumentsTest : public QObject {
    Q_OBJECT

private slots:
    // Byte offsets and protocol positions, both ways, in both encodings.
    void positionsConvertBothWays_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("utf8");
        QTest::addColumn<int>("utf16");

        // "é" is two bytes and one UTF-16 unit; "𝔸" four bytes and two units.
        const QByteArray mixed = "ab\r\nx\xC3\xA9y\xF0\x9D\x94\xB8z\rlast";
        QTest::newRow("start") << mixed << 0 << 0 << 0 << 0;
        QTest::newRow("before CR LF") << mixed << 2 << 0 << 2 << 2;
        QTest::newRow("after CR LF") << mixed << 4 << 1 << 0 << 0;
        QTest::newRow("after two-byte") << mixed << 7 << 1 << 3 << 2;
        QTest::newRow("after four-byte") << mixed << 12 << 1 << 8 << 5;
        QTest::newRow("lone CR ends a line") << mixed << 14 << 2 << 0 << 0;
        QTest::newRow("end of text") << mixed << 18 << 2 << 4 << 4;
        QTest::newRow("empty text") << QByteArray() << 0 << 0 << 0 << 0;
    }

    void positionsConvertBothWays() {
        QFETCH(QByteArray, text);
        QFETCH(int, offset);
        const TextDocument document(text.toStdString());
        for (const auto& [encoding, column] : {std::pair(PositionEncoding::Utf8, "utf8"),
                                               std::pair(PositionEncoding::Utf16, "utf16")}) {
            const TextPosition position = document.PositionOf(offset, encoding);
            QTEST(static_cast<int>(position.line), "line");
            QTEST(static_cast<int>(position.character), column);
            QCOMPARE(document.OffsetOf(position, encoding), size_t(offset));
        }
    }

    // UTF-16 columns counted from UTF-8 against Qt's UTF-16 as reference,
    // at every character boundary of text beyond the Basic Multilingual
    // Plane, mixed with one-, two- and three-byte characters.
    void utf16ColumnsMatchAReference() {
        const QString text = QString::fromUtf8("a\xC3\xA9\xF0\x9D\x94\xB8\xE2\x82\xAC"
                                               "\xF0\x9F\x98\x80\xF0\x9F\x98\x80z");
        const QByteArray utf8 = text.toUtf8();
        for (qsizetype at = 0; at <= text.size(); ++at) {
            if (at < text.size() && text[at].isLowSurrogate()) {
                continue; // inside a pair: no UTF-8 boundary
            }
            const QByteArray before = text.left(at).toUtf8();
            QCOMPARE(Utf16Length(std::string_view(before.constData(), before.size())), at);
            const TextDocument document(utf8.toStdString());
            QCOMPARE(document.OffsetOf({0, at}, PositionEncoding::Utf16),
                     static_cast<size_t>(before.size()));
        }
    }

    // A line break at every place around the sixteen-byte steps in which
    // lines are found (a CR LF split between two steps among them), and a
    // lone CR that ends the text.
    void lineBreaksAtEveryPlace() {
        for (const std::string lineBreak : {"\n", "\r\n", "\r"}) {
            for (size_t at = 0; at <= 40; ++at) {
                std::string text(40, 'x');
                text.insert(at, lineBreak);
                text += '\r';
                const TextDocument document(text);
                QCOMPARE(document.LineCount(), 3);
                QCOMPARE(document.LineStart(1), at + lineBreak.size());
                QCOMPARE(document.LineStart(2), text.size());
                QVERIFY(document.HasLoneCarriageReturn());
            }
        }
    }

    void positionsOutsideTheTextAreClamped() {
        const TextDocument document("ab\r\n\xF0\x9D\x94\xB8z\n");
        // Past the line's end: its end, before the CR LF.
        QCOMPARE(document.OffsetOf({0, 99}, PositionEncoding::Utf16), size_t(2));
        // Inside a surrogate pair or a UTF-8 sequence: the character's start.
        QCOMPARE(document.OffsetOf({1, 1}, PositionEncoding::Utf16), size_t(4));
        QCOMPARE(document.OffsetOf({1, 2}, PositionEncoding::Utf8), size_t(4));
        // Past the last line: the end of the text.
        QCOMPARE(document.OffsetOf({7, 0}, PositionEncoding::Utf8), document.Text().size());
    }

    // A file on disk that is not UTF-8 is read as Windows-1252, as the
    // lister reads it; columns count the decoded characters.
    void windows1252File() {
        QTemporaryDir dir;
        QFile file(dir.filePath("latin.pas"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("unit Gr\xFC\xDF"
                   "e;\r\n\x80\x80 {//* \xE9t\xE9}\r\n");
        file.close();
        Session session;
        session.Initialize();
        QCOMPARE(Outline(session.Symbols(LspSession::FileUri(file.fileName()))),
                 (QStringList{"2 Grüße 0:5-10 | unit", "  20 été 1:3-12"}));
    }

    void unreadableDocumentsAreErrors_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing file") << "missing.pas";
        QTest::newRow("folder") << ".";
        QTest::newRow("not a file URI") << "";
    }

    void unreadableDocumentsAreErrors() {
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString uri =
            name.isEmpty() ? "untitled:Untitled-1" : LspSession::FileUri(dir.filePath(name));
        Session session;
        session.Initialize();
        const QJsonObject answer =
            session.Answer(session.Send("textDocument/documentSymbol", Uri(uri)));
        QCOMPARE(ErrorCodeOf(answer), -32803);
        QVERIFY(!answer["error"]["message"].toString().isEmpty());
        QVERIFY(!answer.contains("result"));
    }

    // Incremental and full changes, then the outline of what the editor holds.
    void editsReachTheOutline() {
        Session session;
        session.Initialize();
        const QString uri = "file:///nowhere/edited.pas";
        session.Open(uri, "unit A;\r\nimplementation\r\nprocedure P\xC3\xA9;\r\nend.\r\n");
        const auto change = [&](int version, const QJsonArray& changes) {
            session.Notify("textDocument/didChange",
                           {{"textDocument", QJsonObject{{"uri", uri}, {"version", version}}},
                            {"contentChanges", changes}});
        };
        // Insert after "Pé" (UTF-16 column 12), and a new routine line.
        change(2, {QJsonObject{{"range", Range(2, 12, 12)}, {"text", "Q"}},
                   QJsonObject{{"range", Range(3, 0, 0)}, {"text", "function F: Integer;\r\n"}}});
        QCOMPARE(Outline(session.Symbols(uri)),
                 (QStringList{"2 A 0:5-6 | unit", "3 implementation 1:0-14", "  12 PéQ 2:10-13",
                              "  12 F 3:9-10 | : Integer"}));
        // A range across a line end, replaced by nothing: the routines
        // become declarations.
        change(3, {QJsonObject{
                      {"range", QJsonObject{{"start", Position(0, 7)}, {"end", Position(1, 14)}}},
                      {"text", ""}}});
        QCOMPARE(Outline(session.Symbols(uri)), (QStringList{"2 A 0:5-6 | unit", "  12 PéQ 1:10-13",
                                                             "  12 F 2:9-10 | : Integer"}));
        change(4, {QJsonObject{{"text", "library L;\n"}}});
        QCOMPARE(Outline(session.Symbols(uri)), QStringList{"2 L 0:8-9 | library"});
        // Closed: the file is read from disk again, and there is none.
        session.Notify("textDocument/didClose", Uri(uri));
        QCOMPARE(ErrorCodeOf(session.Answer(session.Send("textDocument/documentSymbol", Uri(uri)))),
                 -32803);
    }

    // A change that cannot be applied exactly is not guessed at: the
    // document is out of step, said in the log and once on screen, and its
    // requests get errors (never the file on disk) until a whole text comes.
    void changesThatCannotApplyPutTheDocumentOutOfStep_data() {
        QTest::addColumn<QJsonArray>("changes");
        const auto edit = [](QJsonValue range, const QString& text) {
            return QJsonObject{{"range", range}, {"text", text}};
        };
        const QJsonObject reversed{{"start", Position(0, 6)}, {"end", Position(0, 2)}};
        QTest::newRow("range ends before it starts") << QJsonArray{edit(reversed, "x")};
        QTest::newRow("range past the end") << QJsonArray{edit(Range(9, 0, 0), "x")};
        QTest::newRow("bad change after a good one") << QJsonArray{
            edit(Range(0, 0, 0), "{a}"), edit(reversed, "x"), edit(Range(0, 0, 0), "{b}")};
        QTest::newRow("a change that cannot be read") << QJsonArray{edit("nowhere", "x")};
    }

    void changesThatCannotApplyPutTheDocumentOutOfStep() {
        QFETCH(QJsonArray, changes);
        QTemporaryDir dir;
        QFile disk(dir.filePath("step.pas"));
        QVERIFY(disk.open(QIODevice::WriteOnly) && disk.write("unit OnDisk;\n") > 0);
        disk.close();
        const QString uri = LspSession::FileUri(disk.fileName());
        Session session;
        session.Initialize();
        session.Open(uri, "unit Editor;\n");
        const auto change = [&](const QJsonArray& contentChanges) {
            session.Notify("textDocument/didChange",
                           {{"textDocument", QJsonObject{{"uri", uri}, {"version", 2}}},
                            {"contentChanges", contentChanges}});
        };
        const auto refused = [&] {
            const QJsonObject symbols =
                session.Answer(session.Send("textDocument/documentSymbol", Uri(uri)));
            const QJsonObject actions = session.Answer(session.Send(
                "textDocument/codeAction", {{"textDocument", QJsonObject{{"uri", uri}}},
                                            {"range", Range(0, 0, 0)},
                                            {"context", QJsonObject{}}}));
            return ErrorCodeOf(symbols) == -32803 && ErrorCodeOf(actions) == -32803 &&
                   symbols["error"]["message"].toString().contains("out of step");
        };
        change(changes);
        QVERIFY(refused());
        QCOMPARE(session.Notifications("window/logMessage").size(), 1);
        QCOMPARE(session.Notifications("window/showMessage").size(), 1);
        QVERIFY(session.Notifications("window/logMessage")
                    .value(0)
                    .value("params")
                    .toObject()
                    .value("message")
                    .toString()
                    .contains(uri));
        // Ranged changes meanwhile change nothing; the whole text puts it in
        // step again.
        change({QJsonObject{{"range", Range(0, 0, 0)}, {"text", "x"}}});
        QVERIFY(refused());
        change({QJsonObject{{"text", "library Whole;\n"}}});
        QCOMPARE(Outline(session.Symbols(uri)), QStringList{"2 Whole 0:8-13 | library"});
        // Out of step again, then reopened: said in the log, not on screen.
        change(changes);
        QVERIFY(refused());
        session.Notify("textDocument/didClose", Uri(uri));
        session.Open(uri, "unit Again;\n");
        QCOMPARE(Outline(session.Symbols(uri)), QStringList{"2 Again 0:5-10 | unit"});
        QCOMPARE(session.Notifications("window/logMessage").size(), 2);
        QCOMPARE(session.Notifications("window/showMessage").size(), 1);
    }

    // A didOpen too large to take leaves the server without the editor's
    // text: the file on disk must not stand in for it.
    void refusedOpeningGetsNoAnswerFromDisk() {
        const QString uri = LspSession::FileUri(kSample);
        QByteArray body = "{\"jsonrpc\":\"2.0\",\"method\":\"textDocument/didOpen\",\"params\":"
                          "{\"textDocument\":{\"uri\":\"" +
                          uri.toUtf8() +
                          "\",\"languageId\":\"pascal\",\"version\":1,\"text\":\"unit ";
        body += QByteArray((64 << 20) - body.size() + 10, 'x');
        body += ";\"}}}";
        Session session;
        session.Initialize();
        session.Write(LspSession::Frame(body));
        const QJsonObject answer =
            session.Answer(session.Send("textDocument/documentSymbol", Uri(uri)));
        QCOMPARE(ErrorCodeOf(answer), -32803);
        QVERIFY2(answer["error"]["message"].toString().contains("not taken"),
                 qPrintable(answer["error"]["message"].toString()));
        QCOMPARE(session.Notifications("window/showMessage").size(), 1);
        // A smaller whole text takes it up again.
        session.Notify("textDocument/didChange",
                       {{"textDocument", QJsonObject{{"uri", uri}, {"version", 2}}},
                        {"contentChanges", QJsonArray{QJsonObject{{"text", "unit Small;\n"}}}}});
        QCOMPARE(Outline(session.Symbols(uri)), QStringList{"2 Small 0:5-10 | unit"});
    }

    // File names are bytes: a URI percent-encodes each byte that a URI path
    // cannot hold and gives the same bytes back, also for names that are
    // not UTF-8; the local host may be named.
    void uriCarryTheNameBytes() {
        const struct {
            QByteArray path;
            QString uri;
        } names[] = {
            {"/tmp/plain.pas", "file:///tmp/plain.pas"},
            {"/tmp/caf\xE9.pas", "file:///tmp/caf%E9.pas"},
            {"/tmp/caf\xC3\xA9 #1?.pas", "file:///tmp/caf%C3%A9%20%231%3F.pas"},
            {"/a+b/(c)@d.pas", "file:///a+b/(c)@d.pas"},
        };
        for (const auto& name : names) {
            QCOMPARE(QString::fromStdString(kestrel::lsp::FileUri(name.path.toStdString())),
                     name.uri);
            QCOMPARE(QByteArray::fromStdString(LocalPath(name.uri.toStdString())), name.path);
        }
        QCOMPARE(LocalPath("file://localhost/tmp/x%2Fy.pas"), std::string("/tmp/x/y.pas"));
        QCOMPARE(LocalPath("FILE:///tmp/./a/../b.pas"), std::string("/tmp/b.pas"));
        for (const QString uri : {"file://elsewhere/tmp/x.pas", "http://localhost/x.pas",
                                  "untitled:Untitled-1", "file:///tmp/a%00b.pas"}) {
            QVERIFY2(LocalPath(uri.toStdString()).empty(), qPrintable(uri));
        }

        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.path()) + "/caf\xE9.pas";
        QFile file(QFile::decodeName(path));
        {
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0600);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, "unit Bytes;\n", 12), 12);
            ::close(fd);
        }
        Session session;
        session.Initialize();
        const QString uri = QString::fromStdString(kestrel::lsp::FileUri(path.toStdString()));
        QCOMPARE(Outline(session.Symbols(uri)), QStringList{"2 Bytes 0:5-10 | unit"});
        const QString local =
            "file://localhost" +
            QString::fromStdString(kestrel::lsp::FileUri(kSample.toStdString()).substr(7));
        QCOMPARE(session.Symbols(local).size(),
                 session.Symbols(LspSession::FileUri(kSample)).size());
        ::unlink(path.constData());
    }

    // URIs as clients send them on Windows, and back: a drive in either
    // spelling, a share, backslashes; the path kept in the URI's own form,
    // cleaned down to its drive or share at most.
    void windowsUrisAndPaths() {
        const struct {
            const char* uri;
            const char* path; // "" when the URI names no local file
        } uris[] = {
            {"file:///c%3A/Users/me/Unit1.pas", "/c:/Users/me/Unit1.pas"},
            {"file:///C:/Users/me/../you/Unit1.pas", "/C:/Users/you/Unit1.pas"},
            {"file:///C:/../../x.pas", "/C:/x.pas"},
            {"file://server/share/dir/U.pas", "//server/share/dir/U.pas"},
            {"file://server/share/../../U.pas", "//server/share/U.pas"},
            {"file://localhost/d%3A/a%5Cb.pas", "/d:/a/b.pas"},
            {"C:\\Users\\me", "/C:/Users/me"},
            {"file:///c%3A", "/c:"},
            {"untitled:Untitled-1", ""},
        };
        for (const auto& c : uris) {
            QCOMPARE(LocalPath(c.uri, PathStyle::Windows), std::string(c.path));
        }
        QVERIFY(LocalPath("file://server/share/U.pas", PathStyle::Posix).empty());

        // URIs made from paths write the drive as the client does.
        LearnDriveSpelling("file:///c%3A/Users");
        QCOMPARE(FileUriOf("/c:/Users/me/Ünï.pas", PathStyle::Windows),
                 std::string("file:///c%3A/Users/me/%C3%9Cn%C3%AF.pas"));
        QCOMPARE(FileUriOf("//server/share/U.pas", PathStyle::Windows),
                 std::string("file://server/share/U.pas"));
        LearnDriveSpelling("file:///C:/Users");
        QCOMPARE(FileUriOf("C:\\Users\\me", PathStyle::Windows),
                 std::string("file:///C:/Users/me"));
        LearnDriveSpelling("file:///tmp/x"); // no drive: the spelling stays
        QCOMPARE(FileUriOf("/D:/x", PathStyle::Windows), std::string("file:///D:/x"));
        QCOMPARE(FileUriOf("/c:/a b", PathStyle::Posix), std::string("file:///c:/a%20b"));

        // Windows names files without regard to case.
        QVERIFY(IsUnder("/C:/Src/UNIT1.pas", "/c:/src", PathStyle::Windows));
        QVERIFY(!IsUnder("/C:/Src/UNIT1.pas", "/c:/src", PathStyle::Posix));
        QVERIFY(!IsUnder("/c:/srcx/a.pas", "/C:/SRC", PathStyle::Windows));
        QCOMPARE(PathKey("/C:/Src/ÜNIT1.pas", PathStyle::Windows),
                 PathKey("/c:/src/ünit1.PAS", PathStyle::Windows));
        QVERIFY(PathKey("/a/B.pas", PathStyle::Posix) != PathKey("/a/b.pas", PathStyle::Posix));
    }
};

QTEST_GUILESS_MAIN(DocumentsTest)
#include "tst_documents.moc"
