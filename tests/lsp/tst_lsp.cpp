// kestrel-lsp as an editor meets it: whole sessions over the server's
// standard input and output, and the position arithmetic underneath.
#include "LspSession.h"
#include "documents/TextDocument.h"
#include "features/Outline.h"
#include "features/SourceStructure.h"
#include "index/LocalPaths.h"
#include "server/OutlineAnswers.h"
#include "server/OutlineJson.h"
#include "server/SymbolAnswers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace kestrel::lsp;

namespace {

QJsonObject Uri(const QString& uri) {
    return {{"textDocument", QJsonObject{{"uri", uri}}}};
}

QJsonObject Position(int line, int character) {
    return {{"line", line}, {"character", character}};
}

QJsonObject Range(int line, int from, int to) {
    return {{"start", Position(line, from)}, {"end", Position(line, to)}};
}

// Two units that use each other's routines: nested, overloaded and record
// methods, and a class whose `end` was commented out.
const QString kShapes = R"(unit Shapes;

interface

uses Helpers;

type
  TOuter = class
  public
    type
      TInner = class
        procedure Step;
      end;
    procedure Run(A: Integer = 0); overload;
    procedure Run(const S: string); overload;
    function Count(Items: array of Integer;
      Limit: Integer): Integer;
  end;
  TPoint = record
    X, Y: Integer;
	procedure Move(DX: Integer);
  end;
  TBroken = class
    procedure Lost; { end; }
  TAfter = class
    procedure Kept;
  end;

procedure Plain(X: Integer);

implementation

{$region 'steps'}
procedure TOuter.TInner.Step;
begin
end;
{$endregion}

procedure TOuter.Run(A: Integer);
begin
  Plain(A);
end;

procedure TOuter.Run(const S: string);
begin
  if S = '' then
  begin
    Run(0);
  end;
end;

function TOuter.Count(Items: array of Integer; Limit: Integer): Integer;
begin
  Result := Helper(Limit);
end;

procedure TPoint.Move(DX: Integer);
begin
  X := X + DX;
end;

procedure TAfter.Kept;
begin
end;

procedure Plain(X: Integer);
begin
  TOuter.Create.Count([], X);
end;

end.
)";

const QString kHelpers = R"(unit Helpers;

interface

function Helper(X: Integer): Integer;
procedure Plain(X: Integer);

implementation

function Helper(X: Integer): Integer;
begin
  Result := X;
end;

procedure Plain(X: Integer);
begin
end;

end.
)";

// "Unit:line:character" of the place that '|' marks in a needle found once
// in one of the units: `Shapes:TOuter.|Run(const`.
// A unit whose IMPLEMENTATION keyword stands in an include file: its
// qualified headings are still implementations. Neither a generic method's
// `<T>` nor an interface method's resolution clause ends the class.
const QString kSplit = R"(unit Split;

interface

type
  TSplit = class(TObject, IRunner)
    generic class function Make<T>(const A: T): TSplit; static;
    procedure IRunner.Run = Go;
    procedure Go;
  end;

{$I split_implementation.inc}

procedure TSplit.Go;
begin
end;

generic class function TSplit.Make<T>(const A: T): TSplit;
begin
end;

end.
)";

QString Place(const QString& needle) {
    const qsizetype colon = needle.indexOf(':');
    const QString unit = needle.left(colon);
    QString text = needle.mid(colon + 1);
    const qsizetype bar = text.indexOf('|');
    text.remove(bar, 1);
    const QString& source = unit == "Shapes" ? kShapes : unit == "Split" ? kSplit : kHelpers;
    const qsizetype at = source.indexOf(text);
    if (at < 0 || source.indexOf(text, at + 1) >= 0) {
        return "not found once: " + needle;
    }
    const qsizetype place = at + bar;
    const qsizetype lineStart = source.lastIndexOf('\n', place - 1) + 1;
    return QStringLiteral("%1:%2:%3")
        .arg(unit)
        .arg(source.left(place).count('\n'))
        .arg(place - lineStart);
}

// Everything a structure holds but its checkpoints, one fact a line.
QStringList Facts(const SourceStructure& structure) {
    QStringList facts;
    for (const auto& t : structure.types) {
        facts << QStringLiteral("type %1 %2-%3 end %4 broken %5 kind %6 `%7` parent %8")
                     .arg(QString::fromStdString(t.name))
                     .arg(t.nameStart)
                     .arg(t.nameEnd)
                     .arg(t.end)
                     .arg(t.broken)
                     .arg(static_cast<int>(t.kind))
                     .arg(QString::fromStdString(t.detail))
                     .arg(t.parent);
    }
    for (const auto& r : structure.routines) {
        facts << QStringLiteral("routine %1 %2.%3 %4-%5 name %6-%7 (%8) owner %9 body %10 %11")
                     .arg(static_cast<int>(r.kind))
                     .arg(QString::fromStdString(r.qualifier), QString::fromStdString(r.name))
                     .arg(r.start)
                     .arg(r.end)
                     .arg(r.nameStart)
                     .arg(r.nameEnd)
                     .arg(QString::fromStdString(r.parameters))
                     .arg(r.owner)
                     .arg(r.body)
                     .arg(r.bodyEnd);
    }
    facts << QStringLiteral("sections %1 %2 %3")
                 .arg(structure.interfaceStart)
                 .arg(structure.implementationStart)
                 .arg(structure.sectionsEnd);
    for (const std::string& unit : structure.uses) {
        facts << "uses " + QString::fromStdString(unit);
    }
    for (const auto& c : structure.comments) {
        facts << QStringLiteral("comment %1-%2").arg(c.start).arg(c.end);
    }
    for (const auto& r : structure.regions) {
        facts << QStringLiteral("region %1-%2").arg(r.start).arg(r.end);
    }
    return facts;
}

