#pragma once

// The editor host's objects, as add-ins reach them: abstract classes whose
// virtual operations sit at fixed slots of their tables, counted from 0 in
// declaration order. Slots that Kestrel does not use are kept as
// placeholders so that every operation it does use stays in its place. No
// class here has a virtual destructor: an object is given back with Release.

#include "EditorPos.h"

#include <cstdint>

namespace kestrel {

// A placeholder slot: present so the slots after it keep their positions.
#define KESTREL_UNUSED_SLOT(n)                                                                     \
    virtual void* UnusedSlot##n() {                                                                \
        return nullptr;                                                                            \
    }

// A window handle of the host's window system.
using WindowHandle = uintptr_t;

// Host texts handed to the add-in are zero-terminated and allocated by the
// shared memory manager (SysGetMem); the receiver frees them (SysFreeMem).
using HostText = char*;

// What GetInterfaceVersion reports, on both sides: 3 under host interface
// 0017, 2 under 0016.
inline constexpr int32_t kInterfaceVersion0017 = 3;
inline constexpr int32_t kInterfaceVersion0016 = 2;

// The base of every reference-counted host object.
class TInterface {
public:
    virtual int32_t AddReference() = 0;        // slot 0
    virtual int32_t Release() = 0;             // slot 1
    virtual int32_t GetInterfaceVersion() = 0; // slot 2

protected:
    ~TInterface() = default;
};

enum TExpertStyle : uint8_t { esStandard = 0, esForm = 1, esProject = 2, esAddIn = 3 };

// A set: bit 0 esEnabled, bit 1 esChecked.
using TExpertState = uint8_t;
inline constexpr TExpertState esEnabled = 1 << 0;
inline constexpr TExpertState esChecked = 1 << 1;

// The base of an add-in's expert object, which the host calls.
class TIExpert : public TInterface {
public:
    virtual HostText GetName() = 0; // slot 3
    // Slots 4 to 7 and 11 are not used between Kestrel and its host; if a
    // host asks them anyway it gets an empty answer.
    KESTREL_UNUSED_SLOT(4)
    KESTREL_UNUSED_SLOT(5)
    KESTREL_UNUSED_SLOT(6)
    KESTREL_UNUSED_SLOT(7)
    virtual TExpertStyle GetStyle() = 0; // slot 8
    virtual TExpertState GetState() = 0; // slot 9
    virtual HostText GetIDString() = 0;  // slot 10
    KESTREL_UNUSED_SLOT(11)
    virtual void Execute() = 0; // slot 12

protected:
    ~TIExpert() = default;
};

class TIMenuItemIntf;

// Menu item flags.
inline constexpr int32_t mfEnabled = 2;
inline constexpr int32_t mfVisible = 4;

// A menu item's shortcut: the key code in the low byte, with these bits for
// the modifiers.
inline constexpr uint16_t scShift = 0x2000;
inline constexpr uint16_t scCtrl = 0x4000;
inline constexpr uint16_t scAlt = 0x8000;

// A click handler bound to an object: Code is called with Data and the
// clicked item.
struct TIMenuClickEvent {
    void (*Code)(void* data, TIMenuItemIntf* sender) = nullptr;
    void* Data = nullptr;
};

class TIMenuItemIntf : public TInterface {
public:
    KESTREL_UNUSED_SLOT(3)
    virtual int32_t GetIndex() = 0; // slot 4
    KESTREL_UNUSED_SLOT(5)
    KESTREL_UNUSED_SLOT(6)
    KESTREL_UNUSED_SLOT(7)
    virtual TIMenuItemIntf* GetParent() = 0; // slot 8
    KESTREL_UNUSED_SLOT(9)
    KESTREL_UNUSED_SLOT(10)
    KESTREL_UNUSED_SLOT(11)
    KESTREL_UNUSED_SLOT(12)
    KESTREL_UNUSED_SLOT(13)
    KESTREL_UNUSED_SLOT(14)
    KESTREL_UNUSED_SLOT(15)
    KESTREL_UNUSED_SLOT(16)
    KESTREL_UNUSED_SLOT(17)
    KESTREL_UNUSED_SLOT(18)
    KESTREL_UNUSED_SLOT(19)
    KESTREL_UNUSED_SLOT(20)
    KESTREL_UNUSED_SLOT(21)
    KESTREL_UNUSED_SLOT(22)
    // Inserts a new item at `index` of this item's submenu; a caption "-" is
    // a separator; `shortCut` as above (0 for none). Returns the new item,
    // or null when the host could not insert one (an item without a submenu,
    // or one whose menu is gone).
    virtual TIMenuItemIntf* InsertItem(int32_t index, const char* caption, const char* name,
                                       const char* hint, uint16_t shortCut, int32_t context,
                                       int32_t groupIndex, int32_t flags,
                                       TIMenuClickEvent onClick) = 0; // slot 23

protected:
    ~TIMenuItemIntf() = default;
};

