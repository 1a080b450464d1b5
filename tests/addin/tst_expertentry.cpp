// The add-in's entry point and expert, loaded with dlopen and driven only
// through the entry and the expert's slots, against a recording host.
#include "AddInLoader.h"
#include "RecordingHost.h"

#include <QtTest>

using namespace kestrel;
using namespace testhost;

namespace {

// The registration callback has no context argument, so the expert it is
// given lands here.
TIExpert* registeredExpert = nullptr;
int registrations = 0;

bool RecordRegistration(TIExpert* expert) {
    registeredExpert = expert;
    ++registrations;
    return true;
}

void SomeTermination() {}

QString TakeText(kestrel::HostText text) {
    HostString owned(text);
    return QString::fromUtf8(owned.View());
}

// Calls a slot by position, as a host that knows only the table does.
void* CallSlot(TIExpert* expert, int slot) {
    using Fn = void* (*)(TIExpert*);
    auto* table = *reinterpret_cast<Fn**>(expert);
    return table[slot](expert);
}

} // namespace

class ExpertEntryTest : public QObject {
    Q_OBJECT

    AddInLoader loader;

    struct Session {
        HostLog log;
        std::unique_ptr<Services> services;
        AddInLoader::Loaded addIn;
        TExpertTerminateProc terminate = &SomeTermination;
        bool result = false;
    };

    std::unique_ptr<Session> Start(const std::function<void(Session&)>& prepare = {}) {
        auto session = std::make_unique<Session>();
        session->services = std::make_unique<Services>(session->log);
        session->addIn = loader.Load(ADDIN_PATH, ENTRY_NAME);
        registeredExpert = nullptr;
        registrations = 0;
        if (prepare) {
            prepare(*session);
        }
        return session;
    }

    static void Enter(Session& s) {
        s.result = s.addIn.entry(s.services.get(), &RecordRegistration, &s.terminate);
    }

private slots:
    void init() { MenuItem::nullParent = false; }

    void entryRegistersTheExpertAndInsertsTheCommands() {
        auto s = Start();
        QVERIFY2(s->addIn.entry, qPrintable(s->addIn.error));
        Enter(*s);
        QVERIFY(s->result);
        QCOMPARE(registrations, 1);
        QVERIFY(registeredExpert != nullptr);
        QVERIFY(s->terminate == nullptr);
        QCOMPARE(s->log.calls,
                 QStringList({
                     "GetParentHandle",
                     "GetMainMenu",
                     "FindMenuItem(SearchSymbolItem)",
                     "GetParent(SearchSymbolItem)",
                     "GetIndex(SearchSymbolItem)",
                     "InsertItem#1(2, -, KestrelExpSeparator, '', 0x0, 0, 0, 4, none)",
                     "GetIndex(KestrelExpSeparator)",
                     "InsertItem#2(3, Insert bookmark, KestrelExpBookmarkItem, '', "
                     "0xc042, 0, 0, 6, handler)",
                     "GetIndex(KestrelExpBookmarkItem)",
                     "InsertItem#3(4, Kestrel, KestrelExpKestrelItem, '', 0xc04c, "
                     "0, 0, 6, handler)",
                     "Release(SearchMenu)",
                     "Release(SearchSymbolItem)",
                     "Release(MainMenu)",
                 }));
        MenuNode* search = s->services->root.Find("SearchMenu");
        QStringList order;
        for (auto& child : search->children) {
            order << child->name;
        }
        QCOMPARE(order,
                 QStringList({"FindItem", "SearchSymbolItem", "KestrelExpSeparator",
                              "KestrelExpBookmarkItem", "KestrelExpKestrelItem", "GotoLineItem"}));
        QCOMPARE(s->log.liveObjects, 3); // the three items the expert keeps

        // The host's last release destroys the expert, which gives back its
        // three items, each once, in order.
        s->log.calls.clear();
        QCOMPARE(registeredExpert->Release(), 0);
        QCOMPARE(s->log.calls,
                 QStringList({"Release(KestrelExpSeparator)", "Release(KestrelExpBookmarkItem)",
                              "Release(KestrelExpKestrelItem)"}));
        QCOMPARE(s->log.liveObjects, 0);
    }

    void expertReportsItsIdentity() {
        auto s = Start();
        Enter(*s);
        TIExpert* expert = registeredExpert;
        QCOMPARE(TakeText(expert->GetName()), QString("Editor Expert"));
        QCOMPARE(TakeText(expert->GetIDString()), QString("BRENTA.KestrelExp"));
        QCOMPARE(int(expert->GetStyle()), 3);
        QCOMPARE(int(expert->GetState()), 1);
        QCOMPARE(expert->GetInterfaceVersion(), EXPECTED_VERSION);
        s->log.calls.clear();
        expert->Execute();
        QVERIFY(s->log.calls.isEmpty());
        for (int slot : {4, 5, 6, 7, 11}) {
            QCOMPARE(CallSlot(expert, slot), nullptr);
        }
        QCOMPARE(expert->AddReference(), 2);
        QCOMPARE(expert->Release(), 1);
        QCOMPARE(expert->Release(), 0);
    }

