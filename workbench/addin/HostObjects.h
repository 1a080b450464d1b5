#pragma once

// The editor host's objects over the workbench's real windows: services,
// main menu and menu items over the menu bar, and module, editor, reader,
// writer and view over an open file.

#include "EditorDocument.h"
#include "MemorySource.h"
#include "RefCounted.h"
#include "ToolsApi.h"

#include <QAction>
#include <QPointer>
#include <string>
#include <string_view>
#include <vector>

namespace workbench {

class OpenDocuments;

// Counts the host objects alive, so that a session can check that its
// add-in gave back everything it obtained.
int LiveHostObjects();

// Counts itself among the live host objects.
class HostObjectCounter {
public:
    HostObjectCounter();
    HostObjectCounter(const HostObjectCounter&) = delete;
    HostObjectCounter& operator=(const HostObjectCounter&) = delete;
    ~HostObjectCounter();
};

class HostServices final : public kestrel::RefCounted<HostServices, kestrel::TIToolServices>,
                           HostObjectCounter {
public:
    HostServices(OpenDocuments& documents, int interfaceVersion);

    int32_t GetInterfaceVersion() override { return version_; }
    bool OpenFile(const char* fileName) override;
    kestrel::WindowHandle GetParentHandle() override;
    kestrel::HostText GetCurrentFile() override;
    bool IsFileOpen(const char* fileName) override;
    kestrel::TIModuleInterface* GetModuleInterface(const char* fileName) override;
    kestrel::TIMainMenuIntf* GetMainMenu() override;

    void SetInterfaceVersion(int version) { version_ = version; }

private:
    QPointer<OpenDocuments> documents_;
    int version_;
};

class HostMainMenu final : public kestrel::RefCounted<HostMainMenu, kestrel::TIMainMenuIntf>,
                           HostObjectCounter {
public:
    HostMainMenu(OpenDocuments& documents, int version);
    int32_t GetInterfaceVersion() override { return version_; }
    kestrel::TIMenuItemIntf* FindMenuItem(const char* name) override;

private:
    QPointer<OpenDocuments> documents_;
    int version_;
};

class HostMenuItem final : public kestrel::RefCounted<HostMenuItem, kestrel::TIMenuItemIntf>,
                           HostObjectCounter {
public:
    HostMenuItem(OpenDocuments& documents, QAction* action, int version);
    int32_t GetInterfaceVersion() override { return version_; }
    int32_t GetIndex() override;
    kestrel::TIMenuItemIntf* GetParent() override;
    kestrel::TIMenuItemIntf* InsertItem(int32_t index, const char* caption, const char* name,
                                        const char* hint, uint16_t shortCut, int32_t context,
                                        int32_t groupIndex, int32_t flags,
                                        kestrel::TIMenuClickEvent onClick) override;

private:
    QPointer<OpenDocuments> documents_;
    QPointer<QAction> action_;
    int version_;
};

// The key sequence of a host shortcut value.
QKeySequence KeySequenceFromShortCut(uint16_t shortCut);

class HostModule final : public kestrel::RefCounted<HostModule, kestrel::TIModuleInterface>,
                         HostObjectCounter {
public:
    HostModule(EditorDocument* document, int version) : document_(document), version_(version) {}
    int32_t GetInterfaceVersion() override { return version_; }
    kestrel::TIEditorInterface* GetEditorInterface() override;

private:
    QPointer<EditorDocument> document_;
    int version_;
};

class HostEditor final : public kestrel::RefCounted<HostEditor, kestrel::TIEditorInterface>,
                         HostObjectCounter {
public:
    HostEditor(EditorDocument* document, int version) : document_(document), version_(version) {}
    int32_t GetInterfaceVersion() override { return version_; }
    kestrel::TIEditReader* CreateReader() override;
    kestrel::TIEditWriter* CreateWriter() override;
    kestrel::TIEditView* GetView(int32_t index) override;

private:
    QPointer<EditorDocument> document_;
    int version_;
};

// Reads a snapshot of the buffer taken when the reader was created: in
// place while the editor's text is unchanged (see EditorDocument::HostBytes).
class HostReader final : public kestrel::RefCounted<HostReader, kestrel::TIEditReader>,
                         HostObjectCounter {
public:
    HostReader(std::shared_ptr<const BufferSnapshot> snapshot, int version)
        : snapshot_(std::move(snapshot)), bytes_(&snapshot_->Bytes()), version_(version) {}
    int32_t GetInterfaceVersion() override { return version_; }
    // Called once per character by the add-in's scans: the one-character
    // request is answered first, with the fewest loads.
    int32_t GetText(int32_t position, char* buffer, int32_t count) override {
        const std::string_view bytes = *bytes_;
        const auto at = static_cast<uint32_t>(position);
        if (count == 1 && at < bytes.size() && buffer != nullptr) [[likely]] {
            *buffer = bytes[at];
            return 1;
        }
        return GetRun(position, buffer, count);
    }

private:
    // Any other request, kept out of the way of the one above.
    [[gnu::noinline]] int32_t GetRun(int32_t position, char* buffer, int32_t count) const {
        return buffer == nullptr ? 0
                                 : kestrel::MemorySource(*bytes_).GetText(position, buffer, count);
    }

    std::shared_ptr<const BufferSnapshot> snapshot_;
    // The snapshot's bytes, followed where they move when it takes a copy.
    const std::string_view* bytes_;
    int version_;
};

// Collects insertions; they reach the editor, as one undo step, when the
// writer is released.
class HostWriter final : public kestrel::RefCounted<HostWriter, kestrel::TIEditWriter>,
                         HostObjectCounter {
public:
    HostWriter(EditorDocument* document, int version);
    ~HostWriter();
    int32_t GetInterfaceVersion() override { return version_; }
    bool CopyTo(int32_t position) override;
    bool Insert(const char* text) override;

private:
    QPointer<EditorDocument> document_;
    std::shared_ptr<const BufferSnapshot> snapshot_;
    int32_t position_ = 0;
    std::vector<EditorDocument::Insertion> insertions_;
    int version_;
};

template <class Pos>
class HostView final : public kestrel::RefCounted<HostView<Pos>, kestrel::TIEditViewOf<Pos>>,
                       HostObjectCounter {
public:
    HostView(EditorDocument* document, int version) : document_(document), version_(version) {}
    int32_t GetInterfaceVersion() override { return version_; }
    Pos GetPos(int32_t index) override;
    bool SetPos(int32_t index, Pos value) override;

private:
    QPointer<EditorDocument> document_;
    int version_;
};

} // namespace workbench