// An outline, an entry a line, children indented.
void Describe(const std::vector<OutlineSymbol>& symbols, QStringList& out, int depth = 0) {
    for (const OutlineSymbol& symbol : symbols) {
        out << QStringLiteral("%1%2 `%3` %4 %5 line %6 %7-%8")
                   .arg(QString(depth * 2, ' '), QString::fromStdString(symbol.name),
                        QString::fromStdString(symbol.detail))
                   .arg(static_cast<int>(symbol.kind))
                   .arg(static_cast<int>(symbol.role))
                   .arg(symbol.line)
                   .arg(symbol.selectionStart)
                   .arg(symbol.selectionEnd);
        Describe(symbol.children, out, depth + 1);
    }
}

QStringList Describe(const std::vector<OutlineSymbol>& symbols) {
    QStringList out;
    Describe(symbols, out);
    return out;
}

// The first fact where two lists part, or nothing.
QString FirstDifference(const QStringList& a, const QStringList& b) {
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const QString x = i < a.size() ? a[i] : "(none)";
        const QString y = i < b.size() ? b[i] : "(none)";
        if (x != y) {
            return QStringLiteral("fact %1: %2 | %3").arg(i).arg(x, y);
        }
    }
    return {};
}

// The server under test, initialized without a workspace.
class Session : public LspSession {
public:
    // `limitAddressSpace`, when not 0, is the server's address-space limit.
    explicit Session(rlim_t limitAddressSpace = 0)
        : LspSession(KESTREL_LSP_PATH, [limitAddressSpace] {
              if (limitAddressSpace != 0) {
                  const rlimit limit{limitAddressSpace, limitAddressSpace};
                  ::setrlimit(RLIMIT_AS, &limit);
              }
          }) {}
    QJsonObject Initialize(const QJsonObject& capabilities = {}) {
        return LspSession::Initialize(
            {{"rootUri", QJsonValue::Null}, {"capabilities", capabilities}});
    }
    // The server's notifications received so far of `method`.
    QList<QJsonObject> Notifications(const QString& method) const {
        QList<QJsonObject> found;
        for (const QJsonObject& message : Received()) {
            if (message.value("method") == method && !message.contains("id")) {
                found << message;
            }
        }
        return found;
    }
};

// "kind name line:from-to" of each symbol's selection, depth-first, with
// children indented: a whole outline in one comparable text.
void Describe(const QJsonArray& symbols, QStringList& out, const QString& indent = {}) {
    for (const QJsonValue& value : symbols) {
        const QJsonObject symbol = value.toObject();
        const QJsonObject selection = symbol.value("selectionRange").toObject();
        const QJsonObject range = symbol.value("range").toObject();
        QString line = QStringLiteral("%1%2 %3 %4:%5-%6")
                           .arg(indent)
                           .arg(symbol.value("kind").toInt())
                           .arg(symbol.value("name").toString())
                           .arg(selection["start"]["line"].toInt())
                           .arg(selection["start"]["character"].toInt())
                           .arg(selection["end"]["character"].toInt());
        if (symbol.contains("detail")) {
            line += " | " + symbol.value("detail").toString();
        }
        if (range["start"]["line"] != selection["start"]["line"] ||
            range["start"]["character"].toInt() != 0) {
            line += " (range does not hold the heading's line)";
        }
        out << line;
        Describe(symbol.value("children").toArray(), out, indent + "  ");
    }
}

QStringList Outline(const QJsonArray& symbols) {
    QStringList out;
    Describe(symbols, out);
    return out;
}

int ErrorCodeOf(const QJsonObject& answer) {
    return answer.value("error").toObject().value("code").toInt();
}

QJsonArray EditsOf(const QJsonObject& action, const QString& uri) {
    return action["edit"]["changes"][uri].toArray();
}

// Applies text edits (all on distinct places) to a UTF-16 text whose
// positions are counted in UTF-16 units.
QString Apply(QString text, const QJsonArray& edits) {
    QList<QJsonObject> sorted;
    for (const QJsonValue& edit : edits) {
        sorted << edit.toObject();
    }
    const auto offset = [&](const QJsonObject& position) {
        qsizetype at = 0;
        for (int line = 0; line < position["line"].toInt(); ++line) {
            at = text.indexOf('\n', at) + 1;
        }
        return at + position["character"].toInt();
    };
    std::sort(sorted.begin(), sorted.end(), [&](const QJsonObject& a, const QJsonObject& b) {
        return offset(a["range"]["start"].toObject()) > offset(b["range"]["start"].toObject());
    });
    for (const QJsonObject& edit : sorted) {
        const qsizetype from = offset(edit["range"]["start"].toObject());
        const qsizetype to = offset(edit["range"]["end"].toObject());
        text.replace(from, to - from, edit["newText"].toString());
    }
    return text;
}

const QString kSample = QStringLiteral(KESTREL_SAMPLES_DIR "/Unit1.pas");

} // namespace

class LspTest : public QObject {
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

