// The commands against a recording host: every host call in order, the
// releases, the refusals, and host failures.
#include "AddInLoader.h"
#include "ModalAnswer.h"
#include "RecordingHost.h"

#include <QDialog>
#include <QMessageBox>
#include <QSettings>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

using namespace kestrel;
using namespace testhost;
using testing::AnswerNext;
using testing::MessageBoxAnswer;
using testing::ShownWindows;

// The code editor window that the list command looks for.
class TEditWindow : public QWidget {
    Q_OBJECT
};

namespace {

TIExpert* registered = nullptr;

bool Register(TIExpert* expert) {
    registered = expert;
    return true;
}

QStringList After(const QStringList& calls, const QString& first) {
    const qsizetype at = calls.indexOf(first);
    return at < 0 ? QStringList() : calls.mid(at);
}

} // namespace

class CommandHostTest : public QObject {
    Q_OBJECT

    AddInLoader loader;
    QTemporaryDir settingsDir;
    HostLog log;
    std::unique_ptr<Services> services;
    std::unique_ptr<TEditWindow> editWindow;
    std::unique_ptr<QObject> pollers; // this test's modal answers

    void Click(const char* item) {
        MenuNode* node = services->root.Find(item);
        QVERIFY(node != nullptr);
        node->onClick.Code(node->onClick.Data, nullptr);
    }

