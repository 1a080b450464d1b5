#include "EditHeaderExpert.h"

#include "BookmarkCommand.h"
#include "GotoLine.h"
#include "HostRef.h"
#include "HostString.h"
#include "ListCommand.h"
#include "ToolServices.h"

namespace kestrel {

namespace {

// Click handlers travel to the host as (code, object) pairs.
template <void (TEditHeaderExpert::*Handler)(TIMenuItemIntf*)>
TIMenuClickEvent BindClick(TEditHeaderExpert* expert) {
    TIMenuClickEvent event;
    event.Code = [](void* data, TIMenuItemIntf* sender) {
        (static_cast<TEditHeaderExpert*>(data)->*Handler)(sender);
    };
    event.Data = expert;
    return event;
}

} // namespace

int32_t ExpertInterfaceVersion() {
    return KESTREL_INTERFACE_VERSION == 17 ? kInterfaceVersion0017 : kInterfaceVersion0016;
}

TEditHeaderExpert::TEditHeaderExpert() {
    try {
        InsertMenuItems();
    } catch (...) {
        // A partly built expert gives back the items it already kept.
        ReleaseMenuItems();
        throw;
    }
}

TEditHeaderExpert::~TEditHeaderExpert() {
    ReleaseMenuItems();
}

void TEditHeaderExpert::InsertMenuItems() {
    if (ToolServices == nullptr) {
        return;
    }
    HostRef<TIMainMenuIntf> mainMenu(ToolServices->GetMainMenu());
    if (!mainMenu) {
        return;
    }
    HostRef<TIMenuItemIntf> searchItem(mainMenu->FindMenuItem("SearchSymbolItem"));
    if (!searchItem) {
        return;
    }
    HostRef<TIMenuItemIntf> parent(searchItem->GetParent());
    if (!parent) {
        return;
    }
    menEditSep = parent->InsertItem(searchItem->GetIndex() + 1, "-", "KestrelExpSeparator", "", 0,
                                    0, 0, mfVisible, TIMenuClickEvent{});
    // A host that breaks its word and returns no item ends the insertion
    // here rather than taking the add-in down.
    if (menEditSep == nullptr) {
        return;
    }
    menBookmark =
        parent->InsertItem(menEditSep->GetIndex() + 1, "Insert bookmark", "KestrelExpBookmarkItem",
                           "", scCtrl | scAlt | 'B', 0, 0, mfEnabled | mfVisible,
                           BindClick<&TEditHeaderExpert::memBookmarkClick>(this));
    if (menBookmark == nullptr) {
        return;
    }
    menFindProc = parent->InsertItem(
        menBookmark->GetIndex() + 1, "Kestrel", "KestrelExpKestrelItem", "", scCtrl | scAlt | 'L',
        0, 0, mfEnabled | mfVisible, BindClick<&TEditHeaderExpert::memFindProcClick>(this));
}

void TEditHeaderExpert::ReleaseMenuItems() {
    for (TIMenuItemIntf** item : {&menEditSep, &menBookmark, &menFindProc}) {
        if (*item != nullptr) {
            std::exchange(*item, nullptr)->Release();
        }
    }
}

int32_t TEditHeaderExpert::GetInterfaceVersion() {
    return ExpertInterfaceVersion();
}

HostText TEditHeaderExpert::GetName() {
    return MakeHostText("Editor Expert");
}

TExpertStyle TEditHeaderExpert::GetStyle() {
    return esAddIn;
}

TExpertState TEditHeaderExpert::GetState() {
    return esEnabled;
}

HostText TEditHeaderExpert::GetIDString() {
    return MakeHostText("BRENTA.KestrelExp");
}

void TEditHeaderExpert::Execute() {}

void TEditHeaderExpert::memBookmarkClick(TIMenuItemIntf* /*sender*/) {
    InsertBookmark(ToolServices);
}

void TEditHeaderExpert::memFindProcClick(TIMenuItemIntf* /*sender*/) {
    if (const int32_t line = ChooseSymbolLine(ToolServices); line > 0) {
        GotoProcLine(line);
    }
}

void TEditHeaderExpert::GotoProcLine(int32_t line) {
    GotoLine(ToolServices, line);
}

} // namespace kestrel
