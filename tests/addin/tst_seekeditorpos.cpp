// The bookmark command's walk to the cursor: where the marker goes, and
// with how many blanks.
#include "SeekEditorPos.h"
#include "ThrowingSource.h"

#include <QtTest>

using namespace kestrel;
using testing::ThrowingSource;

class SeekEditorPosTest : public QObject {
    Q_OBJECT

private slots:
    void walk_data() {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("reached");
        QTest::addColumn<int>("insertAt");
        QTest::addColumn<int>("blanks");

        const QByteArray abc("abc\r\n");
        QTest::newRow("on a character") << abc << 1 << 2 << true << 1 << 0;
        QTest::newRow("first column") << abc << 1 << 1 << true << 0 << 0;
        QTest::newRow("just after the line") << abc << 1 << 4 << true << 3 << 0;
        QTest::newRow("one beyond") << abc << 1 << 5 << true << 3 << 1;
        QTest::newRow("three beyond") << abc << 1 << 7 << true << 3 << 3;
        QTest::newRow("second line") << QByteArray("abc\r\ndef\r\n") << 2 << 2 << true << 6 << 0;
        QTest::newRow("second line beyond")
            << QByteArray("abc\r\nd\r\nxyz\r\n") << 2 << 4 << true << 6 << 2;
        QTest::newRow("empty line beyond")
            << QByteArray("a\r\n\r\nb\r\n") << 2 << 3 << true << 3 << 2;
        QTest::newRow("tab is one column") << QByteArray("\tab\r\n") << 1 << 3 << true << 2 << 0;
        QTest::newRow("lone CR is a column") << QByteArray("a\rb\r\n") << 1 << 3 << true << 2 << 0;
        QTest::newRow("end of a last line without break")
            << QByteArray("abc") << 1 << 4 << true << 3 << 0;
        QTest::newRow("beyond a last line without break")
            << QByteArray("x\r\nabc") << 2 << 6 << true << 6 << 2;
        QTest::newRow("empty line after the final break") << abc << 2 << 1 << true << 5 << 0;
        QTest::newRow("beyond on that empty line") << abc << 2 << 3 << true << 5 << 2;
        QTest::newRow("empty buffer") << QByteArray() << 1 << 1 << true << 0 << 0;
        QTest::newRow("empty buffer, beyond") << QByteArray() << 1 << 4 << true << 0 << 3;
        QTest::newRow("past the last line") << abc << 3 << 1 << false << 0 << 0;
        QTest::newRow("line 0") << abc << 0 << 1 << false << 0 << 0;
        QTest::newRow("column 0") << abc << 1 << 0 << false << 0 << 0;
        QTest::newRow("negative column") << abc << 1 << -3 << false << 0 << 0;
    }

    void walk() {
        QFETCH(QByteArray, buffer);
        QFETCH(int, line);
        QFETCH(int, column);
        MemorySource source(std::string_view(buffer.constData(), buffer.size()));
        const EditorWalk result = SeekEditorPos(source, line, column);
        QTEST(result.reached, "reached");
        if (result.reached) {
            QTEST(result.offset - 1, "insertAt");
            QFETCH(int, blanks);
            QCOMPARE(result.blanks, std::string(static_cast<size_t>(blanks), ' '));
        }
    }

    void failingReadReachesNothing() {
        ThrowingSource source("abc\r\n", 2);
        QVERIFY(!SeekEditorPos(source, 1, 5).reached);
        ThrowingSource early("abc\r\n", 5);
        QVERIFY(SeekEditorPos(early, 1, 2).reached); // reached before the failure
    }
};

QTEST_APPLESS_MAIN(SeekEditorPosTest)
#include "tst_seekeditorpos.moc"
