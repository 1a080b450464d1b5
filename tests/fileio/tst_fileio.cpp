// Reading a file or a pipe to its end under a limit, reading by path under
// a policy, and writing at an offset, through real files, FIFOs and devices.
#include "ErrnoText.h"
#include "FileDescriptor.h"
#include "MappedFile.h"
#include "ReadFile.h"
#include "ReadToEnd.h"
#include "WindowsPaths.h"
#include "WriteAll.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

using namespace kestrel;

Q_DECLARE_METATYPE(kestrel::ReadEnd)
Q_DECLARE_METATYPE(kestrel::FileKind)

namespace {

// What stands at the path a readFile case reads.
enum class Source { File, Folder, Fifo, FifoWithWriter, DevZero, Missing };

} // namespace

Q_DECLARE_METATYPE(Source)

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
        // Left from a longer read: room past the limit must not hide a
        // source over it, nor old bytes show through.
        std::string bytes(4096, '?');
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

    void readFile_data() {
        QTest::addColumn<Source>("source");
        QTest::addColumn<bool>("streams");
        QTest::addColumn<int>("fileLimit");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<ReadEnd>("end");
        QTest::addColumn<FileKind>("kind");
        const int none = -1;
        QTest::newRow("file") << Source::File << false << none << false << ReadEnd::Complete
                              << FileKind::Regular;
        QTest::newRow("file of exactly the limit")
            << Source::File << false << 26 << false << ReadEnd::Complete << FileKind::Regular;
        QTest::newRow("file over the limit")
            << Source::File << false << 25 << false << ReadEnd::TooLarge << FileKind::Regular;
        QTest::newRow("file, cancelled")
            << Source::File << false << none << true << ReadEnd::Cancelled << FileKind::Regular;
        QTest::newRow("folder") << Source::Folder << true << none << false << ReadEnd::Refused
                                << FileKind::Folder;
        QTest::newRow("FIFO without a writer, streams refused: no wait")
            << Source::Fifo << false << none << false << ReadEnd::Refused << FileKind::Fifo;
        QTest::newRow("FIFO, streams allowed") << Source::FifoWithWriter << true << none << false
                                               << ReadEnd::Complete << FileKind::Fifo;
        QTest::newRow("device, streams allowed")
            << Source::DevZero << true << none << false << ReadEnd::Refused << FileKind::Device;
        QTest::newRow("missing") << Source::Missing << false << none << false << ReadEnd::Failed
                                 << FileKind::Other;
    }

    // Each case reads into storage that an earlier read filled: what it
    // holds afterwards is this read's bytes, or nothing.
    void readFile() {
        QFETCH(Source, source);
        QFETCH(bool, streams);
        QFETCH(int, fileLimit);
        QFETCH(bool, cancel);
        QFETCH(ReadEnd, end);
        const QByteArray content = "abcdefghijklmnopqrstuvwxyz";
        QTemporaryDir dir;
        const QString file = dir.filePath("unit.pas");
        QFile write(file);
        QVERIFY(write.open(QIODevice::WriteOnly) && write.write(content) == content.size());
        write.close();
        std::string path = QFile::encodeName(file).toStdString();
        std::thread writer;
        switch (source) {
        case Source::File:
            break;
        case Source::Folder:
            path = QFile::encodeName(dir.path()).toStdString();
            break;
        case Source::Fifo:
        case Source::FifoWithWriter:
            path += ".fifo";
            QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
            if (source == Source::FifoWithWriter) {
                writer = std::thread([&] {
                    const FileDescriptor out(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
                    WriteAll(out.Get(), content.toStdString());
                });
            }
            break;
        case Source::DevZero:
            path = "/dev/zero";
            break;
        case Source::Missing:
            path += ".gone";
            break;
        }
        FileBytes bytes;
        QVERIFY(ReadFile(QFile::encodeName(file).toStdString(), {}, bytes));
        ReadPolicy policy;
        policy.streams = streams;
        if (fileLimit >= 0) {
            policy.fileLimit = static_cast<size_t>(fileLimit);
        }
        size_t heardTotal = SIZE_MAX;
        policy.progress = [&](size_t, size_t total) {
            heardTotal = total;
            return !cancel;
        };
        const FileRead read = ReadFile(path, policy, bytes);
        if (writer.joinable()) {
            writer.join();
        }
        QCOMPARE(read.end, end);
        QTEST(read.kind, "kind");
        QCOMPARE(QByteArray(bytes.View().data(), static_cast<qsizetype>(bytes.Size())),
                 end == ReadEnd::Complete ? content : QByteArray());
        if (end == ReadEnd::Complete || end == ReadEnd::Cancelled) {
            QCOMPARE(heardTotal, read.kind == FileKind::Regular ? size_t(26) : size_t(0));
        }
        if (end == ReadEnd::Failed) {
            QCOMPARE(read.error, ENOENT);
            QCOMPARE(ErrnoText(read.error), std::string(std::strerror(ENOENT)));
        }
    }

    // A text handed out and given back is written over by the next read,
    // of a shorter file and of a longer one.
    void givenBackStorageHoldsTheNextRead() {
        QTemporaryDir dir;
        const std::string longText(5000, 'a');
        const std::string shortText = "unit U;";
        FileBytes bytes;
        for (const std::string& content : {longText, shortText, longText}) {
            const std::string path = QFile::encodeName(dir.filePath("unit.pas")).toStdString();
            const FileDescriptor out(
                ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
            QVERIFY(WriteAll(out.Get(), content));
            QVERIFY(ReadFile(path, {}, bytes));
            QCOMPARE(bytes.View(), std::string_view(content));
            bytes.GiveBack(bytes.Take());
            QVERIFY(bytes.View().empty());
        }
    }

    // Another program grows or shrinks the file between two reads: the
    // bytes would be part old, part new, so none are taken.
    void fileChangedWhileReadIsRefused_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("grown") << "printf more >>\"$0\"";
        QTest::newRow("shrunk") << "truncate -s 5 \"$0\"";
    }

    void fileChangedWhileReadIsRefused() {
        QFETCH(QString, command);
        QTemporaryDir dir;
        const QString file = dir.filePath("unit.pas");
        QFile write(file);
        QVERIFY(write.open(QIODevice::WriteOnly) && write.write("unit U; interface end.\n") > 0);
        write.close();
        ReadPolicy policy;
        bool changed = false;
        policy.progress = [&](size_t, size_t) {
            if (!changed) {
                changed = QProcess::execute("sh", {"-c", command, file}) == 0;
            }
            return true;
        };
        FileBytes bytes;
        const FileRead read = ReadFile(QFile::encodeName(file).toStdString(), policy, bytes);
        QVERIFY(changed);
        QCOMPARE(read.end, ReadEnd::Changed);
        QCOMPARE(bytes.Size(), size_t(0));
        // Read again once the writer is done, the file is taken.
        QVERIFY(ReadFile(QFile::encodeName(file).toStdString(), {}, bytes));
    }

    void streamOverItsLimit() {
        int ends[2];
        QVERIFY(::pipe(ends) == 0);
        const FileDescriptor input(ends[0]);
        {
            const FileDescriptor output(ends[1]);
            QVERIFY(WriteAll(output.Get(), std::string(100, 'x')));
        }
        ReadPolicy policy;
        policy.streams = true;
        policy.streamLimit = 99;
        FileBytes bytes;
        const FileRead read = ReadOpenFile(input.Get(), policy, bytes);
        QCOMPARE(read.end, ReadEnd::TooLarge);
        QCOMPARE(read.kind, FileKind::Fifo);
        QCOMPARE(bytes.Size(), size_t(0));
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

    // A mapped file cut short by another program reads as zeros from the
    // page past its new end, with no SIGBUS, and says so; one left alone
    // reads as it is.
    // The Windows build's paths, worked out here as on Windows: the form the
    // wide calls take, and the names Windows reads as something else.
    void windowsPathForms() {
        const struct {
            const char* path;
            const char16_t* full; // the full form, as GetFullPathNameW gives it
            const char* text;
            const char16_t* longForm;
            int problem;
        } cases[] = {
            {"/c:/Users/me/Unit1.pas", u"c:\\Users\\me\\Unit1.pas", "c:\\Users\\me\\Unit1.pas",
             u"\\\\?\\c:\\Users\\me\\Unit1.pas", 0},
            {"C:\\src/sub\\U.pas", u"C:\\src\\sub\\U.pas", "C:\\src\\sub\\U.pas",
             u"\\\\?\\C:\\src\\sub\\U.pas", 0},
            {"//server/share/U.pas", u"\\\\server\\share\\U.pas", "\\\\server\\share\\U.pas",
             u"\\\\?\\UNC\\server\\share\\U.pas", 0},
            {"\\\\?\\C:\\x.pas", u"\\\\?\\C:\\x.pas", "\\\\?\\C:\\x.pas", u"\\\\?\\C:\\x.pas", 0},
            {"src/NUL.pas", u"", "src\\NUL.pas", u"", kReservedNameError},
            {"/c:/con", u"", "c:\\con", u"", kReservedNameError},
            {"Com7 .txt", u"", "Com7 .txt", u"", kReservedNameError},
            {"lpt1\\a.pas", u"", "lpt1\\a.pas", u"", kReservedNameError},
            {"Unit1.pas:zone", u"", "Unit1.pas:zone", u"", kDataStreamError},
            {"/c:/dir:x/U.pas", u"", "c:\\dir:x\\U.pas", u"", kDataStreamError},
            {"Console.pas", u"", "Console.pas", u"", 0},
            {"COM10.pas", u"", "COM10.pas", u"", 0},
        };
        for (const auto& c : cases) {
            QCOMPARE(WindowsPathText(c.path), std::string(c.text));
            QCOMPARE(WindowsNameProblem(c.path), c.problem);
            if (*c.full != 0) {
                QVERIFY(LongPathForm(c.full) == c.longForm);
            }
        }
        QVERIFY(!ErrnoText(kSharingViolationError).empty() &&
                ErrnoText(kSharingViolationError) != ErrnoText(EIO));
    }

    // UTF-8 to UTF-16 and back for names outside any code page; bytes that
    // are not UTF-8 name nothing on Windows.
    void windowsNamesInUtf16() {
        for (const std::string name :
             {"plain.pas", "caf\xC3\xA9.pas", "\xE6\x97\xA5\xE6\x9C\xAC.pas",
              "\xF0\x9F\x98\x80.pas", ""}) {
            const auto utf16 = Utf16OfUtf8(name);
            QVERIFY(utf16.has_value());
            QCOMPARE(Utf8OfUtf16(*utf16), name);
        }
        QVERIFY(*Utf16OfUtf8("\xF0\x9F\x98\x80") == u"\U0001F600");
        for (const std::string bad :
             {"caf\xE9", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE6\x97"}) {
            QVERIFY2(!Utf16OfUtf8(bad), bad.c_str());
        }
        QCOMPARE(Utf8OfUtf16(u"a\xD800"
                             u"b"),
                 std::string("a\xEF\xBF\xBD"
                             "b"));
    }

    void mappedFileCutShort_data() {
        QTest::addColumn<int>("cutTo"); // -1: not cut
        QTest::addColumn<bool>("cutShort");
        QTest::newRow("left alone") << -1 << false;
        QTest::newRow("cut to nothing") << 0 << true;
        QTest::newRow("cut inside the second page") << 5000 << true;
        QTest::newRow("cut at the last page") << 3 * 4096 << true;
    }
    void mappedFileCutShort() {
        QFETCH(int, cutTo);
        QFETCH(bool, cutShort);
        QTemporaryFile file;
        const QByteArray content(4 * 4096 + 100, 'k');
        QVERIFY(file.open() && file.write(content) == content.size() && file.flush());
        MappedFile mapped;
        {
            const FileDescriptor fd(
                ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY));
            QVERIFY(mapped.Map(fd.Get(), static_cast<size_t>(content.size())));
        }
        if (cutTo >= 0) {
            QVERIFY(file.resize(cutTo));
        }
        const std::string_view bytes = mapped.Bytes();
        const long sum = std::accumulate(bytes.begin(), bytes.end(), 0L);
        QCOMPARE(mapped.CutShort(), cutShort);
        // The bytes still in the file are kept; the rest read as zeros.
        QCOMPARE(sum, static_cast<long>(cutTo < 0 ? content.size() : cutTo) * 'k');
        mapped.Unmap();
        QVERIFY(!mapped.CutShort());
    }

    // A SIGBUS that is no mapped file's is still the fault it was: the
    // process ends by it, and does not hang on the faulting read.
    void otherBusErrorsStillEndTheProcess() {
        QTemporaryFile file;
        QVERIFY(file.open() && file.write(QByteArray(8192, 'x')) == 8192 && file.flush());
        const int fd = ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(20);
            MappedFile mapped; // puts the handler in place
            mapped.Map(fd, 8192);
            mapped.Unmap();
            auto* const other =
                static_cast<volatile char*>(::mmap(nullptr, 8192, PROT_READ, MAP_PRIVATE, fd, 0));
            ::ftruncate(::open(QFile::encodeName(file.fileName()).constData(), O_WRONLY), 0);
            ::_exit(other[4096] == 'x' ? 0 : 1);
        }
        ::close(fd);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS,
                 qPrintable(QString::number(status)));
    }
};

QTEST_APPLESS_MAIN(FileIoTest)
#include "tst_fileio.moc"