class TIMainMenuIntf : public TInterface {
public:
    KESTREL_UNUSED_SLOT(3)
    // The item whose component name is `name`, or null.
    virtual TIMenuItemIntf* FindMenuItem(const char* name) = 0; // slot 4

protected:
    ~TIMainMenuIntf() = default;
};

// Reads an editor buffer: 0-based byte offsets, lines ending in CR LF.
class TIEditReader : public TInterface {
public:
    // Copies up to `count` characters at `position`; returns how many.
    virtual int32_t GetText(int32_t position, char* buffer, int32_t count) = 0; // slot 3

protected:
    ~TIEditReader() = default;
};

// Edits an editor buffer; the edit is complete when the writer is released.
class TIEditWriter : public TInterface {
public:
    // Copies the buffer up to `position` unchanged and moves there.
    virtual bool CopyTo(int32_t position) = 0; // slot 3
    KESTREL_UNUSED_SLOT(4)
    // Inserts a zero-terminated text where the writer stands.
    virtual bool Insert(const char* text) = 0; // slot 5

protected:
    ~TIEditWriter() = default;
};

// An editor view. Its position operations take the host's EditorPos, whose
// layout depends on the interface version: see TIEditViewOf.
class TIEditView : public TInterface {
protected:
    ~TIEditView() = default;
};

template <class Pos> class TIEditViewOf : public TIEditView {
public:
    // Position 0 is the cursor, 1 the top-left corner of the view.
    virtual Pos GetPos(int32_t index) = 0;             // slot 3
    virtual bool SetPos(int32_t index, Pos value) = 0; // slot 4

protected:
    ~TIEditViewOf() = default;
};

class TIEditorInterface : public TInterface {
public:
    virtual TIEditReader* CreateReader() = 0; // slot 3
    virtual TIEditWriter* CreateWriter() = 0; // slot 4
    KESTREL_UNUSED_SLOT(5)
    KESTREL_UNUSED_SLOT(6)
    KESTREL_UNUSED_SLOT(7)
    KESTREL_UNUSED_SLOT(8)
    KESTREL_UNUSED_SLOT(9)
    KESTREL_UNUSED_SLOT(10)
    virtual TIEditView* GetView(int32_t index) = 0; // slot 11

protected:
    ~TIEditorInterface() = default;
};

class TIModuleInterface : public TInterface {
public:
    virtual TIEditorInterface* GetEditorInterface() = 0; // slot 3

protected:
    ~TIModuleInterface() = default;
};

class TIToolServices : public TInterface {
public:
    KESTREL_UNUSED_SLOT(3)
    KESTREL_UNUSED_SLOT(4)
    KESTREL_UNUSED_SLOT(5)
    KESTREL_UNUSED_SLOT(6)
    KESTREL_UNUSED_SLOT(7)
    KESTREL_UNUSED_SLOT(8)
    virtual bool OpenFile(const char* fileName) = 0; // slot 9
    KESTREL_UNUSED_SLOT(10)
    KESTREL_UNUSED_SLOT(11)
    KESTREL_UNUSED_SLOT(12)
    KESTREL_UNUSED_SLOT(13)
    virtual WindowHandle GetParentHandle() = 0; // slot 14
    KESTREL_UNUSED_SLOT(15)
    KESTREL_UNUSED_SLOT(16)
    KESTREL_UNUSED_SLOT(17)
    KESTREL_UNUSED_SLOT(18)
    KESTREL_UNUSED_SLOT(19)
    KESTREL_UNUSED_SLOT(20)
    virtual HostText GetCurrentFile() = 0;             // slot 21
    virtual bool IsFileOpen(const char* fileName) = 0; // slot 22
    KESTREL_UNUSED_SLOT(23)
    KESTREL_UNUSED_SLOT(24)
    KESTREL_UNUSED_SLOT(25)
    KESTREL_UNUSED_SLOT(26)
    KESTREL_UNUSED_SLOT(27)
    KESTREL_UNUSED_SLOT(28)
    KESTREL_UNUSED_SLOT(29)
    KESTREL_UNUSED_SLOT(30)
    virtual TIModuleInterface* GetModuleInterface(const char* fileName) = 0; // slot 31
    KESTREL_UNUSED_SLOT(32)
    virtual TIMainMenuIntf* GetMainMenu() = 0; // slot 33

protected:
    ~TIToolServices() = default;
};

// The entry point's arguments.
using TExpertRegisterProc = bool (*)(TIExpert* expert);
using TExpertTerminateProc = void (*)();
using TExpertInitProc = bool (*)(TIToolServices* toolServices, TExpertRegisterProc registerProc,
                                 TExpertTerminateProc* terminate);

} // namespace kestrel