    // Answers the list window, if it comes, with `inside`; returns whether
    // it came.
    std::shared_ptr<bool> AnswerList(std::function<void(QDialog*)> inside) {
        auto seen = std::make_shared<bool>(false);
        AnswerNext<QDialog>(
            [seen, inside](QDialog* dialog) {
                if (QByteArray(dialog->metaObject()->className()).endsWith("TfrmProc")) {
                    *seen = true;
                    inside(dialog);
                    if (dialog->isVisible()) {
                        dialog->close();
                    }
                }
            },
            pollers.get());
        return seen;
    }

private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    }

    void init() {
        log = HostLog();
        pollers = std::make_unique<QObject>();
        services = std::make_unique<Services>(log);
        services->currentFile = "/src/Unit1.pas";
        services->fileOpen = true;
        services->file.buffer = "unit A;\r\nprocedure P;\r\nabc\r\n";
        FakeEditor::nullReader = false;
        FakeModule::nullEditor = false;
        editWindow = std::make_unique<TEditWindow>();
        const AddInLoader::Loaded addIn = loader.Load(ADDIN_PATH, ENTRY_NAME);
        QVERIFY2(addIn.entry, qPrintable(addIn.error));
        TExpertTerminateProc terminate = nullptr;
        QVERIFY(addIn.entry(services.get(), &Register, &terminate));
        log.calls.clear();
    }

    void cleanup() {
        registered->Release();
        QCOMPARE(log.liveObjects, 0);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        editWindow.reset();
        pollers.reset();
    }

    void listReleasesWhatItObtainedBeforeShowing() {
        QStringList atShow;
        const auto seen = AnswerList([&](QDialog*) { atShow = log.calls; });
        Click("KestrelExpKestrelItem");
        QVERIFY(*seen);
        QCOMPARE(atShow, QStringList({"GetCurrentFile", "IsFileOpen(/src/Unit1.pas)",
                                      "GetModuleInterface(/src/Unit1.pas)", "GetEditorInterface",
                                      "CreateReader", "Release(Reader)", "Release(Editor)",
                                      "Release(Module)"}));
        QCOMPARE(log.calls, atShow); // closed without a choice: no jump
        QCOMPARE(services->file.textReads, int(services->file.buffer.size()) + 1);
    }

    void chosenLineGoesToGotoProcLine() {
        const auto seen = AnswerList([](QDialog* list) {
            QTest::mouseClick(list->findChild<QToolButton*>("btnD"), Qt::LeftButton);
            auto* view = list->findChild<QTreeView*>("lstShowLine");
            view->setCurrentIndex(view->model()->index(1, 0)); // line 2
            QTest::mouseClick(list->findChild<QToolButton*>("btnGo"), Qt::LeftButton);
        });
        Click("KestrelExpKestrelItem");
        QVERIFY(*seen);
        QCOMPARE(After(log.calls, "Release(Module)").mid(1),
                 QStringList({"GetCurrentFile", "GetModuleInterface(/src/Unit1.pas)",
                              "GetEditorInterface", "GetView(0)", "SetPos(0, col 1, line 2)",
                              "SetPos(1, col 1, line 2)", "Release(View)", "Release(Editor)",
                              "Release(Module)"}));
        QCOMPARE(services->file.cursorLine, 2);
        QCOMPARE(services->file.topLine, 2);
    }

    void listNeedsTheEditorWindow() {
        editWindow.reset();
        const ShownWindows shown;
        Click("KestrelExpKestrelItem");
        QVERIFY2(shown.classes.isEmpty(), qPrintable(shown.classes.join(", ")));
        QVERIFY2(log.calls.isEmpty(), qPrintable(log.calls.join(", ")));
    }

    void unopenableFileIsReported_data() {
        QTest::addColumn<QString>("item");
        QTest::newRow("list") << "KestrelExpKestrelItem";
        QTest::newRow("bookmark") << "KestrelExpBookmarkItem";
    }

    void unopenableFileIsReported() {
        QFETCH(QString, item);
        services->fileOpen = false;
        services->openable = false;
        const MessageBoxAnswer answer(QMessageBox::Ok);
        Click(item.toLatin1().constData());
        QCOMPARE(answer.text, QString("Could not open /src/Unit1.pas"));
        QCOMPARE(answer.title, QString("Error"));
        QCOMPARE(answer.icon, QMessageBox::Critical);
        QCOMPARE(log.calls, QStringList({"GetCurrentFile", "IsFileOpen(/src/Unit1.pas)",
                                         "OpenFile(/src/Unit1.pas)"}));
    }

    void openableFileIsOpenedFirst() {
        services->fileOpen = false;
        services->openable = true;
        services->file.cursorColumn = 2;
        Click("KestrelExpBookmarkItem");
        QCOMPARE(log.calls.mid(0, 4),
                 QStringList({"GetCurrentFile", "IsFileOpen(/src/Unit1.pas)",
                              "OpenFile(/src/Unit1.pas)", "GetModuleInterface(/src/Unit1.pas)"}));
    }

    void bookmarkCallsInOrder() {
        services->file.buffer = "abc\r\n";
        services->file.cursorColumn = 5;
        editWindow.reset(); // the bookmark command looks for no window
        Click("KestrelExpBookmarkItem");
        QCOMPARE(log.calls, QStringList({"GetCurrentFile",
                                         "IsFileOpen(/src/Unit1.pas)",
                                         "GetModuleInterface(/src/Unit1.pas)",
                                         "GetEditorInterface",
                                         "GetView(0)",
                                         "GetPos(0)",
                                         "Release(View)",
                                         "CreateReader",
                                         "Release(Reader)",
                                         "CreateWriter",
                                         "CopyTo(3)",
                                         "Insert(' ')",
                                         "Insert('{//*}')",
                                         "Release(Writer)",
                                         "GetView(0)",
                                         "GetPos(0)",
                                         "SetPos(0, col 10, line 1)",
                                         "Release(View)",
                                         "Release(Editor)",
                                         "Release(Module)"}));
        QCOMPARE(services->file.buffer, std::string("abc {//*}\r\n"));
    }

    void bookmarkPastTheLastLineMakesNoEdit() {
        services->file.cursorLine = 9;
        Click("KestrelExpBookmarkItem");
        QVERIFY(!log.calls.contains("CreateWriter"));
        QCOMPARE(log.calls.mid(log.calls.size() - 3),
                 QStringList({"Release(Reader)", "Release(Editor)", "Release(Module)"}));
        QCOMPARE(services->file.buffer, std::string("unit A;\r\nprocedure P;\r\nabc\r\n"));
    }

    void missingHostObjectsEndQuietly_data() {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("last");
        for (const char* item : {"KestrelExpKestrelItem", "KestrelExpBookmarkItem"}) {
            const QString i = item;
            QTest::newRow(qPrintable("module, " + i))
                << "module" << i << "GetModuleInterface(/src/Unit1.pas)";
            QTest::newRow(qPrintable("editor, " + i)) << "editor" << i << "Release(Module)";
        }
        QTest::newRow("reader, list") << "reader"
                                      << "KestrelExpKestrelItem"
                                      << "Release(Module)";
        QTest::newRow("reader, bookmark") << "reader"
                                          << "KestrelExpBookmarkItem"
                                          << "Release(Module)";
    }

    void missingHostObjectsEndQuietly() {
        QFETCH(QString, missing);
        QFETCH(QString, item);
        services->hasModule = missing != "module";
        FakeModule::nullEditor = missing == "editor";
        FakeEditor::nullReader = missing == "reader";
        const ShownWindows shown;
        Click(item.toLatin1().constData());
        QVERIFY2(shown.classes.isEmpty(), qPrintable(shown.classes.join(", ")));
        QTEST(log.calls.last(), "last");
        QVERIFY(!log.calls.contains("CreateWriter"));
    }

    void hostFailureReleasesEverything_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("throwOn");
        QTest::addColumn<QStringList>("releases");
        QTest::newRow("list, CreateReader")
            << "KestrelExpKestrelItem"
            << "CreateReader" << QStringList{"Release(Editor)", "Release(Module)"};
        QTest::newRow("bookmark, CreateWriter")
            << "KestrelExpBookmarkItem"
            << "CreateWriter"
            << QStringList{"Release(View)", "Release(Reader)", "Release(Editor)",
                           "Release(Module)"};
        QTest::newRow("bookmark, SetPos")
            << "KestrelExpBookmarkItem"
            << "SetPos" << QStringList{"Release(View)", "Release(Reader)", "Release(Writer)",
                                       "Release(View)", "Release(Editor)", "Release(Module)"};
        QTest::newRow("bookmark, GetPos")
            << "KestrelExpBookmarkItem"
            << "GetPos" << QStringList{"Release(View)", "Release(Editor)", "Release(Module)"};
    }

    void hostFailureReleasesEverything() {
        QFETCH(QString, item);
        QFETCH(QString, throwOn);
        services->file.cursorColumn = 2;
        log.throwOn = throwOn;
        const ShownWindows shown;
        bool threw = false;
        try {
            Click(item.toLatin1().constData());
        } catch (const std::runtime_error&) {
            threw = true;
        }
        log.throwOn.clear();
        QVERIFY(threw);
        QVERIFY2(shown.classes.isEmpty(), qPrintable(shown.classes.join(", ")));
        QStringList releases;
        for (const QString& call : log.calls) {
            if (call.startsWith("Release")) {
                releases << call;
            }
        }
        QTEST(releases, "releases");
    }

    void failingReadEndsTheScanQuietly() {
        log.throwOn = "GetText"; // throws at offset 3
        QStringList rows;
        const auto seen = AnswerList([&](QDialog* list) {
            auto* view = list->findChild<QTreeView*>("lstShowLine");
            for (int r = 0; r < view->model()->rowCount(); ++r) {
                rows << view->model()->index(r, 0).data().toString();
            }
        });
        Click("KestrelExpKestrelItem");
        log.throwOn.clear();
        QVERIFY(*seen);
        QVERIFY(rows.isEmpty());
        // The bookmark walk reaches nothing through a failing reader.
        log.throwOn = "GetText";
        services->file.cursorColumn = 7;
        Click("KestrelExpBookmarkItem");
        log.throwOn.clear();
        QVERIFY(!log.calls.contains("CreateWriter"));
    }
};

QTEST_MAIN(CommandHostTest)
#include "tst_commandhost.moc"
