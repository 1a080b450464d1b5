// The host interface's binary contract: every operation at its slot, the
// position record's layouts, and the shared memory manager.
#include "EditorPos.h"
#include "HostRef.h"
#include "HostString.h"
#include "ToolsApi.h"

#include <QtTest>
#include <cstring>

using namespace kestrel;

namespace {

// On the Itanium C++ ABI a pointer to a virtual member function holds
// 1 + the byte offset of its entry in the table.
template <class F> int SlotOf(F member) {
    static_assert(sizeof(F) == 2 * sizeof(ptrdiff_t));
    ptrdiff_t words[2];
    std::memcpy(words, &member, sizeof words);
    if ((words[0] & 1) == 0) {
        return -1; // not virtual
    }
    return static_cast<int>((words[0] - 1) / static_cast<ptrdiff_t>(sizeof(void*)));
}

// Counts its releases, to check the guard.
struct Counted final : TInterface {
    int releases = 0;
    QStringList* order = nullptr;
    QString name;
    int32_t AddReference() override { return 1; }
    int32_t Release() override {
        ++releases;
        if (order) {
            *order << name;
        }
        return 0;
    }
    int32_t GetInterfaceVersion() override { return 3; }
};

} // namespace

class HostInterfaceTest : public QObject {
    Q_OBJECT

private slots:
    void slotPositions_data() {
        QTest::addColumn<int>("actual");
        QTest::addColumn<int>("expected");
        const auto row = [](const char* name, int actual, int expected) {
            QTest::newRow(name) << actual << expected;
        };
        row("TInterface::AddReference", SlotOf(&TInterface::AddReference), 0);
        row("TInterface::Release", SlotOf(&TInterface::Release), 1);
        row("TInterface::GetInterfaceVersion", SlotOf(&TInterface::GetInterfaceVersion), 2);
        row("TIExpert::GetName", SlotOf(&TIExpert::GetName), 3);
        row("TIExpert::UnusedSlot4", SlotOf(&TIExpert::UnusedSlot4), 4);
        row("TIExpert::UnusedSlot7", SlotOf(&TIExpert::UnusedSlot7), 7);
        row("TIExpert::GetStyle", SlotOf(&TIExpert::GetStyle), 8);
        row("TIExpert::GetState", SlotOf(&TIExpert::GetState), 9);
        row("TIExpert::GetIDString", SlotOf(&TIExpert::GetIDString), 10);
        row("TIExpert::UnusedSlot11", SlotOf(&TIExpert::UnusedSlot11), 11);
        row("TIExpert::Execute", SlotOf(&TIExpert::Execute), 12);
        row("services Release", SlotOf(&TIToolServices::Release), 1);
        row("services OpenFile", SlotOf(&TIToolServices::OpenFile), 9);
        row("services GetParentHandle", SlotOf(&TIToolServices::GetParentHandle), 14);
        row("services GetCurrentFile", SlotOf(&TIToolServices::GetCurrentFile), 21);
        row("services IsFileOpen", SlotOf(&TIToolServices::IsFileOpen), 22);
        row("services GetModuleInterface", SlotOf(&TIToolServices::GetModuleInterface), 31);
        row("services GetMainMenu", SlotOf(&TIToolServices::GetMainMenu), 33);
        row("main menu FindMenuItem", SlotOf(&TIMainMenuIntf::FindMenuItem), 4);
        row("menu item GetIndex", SlotOf(&TIMenuItemIntf::GetIndex), 4);
        row("menu item GetParent", SlotOf(&TIMenuItemIntf::GetParent), 8);
        row("menu item InsertItem", SlotOf(&TIMenuItemIntf::InsertItem), 23);
        row("module GetEditorInterface", SlotOf(&TIModuleInterface::GetEditorInterface), 3);
        row("editor CreateReader", SlotOf(&TIEditorInterface::CreateReader), 3);
        row("editor CreateWriter", SlotOf(&TIEditorInterface::CreateWriter), 4);
        row("editor GetView", SlotOf(&TIEditorInterface::GetView), 11);
        row("reader GetText", SlotOf(&TIEditReader::GetText), 3);
        row("writer CopyTo", SlotOf(&TIEditWriter::CopyTo), 3);
        row("writer Insert", SlotOf(&TIEditWriter::Insert), 5);
        row("view 0017 GetPos", SlotOf(&TIEditViewOf<EditorPos0017>::GetPos), 3);
        row("view 0017 SetPos", SlotOf(&TIEditViewOf<EditorPos0017>::SetPos), 4);
        row("view 0016 GetPos", SlotOf(&TIEditViewOf<EditorPos0016>::GetPos), 3);
        row("view 0016 SetPos", SlotOf(&TIEditViewOf<EditorPos0016>::SetPos), 4);
    }

    void slotPositions() {
        QFETCH(int, actual);
        QTEST(actual, "expected");
    }

    void editorPosLayouts() {
        EditorPos0017 packed{7, 0x01020304};
        unsigned char bytes17[6];
        std::memcpy(bytes17, &packed, sizeof bytes17);
        QCOMPARE(int(bytes17[0]), 7);
        QCOMPARE(int(bytes17[2]), 0x04);
        QCOMPARE(int(bytes17[5]), 0x01);
        EditorPos0016 padded{7, 0x01020304};
        unsigned char bytes16[8];
        std::memcpy(bytes16, &padded, sizeof bytes16);
        QCOMPARE(int(bytes16[4]), 0x04);
        QCOMPARE(int(bytes16[7]), 0x01);
    }

    void guardsReleaseLatestFirst() {
        QStringList order;
        Counted a, b;
        a.order = b.order = &order;
        a.name = "a";
        b.name = "b";
        try {
            HostRef<Counted> first(&a);
            HostRef<Counted> second(&b);
            throw std::runtime_error("passes");
        } catch (const std::runtime_error&) {
        }
        QCOMPARE(order, QStringList({"b", "a"}));
        HostRef<Counted> moved(&a);
        HostRef<Counted> target(std::move(moved));
        QVERIFY(!moved);
        target.Reset();
        target.Reset();
        QCOMPARE(a.releases, 2);
    }

    void hostStringsCrossTheBoundary() {
        const int64_t before = SysLiveBlocks();
        HostText made = MakeHostText("Editor Expert");
        QCOMPARE(SysLiveBlocks(), before + 1);
        {
            HostString received(made); // the other side frees it
            QCOMPARE(received.Str(), std::string("Editor Expert"));
        }
        QCOMPARE(SysLiveBlocks(), before);
        QCOMPARE(HostString().View(), std::string_view());
        HostString moved(MakeHostText("x"));
        HostString target = std::move(moved);
        QVERIFY(moved.IsNull());
        SysFreeMem(target.Release());
        QCOMPARE(SysLiveBlocks(), before);
    }

    void memoryManagerReportsFailures() {
        QCOMPARE(SysGetMem(0), nullptr);
        QCOMPARE(SysGetMem(-5), nullptr);
        QCOMPARE(SysFreeMem(nullptr), 0);
        auto* block = static_cast<char*>(SysGetMem(4));
        std::memcpy(block, "abc", 4);
        block = static_cast<char*>(SysReallocMem(block, 1 << 20));
        QVERIFY(block != nullptr);
        QCOMPARE(std::string(block), std::string("abc"));
        QCOMPARE(SysReallocMem(block, 0), nullptr); // frees
        static const char huge[1] = {};
        QCOMPARE(MakeHostText(std::string_view(huge, 0x80000000u)), nullptr);
    }
};

QTEST_APPLESS_MAIN(HostInterfaceTest)
#include "tst_hostinterface.moc"
