// The buffer as the host's readers and writers see it: read where the editor
// holds it while that is the buffer's bytes, copied when it is not or when
// the text changes under a snapshot still held.
#include "DisplayText.h"
#include "EditedStretch.h"
#include "EditorDocument.h"
#include "TestFiles.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace workbench;
using namespace testing;

class HostBytesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    EditorDocument* Open(const char* name, const QByteArray& bytes) {
        kestrel::FileStatus status;
        return EditorDocument::Load(WriteFile(dir, name, bytes), status, this);
    }

private slots:
    // After random edits of a text that was in the buffer's form, judging
    // the stretch the edits cover agrees with judging the whole text.
    void theEditedStretchJudgesAsTheWholeText() {
        const char* const pieces[] = {"a",       "\r\n",     "\r",       "\n",   "\xEF\xA0\x8D",
                                      "\xEF",    "\xEF\xA0", "\xA0\x8D", "\x8D", "\xC3\xA9",
                                      "ab\r\ncd"};
        QRandomGenerator random(29);
        int judged = 0;
        const auto piece = [&] {
            return std::string(pieces[random.bounded(int(std::size(pieces)))]);
        };
        for (int round = 0; round < 5000; ++round) {
            // A text in the form, random enough to hold parts of pairs and
            // stand-ins that an edit can complete.
            std::string text;
            for (int n = random.bounded(8); n > 0; --n) {
                text += piece();
            }
            if (!InBufferForm(text)) {
                continue;
            }
            EditedStretch stretch;
            for (int edit = random.bounded(1, 6); edit > 0; --edit) {
                const size_t at = random.bounded(static_cast<quint32>(text.size() + 1));
                if (random.bounded(2) == 0) {
                    const std::string inserted = piece();
                    text.insert(at, inserted);
                    stretch.Inserted(at, inserted.size());
                } else {
                    const size_t length = std::min<size_t>(random.bounded(4), text.size() - at);
                    text.erase(at, length);
                    stretch.Deleted(at, length);
                }
            }
            QVERIFY2(StretchInBufferForm(text, stretch.From(), stretch.To()) == InBufferForm(text),
                     QByteArray::fromStdString(text).toPercentEncoding().constData());
            judged += InBufferForm(text) ? 0 : 1;
        }
        QVERIFY(judged > 200); // the edits did break the form, often
    }

    // Whatever the text holds, a snapshot has the buffer's bytes; it reads
    // them in place only where the text is those bytes.
    void snapshotsHoldTheBufferAndReadInPlaceWhereTheyCan_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("typed"); // pasted at the start of line 2
        QTest::addColumn<bool>("inPlace");
        const QByteArray unit = "unit A;\r\ninterface\r\nend.\r\n";
        QTest::newRow("as loaded") << unit << QByteArray() << true;
        QTest::newRow("bare LF file")
            << QByteArray("unit A;\ninterface\nend.\n") << QByteArray() << true;
        QTest::newRow("typed") << unit << QByteArray("x") << true;
        QTest::newRow("a line break typed") << unit << QByteArray("x\r\n") << true;
        QTest::newRow("accented") << unit << QByteArray("\xC3\xA9") << true;
        QTest::newRow("lone LF pasted") << unit << QByteArray("x\ny") << false;
        QTest::newRow("lone CR pasted") << unit << QByteArray("x\ry") << false;
        QTest::newRow("lone CR in the file")
            << QByteArray("unit A;\rend.\r\n") << QByteArray() << false;
        QTest::newRow("Windows-1252")
            << QByteArray("unit \xE9;\r\nend.\r\n") << QByteArray() << false;
        QTest::newRow("bytes that are not UTF-8 put in")
            << unit << QByteArray("\xC3x\xF0\x8F\xA0\x8D") << false;
    }

    void snapshotsHoldTheBufferAndReadInPlaceWhereTheyCan() {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, typed);
        QFETCH(bool, inPlace);
        EditorDocument* document = Open("unit.pas", file);
        QVERIFY(document != nullptr);
        ScintillaText* text = document->MakeView();
        if (!typed.isEmpty()) {
            // As the add-in's writer puts bytes in: unchecked.
            text->SendScintilla(QsciScintillaBase::SCI_INSERTTEXT,
                                text->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, 1),
                                typed.constData());
        }
        const std::shared_ptr<const BufferSnapshot> snapshot = document->HostBytes();
        QCOMPARE(snapshot->IsInPlace(), inPlace);
        QCOMPARE(std::string(snapshot->Bytes()), *document->BufferBytes());
        // One, not a copy each, until the text changes.
        QCOMPARE(document->HostBytes()->Bytes().data(), snapshot->Bytes().data());

        // A snapshot held across an edit keeps the text it was taken of.
        const std::string before(snapshot->Bytes());
        text->insertAt("z", 0, 0);
        QVERIFY(!snapshot->IsInPlace());
        QCOMPARE(std::string(snapshot->Bytes()), before);
        QCOMPARE(std::string(document->HostBytes()->Bytes()), "z" + before);
        delete document;
    }

    // A pasted lone line end undone: the text is the buffer's bytes again,
    // and once a copy has shown it, snapshots read in place again.
    void inPlaceAgainOnceTheTextIsTheBufferAgain() {
        EditorDocument* document = Open("undo.pas", "unit A;\r\nend.\r\n");
        ScintillaText* text = document->MakeView();
        text->insertAt("\n", 1, 0);
        QVERIFY(!document->HostBytes()->IsInPlace());
        text->undo();
        QCOMPARE(std::string(document->HostBytes()->Bytes()), "unit A;\r\nend.\r\n");
        QVERIFY(document->HostBytes()->IsInPlace());
        delete document;
    }

    // A snapshot held while its document is reloaded with the same text in
    // another encoding, or while the document goes, keeps the bytes it was
    // taken of; the next reader sees the reloaded buffer.
    void heldSnapshotsOutliveReloadsAndTheirDocument() {
        const QByteArray utf8 = "unit \xC3\xA9;\r\nend.\r\n";
        EditorDocument* document = Open("reload.pas", utf8);
        const std::shared_ptr<const BufferSnapshot> held = document->HostBytes();
        QVERIFY(held->IsInPlace());
        const QByteArray windows1252 = "unit \xE9;\r\nend.\r\n";
        document->Reload(windows1252.toStdString(), FileStamp());
        QCOMPARE(std::string(held->Bytes()), utf8.toStdString());
        QCOMPARE(std::string(document->HostBytes()->Bytes()), windows1252.toStdString());

        delete document;

        document = Open("gone.pas", utf8);
        const std::shared_ptr<const BufferSnapshot> last = document->HostBytes();
        QVERIFY(last->IsInPlace());
        delete document;
        QCOMPARE(std::string(last->Bytes()), utf8.toStdString());
    }

    // Insertions are placed alike from a snapshot read in place and from a
    // copy: inside a character they go before it, between CR and LF before
    // the CR, past the end at the end.
    void insertionsArePlacedAlikeInPlaceAndFromACopy() {
        const std::string unit = "\xC3\xA9t\xC3\xA9\r\nab\r\n\r\nend.";
        EditorDocument* document = Open("place.pas", QByteArray::fromStdString(unit));
        const std::shared_ptr<const BufferSnapshot> inPlace = document->HostBytes();
        QVERIFY(inPlace->IsInPlace());
        const std::shared_ptr<const BufferSnapshot> copy =
            BufferSnapshot::Of(std::make_shared<const std::string>(unit));
        for (int32_t offset = -1; offset <= static_cast<int32_t>(unit.size()) + 2; ++offset) {
            const std::vector<EditorDocument::Insertion> insertions = {{offset, "{//*}"}};
            const auto a = document->PlaceInsertions(*inPlace, insertions);
            const auto b = document->PlaceInsertions(*copy, insertions);
            QCOMPARE(a.size(), b.size());
            for (size_t i = 0; i < a.size(); ++i) {
                QCOMPARE(a[i].position, b[i].position);
                QCOMPARE(a[i].display, b[i].display);
            }
        }
        delete document;
    }
};

QTEST_MAIN(HostBytesTest)
#include "tst_hostbytes.moc"
