// The source line reader: brace comments, bookmark lines, line ends and the
// end of the buffer; and the reader for text in memory, which must give the
// same lines as the character reader on the host buffer of the same bytes.
#include "HostBuffer.h"
#include "MemorySource.h"
#include "ReadSourceLine.h"
#include "ScanLines.h"
#include "TextLineReader.h"
#include "ThrowingSource.h"

#include <QDirIterator>
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

// Every numbered line of a scan, the end's empty text included.
template <class Source> std::vector<std::pair<std::string, int32_t>> LinesOf(Source& source) {
    std::vector<std::pair<std::string, int32_t>> lines;
    ScanLines(source, [&](std::string_view text, int32_t line) { lines.emplace_back(text, line); });
    return lines;
}

// The lines of a file's bytes as the character reader gets them through the
// host buffer; the reader for text in memory must give exactly these.
std::vector<std::pair<std::string, int32_t>> HostLines(std::string_view fileBytes) {
    const HostBuffer buffer = BufferFromFileBytes(fileBytes);
    MemorySource source(buffer.bytes);
    return LinesOf(source);
}

std::vector<std::pair<std::string, int32_t>> MemoryLines(std::string_view fileBytes) {
    TextLineReader reader(fileBytes);
    return LinesOf(reader);
}

QStringList Texts(const std::vector<std::pair<std::string, int32_t>>& lines) {
    QStringList texts;
    for (const auto& [text, number] : lines) {
        texts << QString::fromLatin1(text);
    }
    return texts;
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

    // Every case above, as file bytes, through both readers; where the host
    // buffer is the bytes themselves, the table's lines hold for both.
    void memoryReaderAgrees_data() { linesOfABuffer_data(); }

    void memoryReaderAgrees() {
        QFETCH(QByteArray, buffer);
        const std::string_view bytes(buffer.constData(), buffer.size());
        const auto memory = MemoryLines(bytes);
        QCOMPARE(memory, HostLines(bytes));
        if (BufferFromFileBytes(bytes).bytes == bytes) {
            QTEST(Texts(memory), "lines");
        }
    }

    // Files whose host buffer differs from their bytes: the lines are those
    // of the buffer.
    void memoryReaderServesTheHostBuffer_data() {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("bare LF ends a line like CR LF")
            << QByteArray("unit A;\nuses B;\r\n") << QStringList{"unit A;", "uses B;", ""};
        QTest::newRow("byte-order mark left out")
            << QByteArray("\xEF\xBB\xBFunit A;\n") << QStringList{"unit A;", ""};
        QTest::newRow("second byte-order mark is text")
            << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF\n")
            << QStringList{QString::fromLatin1("\xEF\xBB\xBF"), ""};
        QTest::newRow("LF right after the byte-order mark")
            << QByteArray("\xEF\xBB\xBF\nx\n") << QStringList{"", "x", ""};
        QTest::newRow("open bookmark comment gains the host's CR")
            << QByteArray("x; {//* note\nclosed }\n") << QStringList{"{//* note\r\nx; ", "", ""};
        QTest::newRow("bare LF right after a comment")
            << QByteArray("a{b}\n{c}\r\n") << QStringList{"a", "", ""};
        QTest::newRow("CR inside a comment that closes before the LF")
            << QByteArray("a{\r}\n") << QStringList{"a", ""};
        QTest::newRow("marker split by a line end is no marker")
            << QByteArray("{//\n*}\n") << QStringList{"", "", ""};
        QTest::newRow("marker after a brace inside a comment")
            << QByteArray("p; { a {//* b } c\n") << QStringList{"{ a {//* b }p;  c", ""};
        QTest::newRow("marker opening a comment carried over")
            << QByteArray("{ a\n//* b\nc } d\n//* e } f\n")
            << QStringList{"", "{//* b\r\n", " d", "//* e  f", ""};
        QTest::newRow("marker cut short by the end")
            << QByteArray("x\n{ {//") << QStringList{"x", ""};
        QTest::newRow("comment open at the end is dropped")
            << QByteArray("a\n{ b\nc") << QStringList{"a", "", ""};
        QTest::newRow("lines longer than a vector")
            << QByteArray("0123456789abcdef0123456789abcdef{x}0123456789abcdef\n")
            << QStringList{"0123456789abcdef0123456789abcdef0123456789abcdef", ""};
    }

    void memoryReaderServesTheHostBuffer() {
        QFETCH(QByteArray, buffer);
        const std::string_view bytes(buffer.constData(), buffer.size());
        const auto memory = MemoryLines(bytes);
        QCOMPARE(memory, HostLines(bytes));
        QTEST(Texts(memory), "lines");
    }

    void memoryReaderAgreesOnFreePascalSources() {
        const QString root = "/usr/share/fpcsrc";
        if (!QFileInfo(root).isDir()) {
            QSKIP("fpc-source is not installed");
        }
#if defined(__SANITIZE_ADDRESS__)
        constexpr int kEvery = 8; // every unit would take minutes under the sanitizers
#else
        constexpr int kEvery = 1;
#endif
        QDirIterator it(root, {"*.pas", "*.pp"}, QDir::Files, QDirIterator::Subdirectories);
        int files = 0;
        TextLineReader reader;
        while (it.hasNext()) {
            QFile file(it.next());
            if (files++ % kEvery != 0) {
                continue;
            }
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            const QByteArray bytes = file.readAll();
            const std::string_view view(bytes.constData(), bytes.size());
            reader.Reset(view);
            QVERIFY2(LinesOf(reader) == HostLines(view), qPrintable(file.fileName()));
        }
        QVERIFY(files > 1000);
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
