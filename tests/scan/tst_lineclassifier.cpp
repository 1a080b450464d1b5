// The line classifier: which lines make a row, and the row's texts.
#include "HostBuffer.h"
#include "LineClassifier.h"
#include "MemorySource.h"
#include "ScanRows.h"

#include <QtTest>

using namespace kestrel;

Q_DECLARE_METATYPE(kestrel::SymbolCategory)

class LineClassifierTest : public QObject {
    Q_OBJECT

private slots:
    void rows_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("after");
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("caption");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("className");
        QTest::addColumn<QByteArray>("details");
        QTest::addColumn<SymbolCategory>("category");

        QTest::newRow("unit") << QByteArray("unit Foo;") << false << 1 << QByteArray("00001")
                              << QByteArray("Foo") << QByteArray("unit") << QByteArray(";")
                              << catHeader;
        QTest::newRow("library") << QByteArray("library Tools;") << false << 1
                                 << QByteArray("00001") << QByteArray("Tools")
                                 << QByteArray("library") << QByteArray(";") << catHeader;
        QTest::newRow("six-digit line")
            << QByteArray("UNIT Foo;") << false << 123456 << QByteArray("123456")
            << QByteArray("Foo") << QByteArray("UNIT") << QByteArray(";") << catHeader;
        QTest::newRow("declared procedure")
            << QByteArray("procedure DoIt(A: Integer; B: string);") << false << 5
            << QByteArray("00005") << QByteArray("DoIt") << QByteArray()
            << QByteArray("(A: Integer; B: string);") << catDeclaration;
        QTest::newRow("indented method declaration")
            << QByteArray("    function Bar(X: Integer): Boolean;") << false << 9
            << QByteArray("00009") << QByteArray("Bar") << QByteArray()
            << QByteArray("(X: Integer): Boolean;") << catDeclaration;
        QTest::newRow("function without parameters")
            << QByteArray("function Count: Integer;") << false << 6 << QByteArray("00006")
            << QByteArray("Count: Integer") << QByteArray() << QByteArray(";") << catDeclaration;
        QTest::newRow("implementation")
            << QByteArray("implementation") << false << 12 << QByteArray("00012") << QByteArray()
            << QByteArray("implementation") << QByteArray() << catHeader;
        QTest::newRow("method function")
            << QByteArray("function TFoo.Bar(X: Integer): Boolean;") << true << 16
            << QByteArray("00016") << QByteArray("Bar") << QByteArray("TFoo")
            << QByteArray("(X: Integer): Boolean;") << catFunction;
        QTest::newRow("method procedure")
            << QByteArray("procedure TForm1.Button1Click(Sender: TObject);") << true << 40
            << QByteArray("00040") << QByteArray("Button1Click") << QByteArray("TForm1")
            << QByteArray("(Sender: TObject);") << catProcedure;
        QTest::newRow("method function without parameters")
            << QByteArray("function TFoo.GetBar: Integer;") << true << 50 << QByteArray("00050")
            << QByteArray("GetBar: Integer") << QByteArray("TFoo") << QByteArray(";")
            << catFunction;
        QTest::newRow("bookmark line")
            << QByteArray("{//*}  Result := X > 0;  check this") << true << 18
            << QByteArray("00018") << QByteArray("bookmark") << QByteArray()
            << QByteArray("({//*}  Result := X > 0;  check this") << catBookmark;
        QTest::newRow("bookmark alone, before")
            << QByteArray("{//*}") << false << 25 << QByteArray("00025") << QByteArray("bookmark")
            << QByteArray() << QByteArray("({//*}") << catBookmark;
        QTest::newRow("bookmark alone, after")
            << QByteArray("{//*}") << true << 25 << QByteArray("00025") << QByteArray("bookmark")
            << QByteArray() << QByteArray("({//*}") << catBookmark;
        QTest::newRow("comment removed by the reader")
            << QByteArray("procedure Run; ") << true << 30 << QByteArray("00030")
            << QByteArray("Run") << QByteArray() << QByteArray(";") << catProcedure;
        QTest::newRow("procedure alone")
            << QByteArray("procedure") << true << 7 << QByteArray("00007") << QByteArray()
            << QByteArray() << QByteArray() << catProcedure;
        QTest::newRow("unit alone")
            << QByteArray("unit") << false << 1 << QByteArray("00001") << QByteArray()
            << QByteArray("unit") << QByteArray() << catHeader;
        QTest::newRow("upper-case procedure")
            << QByteArray("PROCEDURE Foo;") << true << 33 << QByteArray("00033")
            << QByteArray("Foo") << QByteArray() << QByteArray(";") << catProcedure;
        QTest::newRow("project") << QByteArray("project P;") << false << 1 << QByteArray("00001")
                                 << QByteArray("P") << QByteArray("project") << QByteArray(";")
                                 << catHeader;
        QTest::newRow("written (bookmark) is a header")
            << QByteArray("(bookmark) x;") << false << 3 << QByteArray("00003") << QByteArray("x")
            << QByteArray("(bookmark)") << QByteArray(";") << catHeader;
        QTest::newRow("brace-star word is a header")
            << QByteArray("{*} note") << false << 4 << QByteArray("00004") << QByteArray("not")
            << QByteArray("{*}") << QByteArray("e") << catHeader;
        QTest::newRow("control characters trimmed")
            << QByteArray("\t\x01procedure A.B(x);\r\n") << true << 2 << QByteArray("00002")
            << QByteArray("B") << QByteArray("A") << QByteArray("(x);") << catProcedure;
        QTest::newRow("non-ASCII bytes are not trimmed")
            << QByteArray("unit \xE9t\xE9;\xA0") << false << 1 << QByteArray("00001")
            << QByteArray("\xE9t\xE9;") << QByteArray("unit") << QByteArray("\xA0") << catHeader;
    }

    void rows() {
        QFETCH(QByteArray, text);
        QFETCH(bool, after);
        QFETCH(int, line);
        bool inImplementation = after;
        const auto row =
            ClassifySourceLine(text.toStdString(), line, inImplementation, ReservedWords());
        QVERIFY(row.has_value());
        QTEST(QByteArray::fromStdString(row->caption), "caption");
        QTEST(QByteArray::fromStdString(row->name), "name");
        QTEST(QByteArray::fromStdString(row->className), "className");
        QTEST(QByteArray::fromStdString(row->details), "details");
        QTEST(row->category, "category");
        QCOMPARE(row->line, line);
        QCOMPARE(inImplementation, after || text.trimmed().toUpper() == "IMPLEMENTATION");

        // The extended headings give the same row, with the routine's
        // opening word recorded.
        bool extendedState = after;
        auto extended = ClassifySourceLine(text.toStdString(), line, extendedState, ReservedWords(),
                                           Headings::Extended);
        QVERIFY(extended.has_value());
        QCOMPARE(extendedState, inImplementation);
        QCOMPARE(extended->routine == RoutineKind::None,
                 row->category == catHeader || row->category == catBookmark);
        extended->routine = RoutineKind::None;
        QVERIFY(*extended == *row);
    }

    // Rows only the extended headings give; "-" in the when column means the
    // category is the same before and after IMPLEMENTATION.
    void extendedRows_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<SymbolCategory>("after");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("className");
        QTest::addColumn<QByteArray>("details");
        QTest::addColumn<int>("routine");
        QTest::addColumn<bool>("classRoutine");
        using R = RoutineKind;
        QTest::newRow("program") << QByteArray("program P;") << catHeader << QByteArray("P")
                                 << QByteArray("program") << QByteArray(";") << int(R::None)
                                 << false;
        QTest::newRow("constructor") << QByteArray("constructor TFoo.Create(A: Integer);")
                                     << catProcedure << QByteArray("Create") << QByteArray("TFoo")
                                     << QByteArray("(A: Integer);") << int(R::Constructor) << false;
        QTest::newRow("destructor") << QByteArray("  DESTRUCTOR Destroy; override;") << catProcedure
                                    << QByteArray("Destroy; override") << QByteArray()
                                    << QByteArray(";") << int(R::Destructor) << false;
        QTest::newRow("operator") << QByteArray("operator +(A, B: TVec): TVec;") << catFunction
                                  << QByteArray("+") << QByteArray()
                                  << QByteArray("(A, B: TVec): TVec;") << int(R::Operator) << false;
        QTest::newRow("class function")
            << QByteArray("class function TFoo.New: TFoo;") << catFunction
            << QByteArray("New: TFoo") << QByteArray("TFoo") << QByteArray(";") << int(R::Function)
            << true;
        QTest::newRow("class procedure, any case")
            << QByteArray("Class  Procedure X;") << catProcedure << QByteArray("X") << QByteArray()
            << QByteArray(";") << int(R::Procedure) << true;
        QTest::newRow("class operator")
            << QByteArray("class operator Add(A, B: T): T;") << catFunction << QByteArray("Add")
            << QByteArray() << QByteArray("(A, B: T): T;") << int(R::Operator) << true;
    }

    void extendedRows() {
        QFETCH(QByteArray, text);
        QFETCH(SymbolCategory, after);
        for (const bool inImplementationAtStart : {false, true}) {
            bool inImplementation = inImplementationAtStart;
            QVERIFY(!ClassifySourceLine(text.toStdString(), 7, inImplementation, ReservedWords()));
            const auto row = ClassifySourceLine(text.toStdString(), 7, inImplementation,
                                                ReservedWords(), Headings::Extended);
            QVERIFY(row.has_value());
            QCOMPARE(inImplementation, inImplementationAtStart);
            QCOMPARE(row->category,
                     after == catHeader || inImplementationAtStart ? after : catDeclaration);
            QTEST(QByteArray::fromStdString(row->name), "name");
            QTEST(QByteArray::fromStdString(row->className), "className");
            QTEST(QByteArray::fromStdString(row->details), "details");
            QTEST(int(row->routine), "routine");
            QTEST(row->classRoutine, "classRoutine");
        }
        // Not headings even so.
        for (const char* other : {"class", "class var X: Integer;", "classprocedure X;",
                                  "programs P;", "class\tprocedure X;"}) {
            bool inImplementation = false;
            QVERIFY2(!ClassifySourceLine(other, 1, inImplementation, ReservedWords(),
                                         Headings::Extended),
                     other);
        }
    }

    // Every case above as a line of a file, through the one rows path with
    // each reader: the rows must agree, and where the line reads back as the
    // case's text its row must be the case's.
    void rowsThroughBothReaders_data() { rows_data(); }

    void rowsThroughBothReaders() {
        QFETCH(QByteArray, text);
        QFETCH(bool, after);
        QFETCH(int, line);
        std::string file = after ? "implementation\r\n" : "";
        for (int n = after ? 2 : 1; n < line; ++n) {
            file += "\r\n";
        }
        file += text.toStdString() + "\r\n";

        std::vector<SymbolRow> memoryRows;
        TextLineReader reader(file);
        ScanRows(reader, [&](SymbolRow&& row) { memoryRows.push_back(row); });
        std::vector<SymbolRow> hostRows;
        std::string lineText;
        const HostBuffer buffer = BufferFromFileBytes(file);
        MemorySource host(buffer.bytes);
        ScanLines(host, [&](std::string_view t, int32_t n) {
            lineText = n == line ? std::string(t) : lineText;
        });
        MemorySource source(buffer.bytes);
        ScanRows(source, [&](SymbolRow&& row) { hostRows.push_back(std::move(row)); });
        QVERIFY(memoryRows == hostRows);
        if (lineText == text.toStdString()) {
            QVERIFY(!memoryRows.empty());
            const SymbolRow& row = memoryRows.back();
            QCOMPARE(row.line, line);
            QTEST(QByteArray::fromStdString(row.name), "name");
            QTEST(QByteArray::fromStdString(row.className), "className");
            QTEST(QByteArray::fromStdString(row.details), "details");
            QTEST(row.category, "category");
        }
    }

    void noRow_data() {
        QTest::addColumn<QByteArray>("text");
        for (const char* text : {"", "begin", "interface", "type", "end;", "program P;",
                                 "class procedure X;", "constructor Create;", "procedure\tFoo;",
                                 "   ", "procedures Foo;", "implementation;"}) {
            QTest::newRow(text) << QByteArray(text);
        }
    }

    void noRow() {
        QFETCH(QByteArray, text);
        for (const bool before : {false, true}) {
            bool inImplementation = before;
            QVERIFY(!ClassifySourceLine(text.toStdString(), 1, inImplementation, ReservedWords()));
            QCOMPARE(inImplementation, before);
        }
    }

    // The words come from the caller (the add-in's list of them can be
    // edited): the first test on a line's first bytes and first word's
    // length must never turn away a line that one of them opens.
    void keywordsComeFromTheCaller_data() {
        QTest::addColumn<QByteArrayList>("keywords");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("isRow");
        QTest::addColumn<QByteArray>("className");
        const QByteArrayList program{"program"};
        QTest::newRow("any case") << program << QByteArray("Program P;") << true
                                  << QByteArray("Program");
        QTest::newRow("only the caller's")
            << program << QByteArray("unit U;") << false << QByteArray();
        QTest::newRow("one letter")
            << QByteArrayList{"x"} << QByteArray("X y;") << true << QByteArray("X");
        QTest::newRow("one letter alone")
            << QByteArrayList{"x"} << QByteArray("\tx\r") << true << QByteArray("x");
        QTest::newRow("one letter, longer word")
            << QByteArrayList{"x"} << QByteArray("xy z") << false << QByteArray();
        QTest::newRow("second letter's case")
            << QByteArrayList{"ab"} << QByteArray("aB c") << true << QByteArray("aB");
        QTest::newRow("second byte a blank")
            << QByteArrayList{"ab"} << QByteArray("a b") << false << QByteArray();
        QTest::newRow("bytes above ASCII")
            << QByteArrayList{"\xE9t\xE9"} << QByteArray("\xE9t\xE9 x") << true
            << QByteArray("\xE9t\xE9");
        QTest::newRow("no case above ASCII")
            << QByteArrayList{"\xE9t\xE9"} << QByteArray("\xC9t\xC9 x") << false << QByteArray();
        QTest::newRow("bookmark without its word")
            << program << QByteArray("{//*} x := 1;") << false << QByteArray();
        QTest::newRow("bookmark with its word")
            << QByteArrayList{"(Bookmark)"} << QByteArray("{//*} x := 1;") << true << QByteArray();
        QTest::newRow("empty word, blank line")
            << QByteArrayList{"", "unit"} << QByteArray(" \t ") << true << QByteArray();
        QTest::newRow("a word with a space")
            << QByteArrayList{"class procedure"} << QByteArray("class procedure X;") << false
            << QByteArray();
        QTest::newRow("a word with a space beside one without")
            << QByteArrayList{"ab c", "abxc"} << QByteArray("ab c d;") << false << QByteArray();
        // Lines of sixteen bytes or more are read sixteen at a time.
        const QByteArray pad = " := 0123456789abcdef;";
        QTest::newRow("long line, indent of twenty")
            << program << QByteArray(20, ' ') + "PROGRAM P" + pad << true << QByteArray("PROGRAM");
        QTest::newRow("long line, second of two words of one length and letter")
            << QByteArrayList{"pascal", "plugin"} << "PlugIn P" + pad << true
            << QByteArray("PlugIn");
        QTest::newRow("long line, no case outside the letters")
            << QByteArrayList{"a`b"} << "A@B x" + pad << false << QByteArray();
        QTest::newRow("long line, a byte above ASCII is no blank")
            << program << "\xA0program P" + pad << false << QByteArray();
        QTest::newRow("a word of sixteen bytes")
            << QByteArrayList{"abcdefghijklmnop"} << "ABCDEFGHIJKLMNOP x" + pad << true
            << QByteArray("ABCDEFGHIJKLMNOP");
        QTest::newRow("a word of seventeen bytes, one differing at the end")
            << QByteArrayList{"abcdefghijklmnopq"} << "abcdefghijklmnopx x" + pad << false
            << QByteArray();
        const QByteArray longWord(70, 'w');
        QTest::newRow("a word of seventy bytes")
            << QByteArrayList{longWord} << longWord + " x" << true << longWord;
        QTest::newRow("a word of seventy bytes, a longer first word")
            << QByteArrayList{longWord} << longWord + "w x" << false << QByteArray();
    }

    void keywordsComeFromTheCaller() {
        QFETCH(QByteArrayList, keywords);
        QFETCH(QByteArray, text);
        std::vector<std::string> words;
        for (const QByteArray& word : keywords) {
            words.push_back(word.toStdString());
        }
        bool inImplementation = false;
        const auto row = ClassifySourceLine(text.toStdString(), 1, inImplementation, words);
        QTEST(row.has_value(), "isRow");
        if (row) {
            QTEST(QByteArray::fromStdString(row->className), "className");
        }
        // The same through the reader for text in memory, which tells the
        // classifier which lines cannot hold a bookmark.
        const std::string file = text.toStdString() + "\r\n";
        std::vector<SymbolRow> rows;
        ScanRows(TextLineReader(file), words, [&](SymbolRow&& r) { rows.push_back(r); });
        // (An empty word also takes the end's empty text.)
        QVERIFY(row ? !rows.empty() && rows[0] == *row : rows.empty());
    }

    void implementationIsSetOnlyOnce() {
        bool inImplementation = false;
        const auto& words = ReservedWords();
        QCOMPARE(ClassifySourceLine("procedure A;", 1, inImplementation, words)->category,
                 catDeclaration);
        QCOMPARE(ClassifySourceLine("IMPLEMENTATION", 2, inImplementation, words)->category,
                 catHeader);
        QVERIFY(inImplementation);
        QCOMPARE(ClassifySourceLine("procedure A;", 3, inImplementation, words)->category,
                 catProcedure);
        QCOMPARE(ClassifySourceLine("unit X;", 4, inImplementation, words)->category, catHeader);
        QVERIFY(inImplementation);
    }

    void captions_data() {
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("caption");
        QTest::newRow("1") << 1 << QByteArray("00001");
        QTest::newRow("99999") << 99999 << QByteArray("99999");
        QTest::newRow("100000") << 100000 << QByteArray("100000");
        QTest::newRow("max") << 2147483647 << QByteArray("2147483647");
        QTest::newRow("zero") << 0 << QByteArray("00000");
        QTest::newRow("negative") << -42 << QByteArray("-00042");
        QTest::newRow("min") << int(-2147483647 - 1) << QByteArray("-2147483648");
    }

    void captions() {
        QFETCH(int, line);
        QTEST(QByteArray::fromStdString(FormatLineCaption(line)), "caption");
    }
};

QTEST_APPLESS_MAIN(LineClassifierTest)
#include "tst_lineclassifier.moc"
