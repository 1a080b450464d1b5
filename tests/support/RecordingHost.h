#pragma once

// A host written for the tests: services, main menu and menu items that log
// every call with its arguments and can be told to fail.

#include "EditorPos.h"
#include "HostString.h"
#include "RefCounted.h"
#include "ToolsApi.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace testhost {

using namespace kestrel;

struct HostLog {
    QStringList calls;
    int liveObjects = 0;
    // The call (as logged, e.g. "GetParent" or "InsertItem#2") that throws.
    QString throwOn;
    int insertCount = 0;

    void Call(const QString& call) {
        calls << call;
        if (!throwOn.isEmpty() && call.startsWith(throwOn)) {
            throw std::runtime_error(("host failure in " + call).toStdString());
        }
    }
};

// One node of the host's menu tree; the tree outlives the objects handed out.
struct MenuNode {
    QString name;
    QString caption;
    uint16_t shortCut = 0;
    int32_t flags = 0;
    TIMenuClickEvent onClick;
    MenuNode* parent = nullptr;
    std::vector<std::unique_ptr<MenuNode>> children;

    int Index() const {
        if (parent == nullptr) {
            return -1;
        }
        for (size_t i = 0; i < parent->children.size(); ++i) {
            if (parent->children[i].get() == this) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    MenuNode* Add(const QString& childName, const QString& childCaption) {
        auto child = std::make_unique<MenuNode>();
        child->name = childName;
        child->caption = childCaption;
        child->parent = this;
        children.push_back(std::move(child));
        return children.back().get();
    }
    MenuNode* Find(const QString& wanted) {
        if (name == wanted) {
            return this;
        }
        for (auto& child : children) {
            if (MenuNode* found = child->Find(wanted)) {
                return found;
            }
        }
        return nullptr;
    }
};

class MenuItem final : public RefCounted<MenuItem, TIMenuItemIntf> {
public:
    MenuItem(HostLog& log, MenuNode* node) : log_(log), node_(node) { ++log_.liveObjects; }
    ~MenuItem() { --log_.liveObjects; }

    int32_t Release() override {
        log_.Call("Release(" + node_->name + ")");
        return RefCounted::Release();
    }
    int32_t GetInterfaceVersion() override { return 3; }
    int32_t GetIndex() override {
        log_.Call("GetIndex(" + node_->name + ")");
        return node_->Index();
    }
    TIMenuItemIntf* GetParent() override {
        log_.Call("GetParent(" + node_->name + ")");
        if (node_->parent == nullptr || nullParent) {
            return nullptr;
        }
        return new MenuItem(log_, node_->parent);
    }
    TIMenuItemIntf* InsertItem(int32_t index, const char* caption, const char* name,
                               const char* hint, uint16_t shortCut, int32_t context,
                               int32_t groupIndex, int32_t flags,
                               TIMenuClickEvent onClick) override {
        ++log_.insertCount;
        log_.Call(QString("InsertItem#%1(%2, %3, %4, '%5', 0x%6, %7, %8, %9, %10)")
                      .arg(log_.insertCount)
                      .arg(index)
                      .arg(caption, name, hint)
                      .arg(shortCut, 0, 16)
                      .arg(context)
                      .arg(groupIndex)
                      .arg(flags)
                      .arg(onClick.Code ? "handler" : "none"));
        auto child = std::make_unique<MenuNode>();
        child->name = name;
        child->caption = caption;
        child->shortCut = shortCut;
        child->flags = flags;
        child->onClick = onClick;
        child->parent = node_;
        MenuNode* node = child.get();
        const size_t at =
            std::min<size_t>(static_cast<size_t>(std::max(index, 0)), node_->children.size());
        node_->children.insert(node_->children.begin() + static_cast<std::ptrdiff_t>(at),
                               std::move(child));
        return new MenuItem(log_, node);
    }

    static inline bool nullParent = false;

private:
    HostLog& log_;
    MenuNode* node_;
};

class MainMenu final : public RefCounted<MainMenu, TIMainMenuIntf> {
public:
    MainMenu(HostLog& log, MenuNode* root) : log_(log), root_(root) { ++log_.liveObjects; }
    ~MainMenu() { --log_.liveObjects; }

    int32_t Release() override {
        log_.Call("Release(MainMenu)");
        return RefCounted::Release();
    }
    int32_t GetInterfaceVersion() override { return 3; }
    TIMenuItemIntf* FindMenuItem(const char* name) override {
        log_.Call(QString("FindMenuItem(%1)").arg(name));
        MenuNode* node = root_->Find(name);
        return node ? new MenuItem(log_, node) : nullptr;
    }

private:
    HostLog& log_;
    MenuNode* root_;
};

// The file the fake editor shows: bytes with CR LF line ends and a cursor.
struct FakeFile {
    std::string buffer;
    int32_t cursorLine = 1;
    int32_t cursorColumn = 1;
    int32_t topLine = 1;
    int textReads = 0;
};

#if EXPECTED_VERSION == 3
using TestPos = EditorPos0017;
#else
using TestPos = EditorPos0016;
#endif

class FakeView final : public RefCounted<FakeView, TIEditViewOf<TestPos>> {
public:
    FakeView(HostLog& log, FakeFile& file) : log_(log), file_(file) { ++log_.liveObjects; }
    ~FakeView() { --log_.liveObjects; }
    int32_t Release() override {
        log_.Call("Release(View)");
        return RefCounted::Release();
    }
    int32_t GetInterfaceVersion() override { return EXPECTED_VERSION; }
    TestPos GetPos(int32_t index) override {
        log_.Call(QString("GetPos(%1)").arg(index));
        TestPos pos{};
        pos.Col = static_cast<int16_t>(file_.cursorColumn);
        pos.Line = file_.cursorLine;
        return pos;
    }
    bool SetPos(int32_t index, TestPos value) override {
        const int col = value.Col;
        const int line = value.Line;
        log_.Call(QString("SetPos(%1, col %2, line %3)").arg(index).arg(col).arg(line));
        if (index == 0) {
            file_.cursorColumn = col;
            file_.cursorLine = line;
        } else {
            file_.topLine = line;
        }
        return true;
    }

private:
    HostLog& log_;
    FakeFile& file_;
};

class FakeReader final : public RefCounted<FakeReader, TIEditReader> {
public:
    FakeReader(HostLog& log, FakeFile& file) : log_(log), file_(file) { ++log_.liveObjects; }
    ~FakeReader() { --log_.liveObjects; }
    int32_t Release() override {
        log_.Call("Release(Reader)");
        return RefCounted::Release();
    }
    int32_t GetInterfaceVersion() override { return EXPECTED_VERSION; }
    int32_t GetText(int32_t position, char* buffer, int32_t count) override {
        ++file_.textReads;
        if (log_.throwOn == "GetText" && position == 3) {
            throw std::runtime_error("host failure in GetText");
        }
        if (position < 0 || count != 1 || static_cast<size_t>(position) >= file_.buffer.size()) {
            return 0;
        }
        *buffer = file_.buffer[static_cast<size_t>(position)];
        return 1;
    }

private:
    HostLog& log_;
    FakeFile& file_;
};

class FakeWriter final : public RefCounted<FakeWriter, TIEditWriter> {
public:
    FakeWriter(HostLog& log, FakeFile& file) : log_(log), file_(file) { ++log_.liveObjects; }
    ~FakeWriter() {
        --log_.liveObjects;
        file_.buffer.insert(static_cast<size_t>(position_), inserted_);
        // A cursor at or after the insertion moves along with the text.
        file_.cursorColumn += static_cast<int32_t>(inserted_.size());
    }
    int32_t Release() override {
        log_.Call("Release(Writer)");
        return RefCounted::Release();
    }
    int32_t GetInterfaceVersion() override { return EXPECTED_VERSION; }
    bool CopyTo(int32_t position) override {
        log_.Call(QString("CopyTo(%1)").arg(position));
        position_ = position;
        return true;
    }
    bool Insert(const char* text) override {
        log_.Call(QString("Insert('%1')").arg(text));
        inserted_ += text;
        return true;
    }

private:
    HostLog& log_;
    FakeFile& file_;
    int32_t position_ = 0;
    std::string inserted_;
};

class FakeEditor final : public RefCounted<FakeEditor, TIEditorInterface> {
public:
    FakeEditor(HostLog& log, FakeFile& file) : log_(log), file_(file) { ++log_.liveObjects; }
    ~FakeEditor() { --log_.liveObjects; }
    int32_t Release() override {
        log_.Call("Release(Editor)");
        return RefCounted::Release();
    }
    int32_t GetInterfaceVersion() override { return EXPECTED_VERSION; }
    TIEditReader* CreateReader() override {
        log_.Call("CreateReader");
        return nullReader ? nullptr : new FakeReader(log_, file_);
    }
    TIEditWriter* CreateWriter() override {
        log_.Call("CreateWriter");
        return new FakeWriter(log_, file_);
    }
    TIEditView* GetView(int32_t index) override {
        log_.Call(QString("GetView(%1)").arg(index));
        return new FakeView(log_, file_);
    }
    static inline bool nullReader = false;

private:
    HostLog& log_;
    FakeFile& file_;
};

class FakeModule final : public RefCounted<FakeModule, TIModuleInterface> {
public:
    FakeModule(HostLog& log, FakeFile& file) : log_(log), file_(file) { ++log_.liveObjects; }
    ~FakeModule() { --log_.liveObjects; }
    int32_t Release() override {
        log_.Call("Release(Module)");
        return RefCounted::Release();
    }
    int32_t GetInterfaceVersion() override { return EXPECTED_VERSION; }
    TIEditorInterface* GetEditorInterface() override {
        log_.Call("GetEditorInterface");
        return nullEditor ? nullptr : new FakeEditor(log_, file_);
    }
    static inline bool nullEditor = false;

private:
    HostLog& log_;
    FakeFile& file_;
};

// Services: the menu for the entry point and the expert's constructor, and
// one fake file for the commands.
class Services final : public RefCounted<Services, TIToolServices> {
public:
    explicit Services(HostLog& log) : log_(log) {
        MenuNode* search = root.Add("SearchMenu", "&Search");
        search->Add("FindItem", "&Find");
        search->Add("SearchSymbolItem", "Search &Symbol");
        search->Add("GotoLineItem", "&Go to Line");
    }

    int32_t GetInterfaceVersion() override { return 3; }
    bool OpenFile(const char* fileName) override {
        log_.Call(QString("OpenFile(%1)").arg(fileName));
        return openable;
    }
    WindowHandle GetParentHandle() override {
        log_.Call("GetParentHandle");
        return 0;
    }
    HostText GetCurrentFile() override {
        log_.Call("GetCurrentFile");
        return MakeHostText(currentFile.toStdString());
    }
    bool IsFileOpen(const char* fileName) override {
        log_.Call(QString("IsFileOpen(%1)").arg(fileName));
        return fileOpen;
    }
    TIModuleInterface* GetModuleInterface(const char* fileName) override {
        log_.Call(QString("GetModuleInterface(%1)").arg(fileName));
        return hasModule ? new FakeModule(log_, file) : nullptr;
    }
    TIMainMenuIntf* GetMainMenu() override {
        log_.Call("GetMainMenu");
        return noMainMenu ? nullptr : new MainMenu(log_, &root);
    }

    MenuNode root;
    bool noMainMenu = false;
    QString currentFile;
    bool fileOpen = false;
    bool openable = false;
    bool hasModule = true;
    FakeFile file;

private:
    HostLog& log_;
};

} // namespace testhost