    void framing_data() {
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::addColumn<QList<int>>("errorCodes"); // in order; 0 for a result

        const QByteArray init = LspSession::Frame(
            QJsonObject{{"id", 1},
                        {"method", "initialize"},
                        {"params", QJsonObject{{"capabilities", QJsonObject{}}}}});
        const QByteArray symbols =
            LspSession::Frame(QJsonObject{{"id", 2},
                                          {"method", "textDocument/documentSymbol"},
                                          {"params", Uri(LspSession::FileUri(kSample))}});
        QList<QByteArray> bytes;
        for (const char c : init + symbols) {
            bytes << QByteArray(1, c);
        }
        QTest::newRow("one byte a write") << bytes << QList<int>{0, 0};
        QTest::newRow("two messages in one write")
            << QList<QByteArray>{init + symbols} << QList<int>{0, 0};
        QTest::newRow("other header fields, any case")
            << QList<QByteArray>{"content-type: application/vscode-jsonrpc; charset=utf-8\r\n" +
                                 QByteArray(init).replace("Content-Length", "CONTENT-LENGTH")}
            << QList<int>{0};
        QTest::newRow("missing Content-Length")
            << QList<QByteArray>{"Content-Type: x\r\n\r\n" + init} << QList<int>{-32700, 0};
        QTest::newRow("Content-Length not a number")
            << QList<QByteArray>{"Content-Length: -5\r\n\r\n" + init} << QList<int>{-32700, 0};
        QTest::newRow("body not JSON")
            << QList<QByteArray>{LspSession::Frame(QByteArray("{\"id\": 1, ")) + init}
            << QList<int>{-32700, 0};
        QTest::newRow("body not an object")
            << QList<QByteArray>{LspSession::Frame(QByteArray("[1, 2]")) + init}
            << QList<int>{-32600, 0};
        QTest::newRow("no method")
            << QList<QByteArray>{LspSession::Frame(QByteArray(R"({"jsonrpc":"2.0","id":5})")) +
                                 init}
            << QList<int>{-32600, 0};
        QTest::newRow("request before initialize")
            << QList<QByteArray>{symbols + init} << QList<int>{-32002, 0};
        QTest::newRow("Content-Length over 64 MB")
            << QList<QByteArray>{"Content-Length: 67108865\r\n\r\n"} << QList<int>{-32700};
    }
    void framing() {
        QFETCH(QList<QByteArray>, writes);
        QFETCH(QList<int>, errorCodes);
        Session session;
        for (const QByteArray& bytes : writes) {
            session.Write(bytes);
        }
        for (const int expected : errorCodes) {
            const QJsonObject answer = session.Receive();
            QVERIFY2(!answer.isEmpty(), "no answer");
            QCOMPARE(ErrorCodeOf(answer), expected);
            QCOMPARE(answer.contains("result"), expected == 0);
        }
        // The server reads on, and ends as soon as its input does.
        QCOMPARE(session.ExitCode(true), 1);
    }

    void lifecycle() {
        Session session;
        const QJsonObject init = session.Initialize();
        const QJsonObject capabilities = init.value("capabilities").toObject();
        QCOMPARE(capabilities.value("positionEncoding").toString(), "utf-16");
        QCOMPARE(capabilities["textDocumentSync"]["change"].toInt(), 2);
        QVERIFY(capabilities.contains("documentSymbolProvider"));
        QVERIFY(capabilities.contains("codeActionProvider"));
        QCOMPARE(capabilities.value("workspaceSymbolProvider"), true);
        QCOMPARE(capabilities["workspace"]["workspaceFolders"]["changeNotifications"], true);
        for (const char* provider :
             {"declarationProvider", "implementationProvider", "definitionProvider",
              "hoverProvider", "foldingRangeProvider"}) {
            QCOMPARE(capabilities.value(provider), true);
        }
        QCOMPARE(capabilities.size(), 11); // nothing that is not implemented
        QCOMPARE(init["serverInfo"]["name"].toString(), "kestrel-lsp");
        QCOMPARE(init["serverInfo"]["version"].toString(), "1.02");

        QCOMPARE(ErrorCodeOf(session.Answer(session.Send("initialize"))), -32600);
        QCOMPARE(ErrorCodeOf(session.Answer(session.Send("textDocument/completion"))), -32601);
        session.Notify("workspace/didChangeConfiguration"); // ignored
        session.Notify("$/setTrace", {{"value", "messages"}});
        const QJsonObject answer = session.Answer(session.Send("shutdown"));
        QVERIFY(answer.contains("result") && answer.value("result").isNull());
        QCOMPARE(session.Receive().value("method").toString(), "$/logTrace");
        QCOMPARE(ErrorCodeOf(session.Answer(session.Send("textDocument/documentSymbol",
                                                         Uri(LspSession::FileUri(kSample))))),
                 -32600);
        session.Notify("exit");
        QCOMPARE(session.ExitCode(false), 0);
    }

    // A length the server will not read ends it at once, with a message,
    // while its input is still open; a long one it skips keeps it serving.
    void lengthItWillNotRead() {
        Session session;
        session.Initialize();
        session.Write("Content-Length: 1000000000000\r\n\r\n{}");
        QCOMPARE(session.ExitCode(false), 1);
        QVERIFY(session.ErrorOutput().contains("Content-Length 1000000000000"));
    }

