// Reading a file or a pipe to its end under a limit, and writing at an
// offset, through real descriptors.
#include "FileDescriptor.h"
#include "ReadToEnd.h"
#include "WriteAll.h"

#include <QTemporaryFile>
#include <QtTest>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <thread>

using namespace kestrel;

Q_DECLARE_METATYPE(kestrel::ReadEnd)

class FileIoTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { std::signal(SIGPIPE, SIG_IGN); }

    void readToEnd_data() {
        QTest::addColumn<bool>("pipe");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("expected"); // the size the file reports
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("cancelAfter"); // bytes; 0 never cancels
        QTest::addColumn<ReadEnd>("end");
        QTest::newRow("file, exactly the limit")
            << false << 1000 << 1000 << 1000 << 0 << ReadEnd::Complete;
        QTest::newRow("file, one byte over")
            << false << 1001 << 1001 << 1000 << 0 << ReadEnd::TooLarge;
        QTest::newRow("file grew since") << false << 5000 << 10 << 100000 << 0 << ReadEnd::Complete;
        QTest::newRow("file shrank since")
            << false << 10 << 5000 << 100000 << 0 << ReadEnd::Complete;
        QTest::newRow("empty file") << false << 0 << 0 << 100 << 0 << ReadEnd::Complete;
        QTest::newRow("pipe, many reads")
            << true << 300000 << 0 << (1 << 20) << 0 << ReadEnd::Complete;
        QTest::newRow("pipe, over the limit")
            << true << 300000 << 0 << 200000 << 0 << ReadEnd::TooLarge;
        QTest::newRow("pipe, cancelled")
            << true << 300000 << 0 << (1 << 20) << 1 << ReadEnd::Cancelled;
    }

    void readToEnd() {
        QFETCH(bool, pipe);
        QFETCH(int, size);
        QFETCH(int, expected);
        QFETCH(int, limit);
        QFETCH(int, cancelAfter);
        QByteArray content(size, '\0');
        for (int i = 0; i < size; ++i) {
            content[i] = static_cast<char>('a' + i % 26);
        }
        QTemporaryFile file;
        int ends[2] = {-1, -1};
        std::thread writer;
        if (pipe) {
            QVERIFY(::pipe(ends) == 0);
            writer = std::thread([&] {
                WriteAll(ends[1], {content.constData(), static_cast<size_t>(size)});
                ::close(ends[1]);
            });
        } else {
            QVERIFY(file.open() && file.write(content) == size && file.flush());
            ends[0] = ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY);
        }
        FileDescriptor input(ends[0]);
        std::string bytes = "left over";
        const ReadEnd end =
            ReadToEnd(input.Get(), bytes, static_cast<size_t>(expected), static_cast<size_t>(limit),
                      [cancelAfter](size_t read) {
                          return cancelAfter == 0 || read < static_cast<size_t>(cancelAfter);
                      });
        input.Close(); // a writer still writing gets EPIPE and ends
        if (writer.joinable()) {
            writer.join();
        }
        QTEST(end, "end");
        QCOMPARE(QByteArray::fromStdString(bytes),
                 end == ReadEnd::Complete ? content : QByteArray());
    }

    void failuresKeepErrno() {
        std::string bytes = "x";
        errno = 0;
        QCOMPARE(ReadToEnd(-1, bytes, 0, 100), ReadEnd::Failed);
        QCOMPARE(errno, EBADF);
        QVERIFY(bytes.empty());
        int ends[2];
        QVERIFY(::pipe(ends) == 0);
        ::close(ends[0]);
        const FileDescriptor output(ends[1]);
        QVERIFY(!WriteAll(output.Get(), "gone"));
        QCOMPARE(errno, EPIPE);
    }

    void writeAllAtLeavesTheOffset() {
        QTemporaryFile file;
        QVERIFY(file.open() && file.write("0123456789") == 10 && file.flush());
        const FileDescriptor fd(::open(QFile::encodeName(file.fileName()).constData(), O_RDWR));
        QVERIFY(WriteAllAt(fd.Get(), "ab", 4));
        QVERIFY(WriteAll(fd.Get(), "XY"));
        std::string bytes;
        QVERIFY(::lseek(fd.Get(), 0, SEEK_SET) == 0);
        QCOMPARE(ReadToEnd(fd.Get(), bytes, 0, 100), ReadEnd::Complete);
        QCOMPARE(bytes, std::string("XY23ab6789"));
    }
};

QTEST_APPLESS_MAIN(FileIoTest)
#include "tst_fileio.moc"
