#pragma once

#include "RefCounted.h"
#include "ToolsApi.h"

namespace kestrel {

// The expert that the host holds: it reports the add-in's identity and puts
// the two commands into the host's menu, after "SearchSymbolItem".
class TEditHeaderExpert final : public RefCounted<TEditHeaderExpert, TIExpert> {
public:
    TEditHeaderExpert();
    ~TEditHeaderExpert();

    int32_t GetInterfaceVersion() override;
    HostText GetName() override;
    TExpertStyle GetStyle() override;
    TExpertState GetState() override;
    HostText GetIDString() override;
    void Execute() override;

    // "Insert bookmark": writes the bookmark marker at the editor's cursor.
    void memBookmarkClick(TIMenuItemIntf* sender);
    // "Kestrel": lists the current file's symbols and jumps to the chosen one.
    void memFindProcClick(TIMenuItemIntf* sender);
    // Puts the cursor at the start of `line` and scrolls it to the top.
    void GotoProcLine(int32_t line);

    // The menu items this expert inserted, each null until inserted.
    TIMenuItemIntf* menEditSep = nullptr;
    TIMenuItemIntf* menBookmark = nullptr;
    TIMenuItemIntf* menFindProc = nullptr;

private:
    void InsertMenuItems();
    void ReleaseMenuItems();
};

// The value GetInterfaceVersion reports: 3 for host interface 0017, 2 for
// 0016.
int32_t ExpertInterfaceVersion();

} // namespace kestrel