    void exitCodes_data() {
        QTest::addColumn<bool>("shutdown");
        QTest::addColumn<bool>("exit"); // else the input is closed
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("nullParams"); // "params": null, as Emacs's client sends
        QTest::newRow("shutdown, exit") << true << true << 0 << false;
        QTest::newRow("shutdown, exit, params null") << true << true << 0 << true;
        QTest::newRow("exit without shutdown") << false << true << 1 << false;
        QTest::newRow("input closed") << false << false << 1 << false;
        QTest::newRow("input closed after shutdown") << true << false << 0 << false;
    }
    void exitCodes() {
        QFETCH(bool, shutdown);
        QFETCH(bool, exit);
        QFETCH(bool, nullParams);
        Session session;
        session.Initialize();
        if (shutdown && nullParams) {
            session.Write(LspSession::Frame(
                QJsonObject{{"id", 900}, {"method", "shutdown"}, {"params", QJsonValue::Null}}));
            const QJsonObject answer = session.Answer(900);
            QVERIFY2(answer.contains("result") && answer.value("result").isNull(),
                     QJsonDocument(answer).toJson().constData());
        } else if (shutdown) {
            QVERIFY(session.Result("shutdown").isNull());
        }
        if (exit && nullParams) {
            session.Write(
                LspSession::Frame(QJsonObject{{"method", "exit"}, {"params", QJsonValue::Null}}));
        } else if (exit) {
            session.Notify("exit");
        }
        QTEST(session.ExitCode(!exit), "code");
    }

    // The sample unit, read from disk since it is not open.
    void outlineOfTheSampleUnit() {
        Session session;
        session.Initialize();
        const QStringList expected{
            "2 Unit1 0:5-10 | unit",
            "  5 TShape 11:2-8 | class",
            "    6 GetArea 14:13-20 | : Double; virtual",
            "    9 Create 16:16-22 | (const AName: string)",
            "    6 Describe 17:14-22 | (Lines: TStrings)",
            "    6 Scaled 18:13-19 | (Factor: Double): TShape",
            "  5 TCircle 22:2-9 | class(TShape)",
            "    6 GetArea 25:13-20 | : Double; override",
            "    6 Grow 27:14-18 | (By: Double)",
            "  12 RegisterShapes 30:10-24",
            "  12 ShapeCount 31:9-19 | : Integer",
            "3 implementation 33:0-14",
            "  5 TShape 38:12-18",
            "    9 Create 38:19-25 | (const AName: string)",
            "    6 GetArea 43:16-23 | : Double",
            "    6 Describe 48:17-25 | (Lines: TStrings)",
            "    20 check the format 50:51-56",
            "    6 Scaled 53:16-22 | (Factor: Double): TShape",
            "  5 TCircle 58:9-16",
            "    6 GetArea 58:17-24 | : Double",
            "    6 Grow 63:18-22 | (By: Double)",
            "  12 RegisterShapes 68:10-24",
            "  20 the registry is never freed 70:2-36",
            "  12 ShapeCount 74:9-19 | : Integer",
        };
        QCOMPARE(Outline(session.Symbols(LspSession::FileUri(kSample))), expected);
    }

    // The extended headings, a program file, and names on non-ASCII lines in
    // both position encodings.
    void outlinePositions_data() {
        QTest::addColumn<QJsonObject>("capabilities");
        QTest::addColumn<QStringList>("expected");
        const QJsonObject utf8{
            {"general", QJsonObject{{"positionEncodings", QJsonArray{"utf-16", "utf-8"}}}}};
        QTest::newRow("utf-16") << QJsonObject()
                                << QStringList{
                                       "2 Grüße 0:8-13 | program",
                                       "  25 + 1:17-18 | (a, b: TVec): TVec",
                                       "  5 TÄ",
                                       "    6 Make 2:26-30 | : TÄ",
                                       "    9 Free 3:21-25",
                                       "    20 𝔸 note 4:10-23",
                                   };
        QTest::newRow("utf-8") << utf8
                               << QStringList{
                                      "2 Grüße 0:8-15 | program",
                                      "  25 + 1:20-21 | (a, b: TVec): TVec",
                                      "  5 TÄ",
                                      "    6 Make 2:30-34 | : TÄ",
                                      "    9 Free 3:24-28",
                                      "    20 𝔸 note 4:11-26",
                                  };
    }
    void outlinePositions() {
        QFETCH(QJsonObject, capabilities);
        QFETCH(QStringList, expected);
        Session session;
        const QJsonObject init = session.Initialize(capabilities);
        const QString uri = "file:///nowhere/grusse.pas";
        session.Open(uri, QString::fromUtf8("program Grüße;\n"
                                            "{ äöü } operator + (a, b: TVec): TVec;\n"
                                            "{ äöü } class function TÄ.Make: TÄ;\n"
                                            "{ 𝔸 } destructor TÄ.Free;\n"
                                            "x := 'é'; {//* 𝔸 note}\n"));
        QStringList outline = Outline(session.Symbols(uri));
        // The Class entry stands on its first method's line; only its name
        // is checked here.
        for (QString& line : outline) {
            if (line.contains(" 5 ")) {
                line = line.section(' ', 0, -2);
            }
        }
        QCOMPARE(outline, expected);
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

    void codeActions_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("character");
        QTest::addColumn<QString>("afterInsert");
        QTest::addColumn<QString>("afterRemove"); // empty: not offered

        QTest::newRow("inside a line") << "abc\r\n"
                                       << 0 << 1 << "a{//*}bc\r\n"
                                       << "";
        QTest::newRow("at the line's end") << "abc\r\n"
                                           << 0 << 3 << "abc{//*}\r\n"
                                           << "";
        QTest::newRow("beyond the line's end, padded") << "abc\r\nx" << 0 << 6 << "abc   {//*}\r\nx"
                                                       << "";
        QTest::newRow("after a non-BMP character") << "𝔸b\n"
                                                   << 0 << 2 << "𝔸{//*}b\n"
                                                   << "";
        QTest::newRow("remove a plain marker") << "  x := 1; {//*} check\n"
                                               << 0 << 0 << "{//*}  x := 1; {//*} check\n"
                                               << "  x := 1;  check\n";
        QTest::newRow("remove a marker with text, keep other comments")
            << "{ keep } y; {//* why? } {also}\n"
            << 0 << 2 << "{ {//*}keep } y; {//* why? } {also}\n"
            << "{ keep } y;  {also}\n";
        QTest::newRow("marker comment running onto the next line")
            << "z; {//* a\nb } w;\n"
            << 0 << 0 << "{//*}z; {//* a\nb } w;\n"
            << "z;  w;\n";
        QTest::newRow("marker inside a comment opened on an earlier line")
            << "{ a\n{//* b } c;\n"
            << 1 << 0 << "{ a\n{//*}{//* b } c;\n"
            << "";
    }
    void codeActions() {
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(int, character);
        Session session;
        session.Initialize();
        const QString uri = "file:///nowhere/actions.pas";
        session.Open(uri, text);
        const QJsonArray actions =
            session
                .Result("textDocument/codeAction",
                        {{"textDocument", QJsonObject{{"uri", uri}}},
                         {"range", Range(line, character, character)},
                         {"context", QJsonObject{{"diagnostics", QJsonArray()}}}})
                .toArray();
        QVERIFY(!actions.isEmpty());
        QCOMPARE(actions[0]["title"].toString(), "Insert bookmark");
        QTEST(Apply(text, EditsOf(actions[0].toObject(), uri)), "afterInsert");
        QFETCH(QString, afterRemove);
        QCOMPARE(actions.size(), afterRemove.isEmpty() ? 1 : 2);
        if (!afterRemove.isEmpty()) {
            QCOMPARE(actions[1]["title"].toString(), "Remove bookmark");
            QCOMPARE(Apply(text, EditsOf(actions[1].toObject(), uri)), afterRemove);
        }
        // A client that asks only for quick fixes gets none of these.
        QCOMPARE(session
                     .Result("textDocument/codeAction",
                             {{"textDocument", QJsonObject{{"uri", uri}}},
                              {"range", Range(line, 0, 0)},
                              {"context", QJsonObject{{"diagnostics", QJsonArray()},
                                                      {"only", QJsonArray{"quickfix"}}}}})
                     .toArray()
                     .size(),
                 0);
    }

