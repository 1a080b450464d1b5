#include "DiskSync.h"

#include "FileReading.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

namespace workbench {

DiskSync::DiskSync(Host& host, QObject* parent) : QObject(parent), host_(host), watch_(this) {
    connect(&watch_, &DiskWatch::Changed, this, [this](const QString& path) {
        if (EditorDocument* document = Find(path)) {
            Check(document);
        }
    });
    // Watches can miss changes (network folders, a full watch table): look
    // again whenever the user comes back to the workbench.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive) {
                    CheckAll();
                }
            });
}

void DiskSync::Track(EditorDocument* document) {
    entries_.insert(document, {});
    watch_.Watch(document->Path());
    // A document just read matches its file; recovered changes may not.
    if (document->IsModified()) {
        Check(document);
    }
}

void DiskSync::Forget(EditorDocument* document) {
    if (entries_.remove(document)) {
        watch_.Unwatch(document->Path());
    }
    if (overwriteConfirmed_ == document) {
        overwriteConfirmed_ = nullptr;
    }
    if (recreating_ == document) {
        recreating_ = nullptr;
    }
    UpdateBar();
}

DiskSync::State DiskSync::StateOf(EditorDocument* document) const {
    return entries_.value(document).state;
}

void DiskSync::CheckAll() {
    const QList<EditorDocument*> documents = entries_.keys();
    for (EditorDocument* document : documents) {
        Check(document);
    }
}

void DiskSync::Check(EditorDocument* document) {
    if (!entries_.contains(document)) {
        return;
    }
    DiskCheck check = CheckDisk(document->Path(), document->DiskStamp());
    switch (check.result) {
    case DiskCheck::Result::Unchanged:
        // Also a file that came back as it was read.
        document->SetDiskStamp(check.stamp);
        SetState(document, State::InSync);
        break;
    case DiskCheck::Result::Changed:
        if (!document->IsModified()) {
            document->Reload(check.bytes, check.stamp);
            SetState(document, State::InSync);
        } else {
            SetState(document, State::Changed, check);
        }
        break;
    case DiskCheck::Result::Unreadable:
        SetState(document, State::Changed, check);
        break;
    case DiskCheck::Result::Deleted:
        SetState(document, State::Deleted);
        break;
    }
}

void DiskSync::SetState(EditorDocument* document, State state, const DiskCheck& check) {
    Entry& entry = entries_[document];
    const FileStamp::Hash disk = check.stamp.contents;
    const QString error = MessageOf(check.status);
    if (entry.state != state || entry.error != error || entry.disk != disk) {
        // A new difference is shown again even if the last one was put off.
        entry = {state, error, disk, false};
    }
    UpdateBar();
}

bool DiskSync::MaySave(EditorDocument* document, const QString& target) {
    if (QFileInfo(target).absoluteFilePath() != document->Path()) {
        return true; // Save As: the file dialog asked about a file there
    }
    if (std::exchange(overwriteConfirmed_, nullptr) == document) {
        return true;
    }
    const DiskCheck check = CheckDisk(document->Path(), document->DiskStamp());
    switch (check.result) {
    case DiskCheck::Result::Unchanged:
        return true;
    case DiskCheck::Result::Deleted:
        recreating_ = document;
        return true;
    case DiskCheck::Result::Changed:
    case DiskCheck::Result::Unreadable:
        break;
    }
    SetState(document, State::Changed, check);
    QMessageBox box(QMessageBox::Warning, tr("Save"),
                    tr("%1 has been changed by another program since it was read.\n\n"
                       "Save anyway, replacing those changes?")
                        .arg(document->DisplayName()),
                    QMessageBox::Save | QMessageBox::Cancel, host_.EditWindow());
    box.button(QMessageBox::Save)->setText(tr("&Overwrite"));
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Save;
}

void DiskSync::Saved(EditorDocument* document, const QString& previousPath) {
    if (!entries_.contains(document)) {
        return;
    }
    if (previousPath != document->Path()) {
        watch_.Unwatch(previousPath);
        watch_.Watch(document->Path());
    } else {
        watch_.Renew(document->Path());
    }
    const bool recreated = std::exchange(recreating_, nullptr) == document ||
                           entries_.value(document).state == State::Deleted;
    if (recreated && host_.EditWindow()) {
        host_.EditWindow()->statusBar()->showMessage(
            tr("%1 was written again: another program had deleted it.")
                .arg(document->DisplayName()));
    }
    SetState(document, State::InSync);
}

void DiskSync::ReloadFromDisk(EditorDocument* document) {
    if (entries_.contains(document)) {
        Reload(document);
    }
}

void DiskSync::Reload(EditorDocument* document) {
    // Read afresh, whatever the stamp says.
    const DiskCheck check = CheckDisk(document->Path(), FileStamp{});
    switch (check.result) {
    case DiskCheck::Result::Changed:
        document->Reload(check.bytes, check.stamp);
        SetState(document, State::InSync);
        break;
    case DiskCheck::Result::Deleted:
        SetState(document, State::Deleted);
        break;
    case DiskCheck::Result::Unreadable:
    case DiskCheck::Result::Unchanged:
        SetState(document, State::Changed, check);
        QMessageBox::warning(
            host_.EditWindow(), tr("Reload"),
            tr("Cannot read %1: %2").arg(document->Path(), MessageOf(check.status)));
        break;
    }
}

void DiskSync::Overwrite(EditorDocument* document) {
    overwriteConfirmed_ = document;
    host_.SaveDocument(document);
    overwriteConfirmed_ = nullptr;
}

EditorDocument* DiskSync::Current() const {
    TEditWindow* editWindow = host_.EditWindow();
    EditorDocument* document = editWindow ? editWindow->CurrentDocument() : nullptr;
    return entries_.contains(document) ? document : nullptr;
}

EditorDocument* DiskSync::Find(const QString& path) const {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it) {
        if (it.key()->Path() == absolute) {
            return it.key();
        }
    }
    return nullptr;
}

void DiskSync::UpdateBar() {
    TEditWindow* editWindow = host_.EditWindow();
    if (editWindow == nullptr) {
        return;
    }
    EditorDocument* document = Current();
    const Entry entry = entries_.value(document);
    if (document == nullptr || entry.state == State::InSync || entry.dismissed) {
        if (bar_) {
            bar_->hide();
        }
        return;
    }
    if (!bar_ || bar_->parentWidget() != editWindow) {
        bar_ = new DiskChangeBar(editWindow);
        editWindow->addToolBar(Qt::TopToolBarArea, bar_);
        connect(editWindow, &TEditWindow::CurrentChanged, this, &DiskSync::UpdateBar);
        connect(bar_->ReloadAction(), &QAction::triggered, this, [this] {
            if (EditorDocument* current = Current()) {
                Reload(current);
            }
        });
        connect(bar_->OverwriteAction(), &QAction::triggered, this, [this] {
            if (EditorDocument* current = Current()) {
                Overwrite(current);
            }
        });
        connect(bar_->LaterAction(), &QAction::triggered, this, [this] {
            if (EditorDocument* current = Current()) {
                entries_[current].dismissed = true;
                UpdateBar();
            }
        });
    }
    if (entry.state == State::Deleted) {
        bar_->ShowDeleted(document->DisplayName());
    } else if (!entry.error.isEmpty()) {
        bar_->ShowUnreadable(document->DisplayName(), entry.error);
    } else {
        bar_->ShowChanged(document->DisplayName());
    }
}

} // namespace workbench
