// Files become host buffers (CR LF, no BOM) and are written back byte for
// byte; encodings are detected and decoded.
#include "HostBuffer.h"

#include <QtTest>

using namespace kestrel;

namespace {

std::string Bytes(const QByteArray& a) {
    return a.toStdString();
}

QByteArray Q(const std::string& s) {
    return QByteArray::fromStdString(s);
}

} // namespace

class HostBufferTest : public QObject {
    Q_OBJECT

private slots:
    void load_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<bool>("bom");
        QTest::addColumn<bool>("utf8");

        QTest::newRow("LF") << QByteArray("a\nb\n") << QByteArray("a\r\nb\r\n") << false << true;
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QByteArray("a\r\nb\r\n") << false
                               << true;
        QTest::newRow("mixed") << QByteArray("a\r\nb\nc") << QByteArray("a\r\nb\r\nc") << false
                               << true;
        QTest::newRow("lone CR stays")
            << QByteArray("a\rb\n") << QByteArray("a\rb\r\n") << false << true;
        QTest::newRow("CR CR LF") << QByteArray("a\r\r\n") << QByteArray("a\r\r\n") << false
                                  << true;
        QTest::newRow("BOM dropped")
            << QByteArray("\xEF\xBB\xBFunit\n") << QByteArray("unit\r\n") << true << true;
        QTest::newRow("Windows-1252")
            << QByteArray("caf\xE9\n") << QByteArray("caf\xE9\r\n") << false << false;
        QTest::newRow("UTF-8") << QByteArray("caf\xC3\xA9\n") << QByteArray("caf\xC3\xA9\r\n")
                               << false << true;
        QTest::newRow("NUL bytes")
            << QByteArray("a\0b\n", 4) << QByteArray("a\0b\r\n", 5) << false << true;
        QTest::newRow("empty") << QByteArray() << QByteArray() << false << true;
        QTest::newRow("leading LF") << QByteArray("\nx") << QByteArray("\r\nx") << false << true;
    }

    void load() {
        QFETCH(QByteArray, file);
        const HostBuffer buffer = BufferFromFileBytes(Bytes(file));
        QTEST(Q(buffer.bytes), "buffer");
        QTEST(buffer.hadByteOrderMark, "bom");
        QTEST(buffer.encoding == TextEncoding::Utf8, "utf8");
        QCOMPARE(Q(FileBytesFromBuffer(buffer, buffer.bytes)), file);
    }

    void editKeepsLineEndsElsewhere_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("edited");
        QTest::addColumn<QByteArray>("saved");

        QTest::newRow("LF file, edit in a line")
            << QByteArray("a\nb\nc\n") << QByteArray("a\r\nbX\r\nc\r\n")
            << QByteArray("a\nbX\nc\n");
        QTest::newRow("mixed file keeps each end")
            << QByteArray("a\r\nb\nc\r\nd\n") << QByteArray("a\r\nb\r\nc!\r\nd\r\n")
            << QByteArray("a\r\nb\nc!\r\nd\n");
        QTest::newRow("new line takes the main style")
            << QByteArray("a\nb\nc\r\n") << QByteArray("a\r\nnew\r\nb\r\nc\r\n")
            << QByteArray("a\nnew\nb\nc\r\n");
        QTest::newRow("BOM restored after edit")
            << QByteArray("\xEF\xBB\xBFx\r\n") << QByteArray("xy\r\n")
            << QByteArray("\xEF\xBB\xBFxy\r\n");
        QTest::newRow("all text removed") << QByteArray("a\nb\n") << QByteArray() << QByteArray();
        QTest::newRow("first line edited keeps its own end")
            << QByteArray("a\r\nb\nc\n") << QByteArray("aX\r\nb\r\nc\r\n")
            << QByteArray("aX\r\nb\nc\n");
        QTest::newRow("last line edited keeps its own end")
            << QByteArray("a\nb\nc\r\n") << QByteArray("a\r\nb\r\ncX\r\n")
            << QByteArray("a\nb\ncX\r\n");
        QTest::newRow("joined lines, later ends follow")
            << QByteArray("a\r\nb\nc\r\nd\n") << QByteArray("a\r\nbc\r\nd\r\n")
            << QByteArray("a\r\nbc\r\nd\n");
    }

    void editKeepsLineEndsElsewhere() {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, edited);
        const HostBuffer buffer = BufferFromFileBytes(Bytes(file));
        QTEST(Q(FileBytesFromBuffer(buffer, Bytes(edited))), "saved");
        // Into memory that held an earlier, longer copy.
        std::string reused(64, '#');
        FileBytesFromBuffer(buffer, Bytes(edited), reused);
        QTEST(Q(reused), "saved");
    }

    void encodingRoundTrip() {
        for (int b = 0; b < 256; ++b) {
            const char32_t cp = Windows1252ToUnicode(static_cast<unsigned char>(b));
            QCOMPARE(UnicodeToWindows1252(cp), b);
        }
        QCOMPARE(UnicodeToWindows1252(0x4E2D), -1);
        QCOMPARE(ToUtf8("\x80\x9F", TextEncoding::Windows1252),
                 std::string("\xE2\x82\xAC\xC5\xB8"));
        QCOMPARE(ToUtf8("a\xFF", TextEncoding::Utf8), std::string("a\xEF\xBF\xBD"));
    }

    void utf8Validation_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ascii") << QByteArray("plain ascii text, longer than eight") << true;
        QTest::newRow("two bytes") << QByteArray("\xC3\xA9") << true;
        QTest::newRow("four bytes") << QByteArray("\xF0\x9F\x98\x80") << true;
        QTest::newRow("overlong") << QByteArray("\xC0\xAF") << false;
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
        QTest::newRow("truncated") << QByteArray("abcdefgh\xE2\x82") << false;
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
        QTest::newRow("lone continuation") << QByteArray("\x80") << false;
    }

    void utf8Validation() {
        QFETCH(QByteArray, bytes);
        QTEST(IsValidUtf8(Bytes(bytes)), "valid");
    }
};

QTEST_APPLESS_MAIN(HostBufferTest)
#include "tst_hostbuffer.moc"