    // A request and its cancellation that arrive together: the request is
    // answered as cancelled, and the next one normally.
    void cancelledRequest() {
        Session session;
        session.Initialize();
        session.Write(
            LspSession::Frame(QJsonObject{{"id", 70},
                                          {"method", "textDocument/documentSymbol"},
                                          {"params", Uri(LspSession::FileUri(kSample))}}) +
            LspSession::Frame(
                QJsonObject{{"method", "$/cancelRequest"}, {"params", QJsonObject{{"id", 70}}}}));
        QCOMPARE(ErrorCodeOf(session.Answer(70)), -32800);
        QVERIFY(!session.Symbols(LspSession::FileUri(kSample)).isEmpty());
    }

    // A number that is no position, below zero, too large or not whole, is
    // named with the range it must lie in.
    void invalidParamsAreNamed() {
        Session session;
        session.Initialize();
        for (const double character : {-1.0, 1099511627776.0, 0.5}) {
            const QJsonObject answer = session.Answer(session.Send(
                "textDocument/codeAction",
                {{"textDocument", QJsonObject{{"uri", LspSession::FileUri(kSample)}}},
                 {"range",
                  QJsonObject{{"start", QJsonObject{{"line", 0}, {"character", character}}},
                              {"end", Position(0, 0)}}}}));
            QCOMPARE(ErrorCodeOf(answer), -32602);
            QVERIFY2(answer["error"]["message"].toString().contains(
                         "'character' must be an integer from 0 to 2147483647"),
                     qPrintable(answer["error"]["message"].toString()));
        }
    }

