#include "HostObjects.h"

#include "AddInCommand.h"
#include "EditorPos.h"
#include "HostRef.h"
#include "HostString.h"
#include "MenuTree.h"
#include "OpenDocuments.h"

#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <exception>

using namespace kestrel;

namespace workbench {

namespace {

int liveObjects = 0;

QString FromHost(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

int LiveHostObjects() {
    return liveObjects;
}

HostObjectCounter::HostObjectCounter() {
    ++liveObjects;
}

HostObjectCounter::~HostObjectCounter() {
    --liveObjects;
}

// --- services ---------------------------------------------------------------

HostServices::HostServices(OpenDocuments& documents, int interfaceVersion)
    : documents_(&documents), version_(interfaceVersion) {}

bool HostServices::OpenFile(const char* fileName) {
    return documents_ && documents_->OpenFile(FromHost(fileName), false) != nullptr;
}

WindowHandle HostServices::GetParentHandle() {
    return documents_ ? static_cast<WindowHandle>(documents_->Owner()->winId()) : 0;
}

HostText HostServices::GetCurrentFile() {
    EditorDocument* document = documents_ ? documents_->CurrentDocument() : nullptr;
    return MakeHostText(document ? document->Path().toStdString() : std::string());
}

bool HostServices::IsFileOpen(const char* fileName) {
    return documents_ && documents_->FindDocument(FromHost(fileName)) != nullptr;
}

TIModuleInterface* HostServices::GetModuleInterface(const char* fileName) {
    EditorDocument* document = documents_ ? documents_->FindDocument(FromHost(fileName)) : nullptr;
    return document ? new HostModule(document, version_) : nullptr;
}

TIMainMenuIntf* HostServices::GetMainMenu() {
    return documents_ ? new HostMainMenu(*documents_, version_) : nullptr;
}

// --- menus ------------------------------------------------------------------

HostMainMenu::HostMainMenu(OpenDocuments& documents, int version)
    : documents_(&documents), version_(version) {}

HostMenuItem::HostMenuItem(OpenDocuments& documents, QAction* action, int version)
    : documents_(&documents), action_(action), version_(version) {}

TIMenuItemIntf* HostMainMenu::FindMenuItem(const char* name) {
    if (!documents_) {
        return nullptr;
    }
    QAction* action = FindMenuAction(*documents_->Owner()->menuBar(), FromHost(name));
    return action ? new HostMenuItem(*documents_, action, version_) : nullptr;
}

int32_t HostMenuItem::GetIndex() {
    if (!action_ || !documents_) {
        return -1;
    }
    QWidget* container = MenuContaining(*documents_->Owner()->menuBar(), action_);
    return container ? static_cast<int32_t>(container->actions().indexOf(action_)) : -1;
}

TIMenuItemIntf* HostMenuItem::GetParent() {
    if (!action_ || !documents_) {
        return nullptr;
    }
    auto* menu = qobject_cast<QMenu*>(MenuContaining(*documents_->Owner()->menuBar(), action_));
    return menu ? new HostMenuItem(*documents_, menu->menuAction(), version_) : nullptr;
}

QKeySequence KeySequenceFromShortCut(uint16_t shortCut) {
    const int key = shortCut & 0xFF;
    if (key == 0) {
        return {};
    }
    QKeyCombination combination(static_cast<Qt::Key>(key));
    Qt::KeyboardModifiers modifiers;
    if (shortCut & scShift) {
        modifiers |= Qt::ShiftModifier;
    }
    if (shortCut & scCtrl) {
        modifiers |= Qt::ControlModifier;
    }
    if (shortCut & scAlt) {
        modifiers |= Qt::AltModifier;
    }
    return QKeySequence(QKeyCombination(modifiers, combination.key()));
}

TIMenuItemIntf* HostMenuItem::InsertItem(int32_t index, const char* caption, const char* name,
                                         const char* hint, uint16_t shortCut, int32_t /*context*/,
                                         int32_t /*groupIndex*/, int32_t flags,
                                         TIMenuClickEvent onClick) {
    if (!action_ || !documents_ || action_->menu() == nullptr) {
        return nullptr;
    }
    QMenu* menu = action_->menu();
    auto* item = new QAction(menu);
    const QString text = FromHost(caption);
    // A separator's text would be drawn beside its line.
    item->setSeparator(text == "-");
    item->setText(item->isSeparator() ? QString() : text);
    item->setObjectName(FromHost(name));
    item->setStatusTip(FromHost(hint));
    item->setShortcut(KeySequenceFromShortCut(shortCut));
    item->setShortcutContext(Qt::ApplicationShortcut);
    item->setEnabled((flags & mfEnabled) != 0);
    item->setVisible((flags & mfVisible) != 0);
    if (onClick.Code != nullptr) {
        OpenDocuments* documents = documents_.data();
        const int version = version_;
        QObject::connect(item, &QAction::triggered, documents, [documents, item, onClick, version] {
            RunAddInCommand(*documents, [&] {
                // The handler gets the clicked item as a host object of its
                // own, given back after the call.
                const HostRef<HostMenuItem> sender(new HostMenuItem(*documents, item, version));
                onClick.Code(onClick.Data, sender.Get());
            });
        });
    }
    const QList<QAction*> actions = menu->actions();
    QAction* before = index >= 0 && index < actions.size() ? actions.at(index) : nullptr;
    menu->insertAction(before, item);
    return new HostMenuItem(*documents_, item, version_);
}

// --- module and editor --------------------------------------------------------

TIEditorInterface* HostModule::GetEditorInterface() {
    return document_ ? new HostEditor(document_, version_) : nullptr;
}

TIEditReader* HostEditor::CreateReader() {
    return document_ ? new HostReader(document_->HostBytes(), version_) : nullptr;
}

TIEditWriter* HostEditor::CreateWriter() {
    return document_ ? new HostWriter(document_, version_) : nullptr;
}

TIEditView* HostEditor::GetView(int32_t index) {
    if (!document_ || index != 0) {
        return nullptr;
    }
    if (version_ == kInterfaceVersion0017) {
        return new HostView<EditorPos0017>(document_, version_);
    }
    return new HostView<EditorPos0016>(document_, version_);
}

HostWriter::HostWriter(EditorDocument* document, int version)
    : document_(document), snapshot_(document->HostBytes()), version_(version) {}

HostWriter::~HostWriter() {
    if (!document_ || insertions_.empty()) {
        return;
    }
    const std::vector<EditorDocument::Placed> placed =
        document_->PlaceInsertions(*snapshot_, insertions_);
    // Let go of the snapshot before the edit: one read in place that no
    // reader holds any more need not be copied.
    snapshot_.reset();
    document_->ApplyInsertions(placed);
}

bool HostWriter::CopyTo(int32_t position) {
    if (position < position_) {
        return false; // a writer only moves forward
    }
    position_ = static_cast<int32_t>(
        std::min<size_t>(static_cast<size_t>(position), snapshot_->Bytes().size()));
    return true;
}

bool HostWriter::Insert(const char* text) {
    if (text == nullptr) {
        return false;
    }
    insertions_.push_back({position_, std::string(text)});
    // A read-only document refuses the edit when the writer is released.
    return !(document_ && document_->IsReadOnly());
}

template <class Pos> Pos HostView<Pos>::GetPos(int32_t index) {
    Pos pos{};
    if (!document_) {
        return pos;
    }
    const EditorDocument::BytePos at =
        index == 1 ? document_->TopLeftPos() : document_->CursorPos();
    pos.Col = static_cast<int16_t>(std::min(at.column, 32767));
    pos.Line = at.line;
    return pos;
}

template <class Pos> bool HostView<Pos>::SetPos(int32_t index, Pos value) {
    if (!document_) {
        return false;
    }
    if (index == 0) {
        document_->SetCursorPos({value.Line, value.Col});
        return true;
    }
    if (index == 1) {
        document_->SetTopLine(value.Line);
        return true;
    }
    return false;
}

template class HostView<EditorPos0017>;
template class HostView<EditorPos0016>;

} // namespace workbench
