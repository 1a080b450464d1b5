// The source line reader: brace comments, bookmark lines, line ends and the
// end of the buffer.
#include "MemorySource.h"
#include "ReadSourceLine.h"
#include "ThrowingSource.h"

#include <QtTest>

using namespace kestrel;
using testing::ThrowingSource;

namespace {

// Returns every text up to and including the one of the call that sets AtEnd.
QStringList ReadAll(std::string_view bytes) {
    MemorySource source(bytes);
    SourceScanState state;
    state.Reader = &source;
    QStringList lines;
    for (int guard = 0; !state.AtEnd && guard < 10000; ++guard) {
        lines << QString::fromLatin1(ReadSourceLine(state));
    }
    return lines;
}

} // namespace

class ReadSourceLineTest : public QObject {
    Q_OBJECT

private slots:
    void linesOfABuffer_data() {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("one line") << QByteArray("unit A;\r\n") << QStringList{"unit A;", ""};
        QTest::newRow("empty line is not the end") << QByteArray("\r\n") << QStringList{"", ""};
        QTest::newRow("empty buffer") << QByteArray() << QStringList{""};
        QTest::newRow("last line without a break is dropped")
            << QByteArray("a;\r\nunit B;") << QStringList{"a;", ""};
        QTest::newRow("bookmark comment goes first")
            << QByteArray("x := 1; {//* check}\r\n") << QStringList{"{//* check}x := 1; ", ""};
        QTest::newRow("bookmark alone") << QByteArray("{//*}\r\n") << QStringList{"{//*}", ""};
        QTest::newRow("opening brace of a second comment is not recorded")
            << QByteArray("{ a }{//*}\r\n") << QStringList{"", ""};
        QTest::newRow("comment across lines")
            << QByteArray("a := 1; { start\r\nmiddle\r\nend } b;\r\n")
            << QStringList{"a := 1; ", "", " b;", ""};
        QTest::newRow("continued comment starting with //*")
            << QByteArray("{ open\r\n//* marked }x\r\n") << QStringList{"", "{//* marked }x", ""};
        QTest::newRow("bare LF loses the character before it")
            << QByteArray("abc\ndef\n") << QStringList{"ab", "de", ""};
        QTest::newRow("open bookmark comment keeps its CR LF")
            << QByteArray("x; {//* note\r\nclosed }\r\n")
            << QStringList{"{//* note\r\nx; ", "", ""};
        QTest::newRow("stray closing brace and no nesting")
            << QByteArray("a {b {c} d} e\r\n") << QStringList{"a  d e", ""};
        QTest::newRow("other comment forms are text")
            << QByteArray("(* x *) // y\r\n") << QStringList{"(* x *) // y", ""};
        QTest::newRow("lone CR is an ordinary character")
            << QByteArray("a\rb\r\n") << QStringList{"a\rb", ""};
        QTest::newRow("short line before a bare LF becomes empty")
            << QByteArray("\n") << QStringList{"", ""};
    }

    void linesOfABuffer() {
        QFETCH(QByteArray, buffer);
        QFETCH(QStringList, lines);
        QCOMPARE(ReadAll(std::string_view(buffer.constData(), buffer.size())), lines);
    }

    void positionAdvancesOncePerRequest() {
        MemorySource source("unit A;\r\n");
        SourceScanState state;
        state.Reader = &source;
        QCOMPARE(ReadSourceLine(state), std::string("unit A;"));
        QCOMPARE(state.Position, 9);
        QVERIFY(!state.AtEnd);
        QCOMPARE(ReadSourceLine(state), std::string());
        QVERIFY(state.AtEnd);
        QCOMPARE(state.Position, 10);
    }

    void commentStateCarriesOver() {
        MemorySource source("a { b\r\nc } d\r\n");
        SourceScanState state;
        state.Reader = &source;
        ReadSourceLine(state);
        QVERIFY(state.InComment);
        QCOMPARE(ReadSourceLine(state), std::string(" d"));
        QVERIFY(!state.InComment);
    }

    void exceptionEndsTheScan() {
        ThrowingSource source("abcdef\r\n", 2);
        SourceScanState state;
        state.Reader = &source;
        QCOMPARE(ReadSourceLine(state), std::string());
        QVERIFY(state.AtEnd);
        QCOMPARE(state.Position, 3);
        QCOMPARE(source.requests, 3);
    }

    void veryLongLineIsKept() {
        std::string bytes(1 << 20, 'x');
        bytes += "\r\n";
        MemorySource source(bytes);
        SourceScanState state;
        state.Reader = &source;
        QCOMPARE(ReadSourceLine(state).size(), size_t(1 << 20));
    }
};

QTEST_APPLESS_MAIN(ReadSourceLineTest)
#include "tst_readsourceline.moc"