    // Declaration, implementation and definition from a place marked in
    // one unit to the places marked in the units.
    void navigation_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QStringList>("expected"); // empty for null
        const QString declaration = "textDocument/declaration";
        const QString implementation = "textDocument/implementation";
        const QString definition = "textDocument/definition";
        QTest::newRow("implementation to its overload")
            << declaration << "Shapes:procedure TOuter.R|un(const"
            << QStringList{"Shapes:procedure |Run(const S: string); overload;"};
        QTest::newRow("declaration to its overload's implementation")
            << implementation << "Shapes:procedure Ru|n(A: Integer = 0); overload;"
            << QStringList{"Shapes:procedure TOuter.|Run(A: Integer);"};
        QTest::newRow("from the heading's first word")
            << declaration << "Shapes:|procedure TOuter.Run(A"
            << QStringList{"Shapes:procedure |Run(A: Integer = 0); overload;"};
        QTest::newRow("heading over two lines")
            << implementation << "Shapes:    function |Count(Items"
            << QStringList{"Shapes:function TOuter.|Count(Items"};
        QTest::newRow("nested class") << declaration << "Shapes:procedure TOuter.TInner.St|ep;"
                                      << QStringList{"Shapes:        procedure |Step;"};
        QTest::newRow("record method") << implementation << "Shapes:\tprocedure |Move(DX"
                                       << QStringList{"Shapes:procedure TPoint.|Move(DX"};
        QTest::newRow("class after a class without end")
            << declaration << "Shapes:procedure TAfter.|Kept;"
            << QStringList{"Shapes:    procedure |Kept;"};
        QTest::newRow("plain routine")
            << declaration << "Shapes:procedure Pl|ain(X: Integer);\nbegin"
            << QStringList{"Shapes:procedure |Plain(X: Integer);\n\nimpl"};
        QTest::newRow("not on a heading")
            << declaration << "Shapes:  X := |X + DX;" << QStringList{};
        QTest::newRow("body in another unit")
            << definition << "Shapes:Result := |Helper(Limit)"
            << QStringList{"Helpers:function |Helper(X: Integer): Integer;\nbegin"};
        QTest::newRow("this unit first, then the used unit")
            << definition << "Shapes:  |Plain(A);"
            << QStringList{"Shapes:procedure |Plain(X: Integer);\nbegin",
                           "Helpers:procedure |Plain(X: Integer);\nbegin"};
        QTest::newRow("unit in uses")
            << definition << "Shapes:uses Hel|pers;" << QStringList{"Helpers:unit |Helpers;"};
        QTest::newRow("class") << definition << "Shapes:  |TOuter.Create"
                               << QStringList{"Shapes:  |TOuter = class"};
        QTest::newRow("qualified method") << definition << "Shapes:TOuter.Create.Cou|nt([]"
                                          << QStringList{"Shapes:function TOuter.|Count(Items"};
        QTest::newRow("unknown name") << definition << "Shapes:if |S = ''" << QStringList{};
        QTest::newRow("qualified heading without the implementation keyword")
            << declaration << "Split:procedure TSplit.G|o;"
            << QStringList{"Split:    procedure |Go;"};
        QTest::newRow("to that heading") << implementation << "Split:    procedure G|o;"
                                         << QStringList{"Split:procedure TSplit.|Go;"};
        QTest::newRow("generic method") << declaration << "Split:function TSplit.Ma|ke<T>"
                                        << QStringList{"Split:    generic class function |Make<T>"};
    }
    void navigation() {
        QFETCH(QString, method);
        QFETCH(QString, from);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        const QHash<QString, QString> uris{
            {"Shapes", LspSession::FileUri(dir.filePath("shapes.pas"))},
            {"Helpers", LspSession::FileUri(dir.filePath("helpers.pas"))},
            {"Split", LspSession::FileUri(dir.filePath("split.pas"))}};
        Session session;
        session.Initialize();
        session.Open(uris["Shapes"], kShapes);
        session.Open(uris["Helpers"], kHelpers);
        session.Open(uris["Split"], kSplit);
        const QStringList place = Place(from).split(':');
        QCOMPARE(place.size(), 3);
        const QJsonValue answer =
            session.Result(method, {{"textDocument", QJsonObject{{"uri", uris[place[0]]}}},
                                    {"position", Position(place[1].toInt(), place[2].toInt())}});
        QStringList places;
        for (const QJsonValue& location : answer.toArray()) {
            const QJsonObject start = location["range"]["start"].toObject();
            places << QStringLiteral("%1:%2:%3")
                          .arg(uris.key(location["uri"].toString(), location["uri"].toString()))
                          .arg(start["line"].toInt())
                          .arg(start["character"].toInt());
        }
        QStringList wanted;
        for (const QString& needle : expected) {
            wanted << Place(needle);
        }
        QCOMPARE(places, wanted);
        QCOMPARE(answer.isNull(), expected.isEmpty());
    }

    void hover_data() {
        QTest::addColumn<QString>("at");
        QTest::addColumn<QString>("expected"); // empty for null
        QTest::newRow("call of a method declared over two lines")
            << "Shapes:TOuter.Create.Co|unt"
            << "```pascal\nfunction Count(Items: array of Integer; Limit: Integer): Integer;\n```\n"
               "Declared in shapes.pas, line 16, in `TOuter`";
        QTest::newRow("implementation heading shows the declaration")
            << "Shapes:procedure TOuter.TInner.|Step"
            << "```pascal\nprocedure Step;\n```\nDeclared in shapes.pas, line 12, in "
               "`TOuter.TInner`";
        QTest::newRow("routine of another unit")
            << "Shapes:Result := Hel|per"
            << "```pascal\nfunction Helper(X: Integer): Integer;\n```\n"
               "Declared in helpers.pas, line 5";
        QTest::newRow("no routine") << "Shapes:  X := X + |DX;" << QString();
    }
    void hover() {
        QFETCH(QString, at);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        Session session;
        session.Initialize();
        session.Open(LspSession::FileUri(dir.filePath("shapes.pas")), kShapes);
        session.Open(LspSession::FileUri(dir.filePath("helpers.pas")), kHelpers);
        const QStringList place = Place(at).split(':');
        const QJsonValue hover =
            session.Result("textDocument/hover",
                           {{"textDocument",
                             QJsonObject{{"uri", LspSession::FileUri(dir.filePath("shapes.pas"))}}},
                            {"position", Position(place[1].toInt(), place[2].toInt())}});
        QCOMPARE(hover["contents"]["value"].toString(), expected);
        QCOMPARE(hover.isNull(), expected.isEmpty());
    }

    void foldingRanges() {
        Session session;
        session.Initialize();
        session.Open("untitled:shapes", kShapes);
        QStringList ranges;
        const QJsonValue answer =
            session.Result("textDocument/foldingRange", Uri("untitled:shapes"));
        for (const QJsonValue& range : answer.toArray()) {
            ranges << QStringLiteral("%1-%2%3")
                          .arg(range["startLine"].toInt())
                          .arg(range["endLine"].toInt())
                          .arg(range["kind"].isString() ? " " + range["kind"].toString() : "");
        }
        // The interface and implementation sections, the types (not the
        // one without its end), the region and every routine.
        QCOMPARE(ranges.join(", "), "2-29, 7-17, 10-12, 18-21, 24-26, 30-69, 32-36 region, 33-35, "
                                    "38-41, 43-49, 51-54, 56-59, 61-63, 65-68");
    }

    // Places that no text holds, and files that cannot be read: an answer
    // of null, or an error with a message.
    void badPlaces_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("character");
        for (const char* method :
             {"textDocument/declaration", "textDocument/definition", "textDocument/hover"}) {
            QTest::addRow("%s past the end of a line", method) << method << 0 << 400;
            QTest::addRow("%s past the end of the text", method) << method << 90 << 0;
            QTest::addRow("%s inside a character", method) << method << 1 << 3;
        }
    }
    void badPlaces() {
        QFETCH(QString, method);
        QFETCH(int, line);
        QFETCH(int, character);
        Session session;
        session.Initialize();
        session.Open("untitled:u", "procedure Run;\n{\xF0\x9F\x98\x80} Run;\n");
        const QJsonObject answer = session.Answer(
            session.Send(method, {{"textDocument", QJsonObject{{"uri", "untitled:u"}}},
                                  {"position", Position(line, character)}}));
        QVERIFY(answer.contains("result"));
        QVERIFY(answer.value("result").isNull());
        QTemporaryDir dir;
        const QJsonObject unreadable = session.Answer(session.Send(
            method,
            {{"textDocument", QJsonObject{{"uri", LspSession::FileUri(dir.filePath("gone.pas"))}}},
             {"position", Position(0, 0)}}));
        QCOMPARE(ErrorCodeOf(unreadable), -32803);
        QVERIFY(!unreadable["error"]["message"].toString().isEmpty());
    }

    // A class cut off before its `end` keeps to its own lines: what follows
    // it is outlined and found as if it were whole.
    void brokenClassKeepsToItsLines() {
        Session session;
        session.Initialize();
        session.Open("untitled:cut", "unit Cut;\ninterface\ntype\n  TA = class\n    procedure A;\n"
                                     "  TB = record\n    X: Integer;\n  end;\nprocedure Free;\n"
                                     "implementation\nprocedure TA.A;\nbegin\nend;\n"
                                     "procedure Free;\nbegin\nend;\nend.\n");
        QCOMPARE(
            Outline(session.Symbols("untitled:cut")),
            QStringList({"2 Cut 0:5-8 | unit", "  5 TA 3:2-4 | class", "    6 A 4:14-15",
                         "  23 TB 5:2-4 | record", "  12 Free 8:10-14", "3 implementation 9:0-14",
                         "  5 TA 10:10-12", "    6 A 10:13-14", "  12 Free 13:10-14"}));
        const QJsonValue back = session.Result(
            "textDocument/declaration", {{"textDocument", QJsonObject{{"uri", "untitled:cut"}}},
                                         {"position", Position(13, 11)}});
        QCOMPARE(back[0]["range"]["start"]["line"].toInt(), 8);
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
            QCOMPARE(QByteArray::fromStdString(LocalPath(name.uri)), name.path);
        }
        QCOMPARE(LocalPath("file://localhost/tmp/x%2Fy.pas"), std::string("/tmp/x/y.pas"));
        QCOMPARE(LocalPath("FILE:///tmp/./a/../b.pas"), std::string("/tmp/b.pas"));
        for (const QString uri : {"file://elsewhere/tmp/x.pas", "http://localhost/x.pas",
                                  "untitled:Untitled-1", "file:///tmp/a%00b.pas"}) {
            QVERIFY2(LocalPath(uri).empty(), qPrintable(uri));
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

    // A file is read by its size, and bookmark padding has a bound: ordinary
    // requests fit in a modest address space.
    // Many random edits, the text read again from the change alone, give
    // what a reading of the whole text gives: the line index, the outline
    // and the structure after openings and closings of comments, strings, regions,
    // types and bodies, lines added and removed, one edit or several at a
    // time.
    void incrementalReadingMatchesAFullOne() {
        // What is inserted, `|` between pieces; CRs only in the second
        // round, since a CR that ends a line alone makes the outline read
        // the whole text.
        const QByteArray common =
            "{|}|(*|*)|//|'|end;|end|begin|\n|case|procedure TOuter.Added;\n|class|record|"
            "{$region}|{$endregion}|interface|implementation|  TNew = class\n| = |x| |X := 1;|"
            "initialization\n|uses Other;|(|)|<T>|type\n|try|asm|forward;|{//* mark}|{//*|"
            "function F: Integer;\n|constructor TOuter.Make;\n|class procedure";
        const std::string base = (kShapes + kHelpers + kSplit + kShapes).toStdString();
        QRandomGenerator random(20);
        for (const QByteArray& pieceList : {common, common + "|\r\n|\r"}) {
            const QList<QByteArray> pieces = pieceList.split('|');
            TextDocument document(base);
            SourceStructure structure = ReadSourceStructure(document.Text());
            OutlineRows rows(document);
            OutlineAnswers answers;
            uint64_t read = document.Revision();
            for (int edit = 0; edit < 1500; ++edit) {
                if (edit % 200 == 0) {
                    document.SetText(base); // from a sound text again now and then
                    structure = ReadSourceStructure(document.Text());
                    rows = OutlineRows(document);
                    read = document.Revision();
                }
                const size_t size = document.Text().size();
                const size_t start = random.bounded(static_cast<quint32>(size + 1));
                const size_t removed = random.bounded(4) == 0
                                           ? std::min<size_t>(random.bounded(40u), size - start)
                                           : 0;
                const std::string piece =
                    removed > 0 && random.bounded(2) == 0
                        ? std::string()
                        : pieces[random.bounded(static_cast<quint32>(pieces.size()))].toStdString();
                document.Replace(start, start + removed, piece);
                if (random.bounded(3) == 0) {
                    continue; // read after the next edit too
                }
                const TextDocument whole(document.Text());
                QCOMPARE(document.LineCount(), whole.LineCount());
                for (int64_t line = 0; line < whole.LineCount(); ++line) {
                    QCOMPARE(document.LineStart(line), whole.LineStart(line));
                }
                QCOMPARE(document.HasLoneCarriageReturn(), whole.HasLoneCarriageReturn());

                const std::optional<TextDocument::Change> change = document.ChangeSince(read);
                QVERIFY(change);
                structure = ReadSourceStructure(document.Text(), std::move(structure),
                                                change->start, change->oldEnd, change->newEnd);
                rows = OutlineRows(document, std::move(rows), *change);
                read = document.Revision();
                QString difference =
                    FirstDifference(Facts(structure), Facts(ReadSourceStructure(document.Text())));
                if (difference.isEmpty()) {
                    difference = FirstDifference(Describe(BuildOutline(document, rows, structure)),
                                                 Describe(BuildOutline(document)));
                }
                if (difference.isEmpty() &&
                    answers.Answer(document, structure, PositionEncoding::Utf16) !=
                        DocumentSymbolsJson(BuildOutline(document), document,
                                            PositionEncoding::Utf16)) {
                    difference = "the outline's answer";
                }
                QVERIFY2(difference.isEmpty(),
                         qPrintable(QStringLiteral("edit %1 at %2 (-%3 +'%4'): %5")
                                        .arg(edit)
                                        .arg(start)
                                        .arg(removed)
                                        .arg(QString::fromStdString(piece), difference)));
            }
            QVERIFY(!document.ChangeSince(0));
        }
    }

    void rewrittenAnswersMatchFreshOnes() {
        // The same entries a line further down are rewritten from the last
        // text; a tree with fewer or more entries is written whole.
        const std::string two = "unit U;\ninterface\nprocedure A;\nprocedure B;\nimplementation\n";
        const std::string lower = "unit U;\n\ninterface\nprocedure A;\nprocedure B;\n"
                                  "implementation\n";
        const std::string one = "unit U;\ninterface\nprocedure A;\nimplementation\n";
        const struct {
            std::string from, to;
            bool rewritten;
        } cases[] = {{two, lower, true}, {two, one, false}, {one, two, false}};
        for (const auto& [from, to, rewritten] : cases) {
            const TextDocument before(from);
            const TextDocument after(to);
            std::vector<OutlineSymbol> outline = BuildOutline(before);
            OutlineJson json(outline, before, PositionEncoding::Utf16);
            if (rewritten) {
                const auto moveDown = [](const auto& self,
                                         std::vector<OutlineSymbol>& symbols) -> void {
                    for (OutlineSymbol& symbol : symbols) {
                        symbol.line += symbol.line >= 1 ? 1 : 0;
                        self(self, symbol.children);
                    }
                };
                moveDown(moveDown, outline);
            } else {
                outline = BuildOutline(after);
            }
            const QByteArray expected =
                DocumentSymbolsJson(BuildOutline(after), after, PositionEncoding::Utf16);
            QVERIFY(json.Json() != expected);
            QCOMPARE(json.Rewrite(outline, after, 0, 0), rewritten);
            QCOMPARE(json.Json(), expected);
        }
    }

    void ordinaryRequestsNeedLittleMemory() {
#if defined(__SANITIZE_ADDRESS__)
        const rlim_t limit = 0; // the address sanitizer reserves far more
#else
        const rlim_t limit = rlim_t{500} << 20;
#endif
        QTemporaryDir dir;
        QFile file(dir.filePath("small.pas"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("unit Small;\n") > 0);
        file.close();
        Session session(limit);
        session.Initialize();
        QCOMPARE(Outline(session.Symbols(LspSession::FileUri(file.fileName()))),
                 QStringList{"2 Small 0:5-10 | unit"});
        const QJsonObject answer = session.Answer(session.Send(
            "textDocument/codeAction",
            {{"textDocument", QJsonObject{{"uri", LspSession::FileUri(file.fileName())}}},
             {"range", Range(0, 100000000, 100000000)},
             {"context", QJsonObject{}}}));
        QCOMPARE(ErrorCodeOf(answer), -32602);
        QVERIFY(answer["error"]["message"].toString().contains("longest line"));
        // Within the bound, the padding is made as before.
        const QJsonArray actions =
            session
                .Result(
                    "textDocument/codeAction",
                    {{"textDocument", QJsonObject{{"uri", LspSession::FileUri(file.fileName())}}},
                     {"range", Range(0, 1000, 1000)},
                     {"context", QJsonObject{}}})
                .toArray();
        QCOMPARE(actions.size(), 1);
    }
};

QTEST_GUILESS_MAIN(LspTest)
#include "tst_lsp.moc"