    void secondCallReturnsFalse() {
        auto s = Start();
        Enter(*s);
        TIExpert* first = registeredExpert;
        s->log.calls.clear();
        TExpertTerminateProc untouched = &SomeTermination;
        QVERIFY(!s->addIn.entry(s->services.get(), &RecordRegistration, &untouched));
        QVERIFY(untouched == &SomeTermination);
        QCOMPARE(registrations, 1);
        QVERIFY(s->log.calls.isEmpty());
        first->Release();
    }

    void nullServicesRegistersNothing() {
        auto s = Start();
        QVERIFY(!s->addIn.entry(nullptr, &RecordRegistration, &s->terminate));
        QCOMPARE(registrations, 0);
        QVERIFY(s->terminate == &SomeTermination);
        // A real host can still load it afterwards.
        Enter(*s);
        QVERIFY(s->result);
        QCOMPARE(registrations, 1);
        registeredExpert->Release();
    }

    void missingMenuPiecesStillRegister_data() {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("main menu") << "MainMenu" << QStringList{"GetParentHandle", "GetMainMenu"};
        QTest::newRow("SearchSymbolItem")
            << "SearchSymbolItem"
            << QStringList{"GetParentHandle", "GetMainMenu", "FindMenuItem(SearchSymbolItem)",
                           "Release(MainMenu)"};
        QTest::newRow("parent") << "parent"
                                << QStringList{"GetParentHandle",
                                               "GetMainMenu",
                                               "FindMenuItem(SearchSymbolItem)",
                                               "GetParent(SearchSymbolItem)",
                                               "Release(SearchSymbolItem)",
                                               "Release(MainMenu)"};
    }

    void missingMenuPiecesStillRegister() {
        QFETCH(QString, missing);
        auto s = Start([&](Session& session) {
            if (missing == "MainMenu") {
                session.services->noMainMenu = true;
            } else if (missing == "SearchSymbolItem") {
                session.services->root.Find("SearchSymbolItem")->name = "OtherItem";
            } else {
                MenuItem::nullParent = true;
            }
        });
        Enter(*s);
        QVERIFY(s->result);
        QCOMPARE(registrations, 1);
        QTEST(s->log.calls, "calls");
        QCOMPARE(s->log.liveObjects, 0);
        s->log.calls.clear();
        QCOMPARE(registeredExpert->Release(), 0);
        QVERIFY(s->log.calls.isEmpty());
    }

    void hostFailureReleasesWhatWasObtained_data() {
        QTest::addColumn<QString>("throwOn");
        QTest::addColumn<QStringList>("releases");
        QTest::newRow("FindMenuItem") << "FindMenuItem" << QStringList{"Release(MainMenu)"};
        QTest::newRow("GetParent")
            << "GetParent(" << QStringList{"Release(SearchSymbolItem)", "Release(MainMenu)"};
        QTest::newRow("first InsertItem")
            << "InsertItem#1"
            << QStringList{"Release(SearchMenu)", "Release(SearchSymbolItem)", "Release(MainMenu)"};
        QTest::newRow("third InsertItem")
            << "InsertItem#3"
            << QStringList{"Release(SearchMenu)", "Release(SearchSymbolItem)", "Release(MainMenu)",
                           "Release(KestrelExpSeparator)", "Release(KestrelExpBookmarkItem)"};
    }

    void hostFailureReleasesWhatWasObtained() {
        QFETCH(QString, throwOn);
        auto s = Start([&](Session& session) { session.log.throwOn = throwOn; });
        bool threw = false;
        try {
            Enter(*s);
        } catch (const std::runtime_error& e) {
            threw = QString(e.what()).contains(throwOn);
        }
        QVERIFY(threw);
        QCOMPARE(registrations, 0);
        QStringList releases;
        for (const QString& call : s->log.calls) {
            if (call.startsWith("Release")) {
                releases << call;
            }
        }
        QTEST(releases, "releases");
        QCOMPARE(s->log.liveObjects, 0);
    }

    void clickHandlersArePassedAsPairs() {
        auto s = Start();
        Enter(*s);
        MenuNode* bookmark = s->services->root.Find("KestrelExpBookmarkItem");
        MenuNode* list = s->services->root.Find("KestrelExpKestrelItem");
        QVERIFY(bookmark->onClick.Code && list->onClick.Code);
        QCOMPARE(bookmark->onClick.Data, static_cast<void*>(registeredExpert));
        QCOMPARE(list->onClick.Data, static_cast<void*>(registeredExpert));
        QVERIFY(bookmark->onClick.Code != list->onClick.Code);
        registeredExpert->Release();
    }
};

QTEST_MAIN(ExpertEntryTest)
#include "tst_expertentry.moc"
