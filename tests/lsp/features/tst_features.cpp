// kestrel-lsp's answers: the outline, the lister's rows, code actions,
// navigation, hover and folding, and the incremental reading measured
// against a full one.
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

class FeaturesTest : public QObject {
    Q_OBJECT

private slots:
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

    // `kestrel/rows`: the lister's rows of the editor's text, unsaved
    // edits and all, with the lister's members and category names.
    void listRowsFollowTheEditorsText() {
        Session session;
        session.Initialize();
        const QString uri = "file:///nowhere/rows.pas";
        session.Open(uri, "unit \u00dcnits;\ninterface\ntype\n  TA = class\n"
                          "    procedure Go(A: Integer);\n  end;\nimplementation\n"
                          "procedure TA.Go(A: Integer);\nbegin\n  X := 1;\nend;\n"
                          "function Twice: Integer;\nbegin\nend;\nend.\n");
        session.Notify("textDocument/didChange",
                       {{"textDocument", QJsonObject{{"uri", uri}, {"version", 2}}},
                        {"contentChanges", QJsonArray{QJsonObject{{"range", Range(9, 9, 9)},
                                                                  {"text", " {//*} here"}}}}});
        const QJsonArray rows = session.Result("kestrel/rows", Uri(uri)).toArray();
        QStringList got;
        for (const QJsonValue& row : rows) {
            const QJsonObject o = row.toObject();
            QCOMPARE(o.keys(),
                     (QStringList{"caption", "category", "class", "details", "line", "name"}));
            got << QStringLiteral("%1 %2 %3 %4|%5|%6")
                       .arg(o["line"].toInt())
                       .arg(o["caption"].toString(), o["category"].toString(), o["name"].toString(),
                            o["class"].toString(), o["details"].toString());
        }
        QCOMPARE(got, (QStringList{"1 00001 header \u00dcnits|unit|;",
                                   "5 00005 declaration Go||(A: Integer);",
                                   "7 00007 header |implementation|",
                                   "8 00008 procedure Go|TA|(A: Integer);",
                                   "10 00010 bookmark bookmark||({//*}  X := 1;  here",
                                   "12 00012 function Twice: Integer||;"}));
        QCOMPARE(ErrorCodeOf(session.Answer(
                     session.Send("kestrel/rows", Uri("file:///nowhere/missing.pas")))),
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
        QTest::newRow("definition of an implementation is its declaration")
            << definition << "Shapes:procedure TOuter.R|un(const"
            << QStringList{"Shapes:procedure |Run(const S: string); overload;"};
        QTest::newRow("definition of a plain routine's body is its forward heading")
            << definition << "Shapes:procedure Pl|ain(X: Integer);\nbegin"
            << QStringList{"Shapes:procedure |Plain(X: Integer);\n\nimpl"};
        QTest::newRow("definition of the class before the name")
            << definition << "Shapes:procedure TPo|int.Move"
            << QStringList{"Shapes:  |TPoint = record"};
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
                    *answers.Answer(document, structure, PositionEncoding::Utf16) !=
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
        // text; a tree with fewer or more entries is refused, and the answer
        // emptied for its caller to write anew.
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
            const std::string expected =
                DocumentSymbolsJson(BuildOutline(after), after, PositionEncoding::Utf16);
            QVERIFY(*json.Json() != expected);
            QCOMPARE(json.Rewrite(outline, after, 0, 0), rewritten);
            QVERIFY(rewritten ? *json.Json() == expected : json.IsEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(FeaturesTest)
#include "tst_features.moc"
