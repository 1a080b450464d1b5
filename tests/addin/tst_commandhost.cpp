// The commands against a recording host: every host call in order, the
// releases, the refusals, and host failures. The commands library is linked
// directly; the services reach each command as its argument.
#include "BookmarkCommand.h"
#include "GotoLine.h"
#include "ListCommand.h"
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

QStringList After(const QStringList& calls, const QString& first) {
    const qsizetype at = calls.indexOf(first);
    return at < 0 ? QStringList() : calls.mid(at);
}

} // namespace

class CommandHostTest : public QObject {
    Q_OBJECT

    QTemporaryDir settingsDir;
    HostLog log;
    std::unique_ptr<Services> services;
    std::unique_ptr<TEditWindow> editWindow;
    std::unique_ptr<QObject> pollers; // this test's modal answers

    // Runs "list" or "bookmark"; the list command's chosen line, else 0.
    int32_t Run(const QString& command) {
        if (command == "bookmark") {
            InsertBookmark(services.get());
            return 0;
        }
        return ChooseSymbolLine(services.get());
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
    }

    void cleanup() {
        QCOMPARE(log.liveObjects, 0);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        editWindow.reset();
        pollers.reset();
    }

    void listReleasesWhatItObtainedBeforeShowing() {
        QStringList atShow;
        const auto seen = AnswerList([&](QDialog*) { atShow = log.calls; });
        QCOMPARE(Run("list"), 0);
        QVERIFY(*seen);
        QCOMPARE(atShow, QStringList({"GetCurrentFile", "IsFileOpen(/src/Unit1.pas)",
                                      "GetModuleInterface(/src/Unit1.pas)", "GetEditorInterface",
                                      "CreateReader", "Release(Reader)", "Release(Editor)",
                                      "Release(Module)"}));
        QCOMPARE(log.calls, atShow); // closed without a choice: no jump
        QCOMPARE(services->file.textReads, int(services->file.buffer.size()) + 1);
    }

    void chosenLineIsReturnedAndGoneTo() {
        const auto seen = AnswerList([](QDialog* list) {
            QTest::mouseClick(list->findChild<QToolButton*>("btnD"), Qt::LeftButton);
            auto* view = list->findChild<QTreeView*>("lstShowLine");
            view->setCurrentIndex(view->model()->index(1, 0)); // line 2
            QTest::mouseClick(list->findChild<QToolButton*>("btnGo"), Qt::LeftButton);
        });
        QCOMPARE(Run("list"), 2);
        QVERIFY(*seen);
        GotoLine(services.get(), 2);
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
        QCOMPARE(Run("list"), 0);
        GotoLine(services.get(), 2);
        QVERIFY2(shown.classes.isEmpty(), qPrintable(shown.classes.join(", ")));
        QVERIFY2(log.calls.isEmpty(), qPrintable(log.calls.join(", ")));
    }

    void unopenableFileIsReported_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("list") << "list";
        QTest::newRow("bookmark") << "bookmark";
    }

    void unopenableFileIsReported() {
        QFETCH(QString, command);
        services->fileOpen = false;
        services->openable = false;
        const MessageBoxAnswer answer(QMessageBox::Ok);
        Run(command);
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
        Run("bookmark");
        QCOMPARE(log.calls.mid(0, 4),
                 QStringList({"GetCurrentFile", "IsFileOpen(/src/Unit1.pas)",
                              "OpenFile(/src/Unit1.pas)", "GetModuleInterface(/src/Unit1.pas)"}));
    }

    void bookmarkCallsInOrder() {
        services->file.buffer = "abc\r\n";
        services->file.cursorColumn = 5;
        editWindow.reset(); // the bookmark command looks for no window
        Run("bookmark");
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
        Run("bookmark");
        QVERIFY(!log.calls.contains("CreateWriter"));
        QCOMPARE(log.calls.mid(log.calls.size() - 3),
                 QStringList({"Release(Reader)", "Release(Editor)", "Release(Module)"}));
        QCOMPARE(services->file.buffer, std::string("unit A;\r\nprocedure P;\r\nabc\r\n"));
    }

    void missingHostObjectsEndQuietly_data() {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("last");
        for (const char* command : {"list", "bookmark"}) {
            const QString i = command;
            QTest::newRow(qPrintable("module, " + i))
                << "module" << i << "GetModuleInterface(/src/Unit1.pas)";
            QTest::newRow(qPrintable("editor, " + i)) << "editor" << i << "Release(Module)";
        }
        QTest::newRow("reader, list") << "reader"
                                      << "list"
                                      << "Release(Module)";
        QTest::newRow("reader, bookmark") << "reader"
                                          << "bookmark"
                                          << "Release(Module)";
    }

    void missingHostObjectsEndQuietly() {
        QFETCH(QString, missing);
        QFETCH(QString, command);
        services->hasModule = missing != "module";
        FakeModule::nullEditor = missing == "editor";
        FakeEditor::nullReader = missing == "reader";
        const ShownWindows shown;
        QCOMPARE(Run(command), 0);
        QVERIFY2(shown.classes.isEmpty(), qPrintable(shown.classes.join(", ")));
        QTEST(log.calls.last(), "last");
        QVERIFY(!log.calls.contains("CreateWriter"));
    }

    void hostFailureReleasesEverything_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("throwOn");
        QTest::addColumn<QStringList>("releases");
        QTest::newRow("list, CreateReader")
            << "list"
            << "CreateReader" << QStringList{"Release(Editor)", "Release(Module)"};
        QTest::newRow("bookmark, CreateWriter")
            << "bookmark"
            << "CreateWriter"
            << QStringList{"Release(View)", "Release(Reader)", "Release(Editor)",
                           "Release(Module)"};
        QTest::newRow("bookmark, SetPos")
            << "bookmark"
            << "SetPos" << QStringList{"Release(View)", "Release(Reader)", "Release(Writer)",
                                       "Release(View)", "Release(Editor)", "Release(Module)"};
        QTest::newRow("bookmark, GetPos")
            << "bookmark"
            << "GetPos" << QStringList{"Release(View)", "Release(Editor)", "Release(Module)"};
    }

    void hostFailureReleasesEverything() {
        QFETCH(QString, command);
        QFETCH(QString, throwOn);
        services->file.cursorColumn = 2;
        log.throwOn = throwOn;
        const ShownWindows shown;
        bool threw = false;
        try {
            Run(command);
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
        Run("list");
        log.throwOn.clear();
        QVERIFY(*seen);
        QVERIFY(rows.isEmpty());
        // The bookmark walk reaches nothing through a failing reader.
        log.throwOn = "GetText";
        services->file.cursorColumn = 7;
        Run("bookmark");
        log.throwOn.clear();
        QVERIFY(!log.calls.contains("CreateWriter"));
    }
};

QTEST_MAIN(CommandHostTest)
#include "tst_commandhost.moc"
