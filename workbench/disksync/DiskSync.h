#pragma once

#include "DiskChangeBar.h"
#include "DiskWatch.h"
#include "EditorDocument.h"
#include "TEditWindow.h"

#include <QHash>
#include <QObject>
#include <QPointer>

namespace workbench {

// Keeps the open documents in step with their files on disk. A file that
// another program changes is reloaded at once when its document has no
// unsaved edits; otherwise a bar offers to reload it, to overwrite it or to
// decide later, and saving over it asks first. A deleted file is announced.
class DiskSync : public QObject {
    Q_OBJECT

public:
    enum class State { InSync, Changed, Deleted };

    // What the disk sync asks of the workbench that holds the documents.
    class Host {
    public:
        // Saves `document` over its file, as File > Save does; false when
        // it was not saved.
        virtual bool SaveDocument(EditorDocument* document) = 0;
        // The code editor window, where the bar is shown and the disk
        // sync's dialogs are centred; null while no file is open.
        virtual TEditWindow* EditWindow() const = 0;

    protected:
        ~Host() = default;
    };

    // `host` outlives the disk sync.
    DiskSync(Host& host, QObject* parent);

    // Starts watching the document's file; looks at it now when the
    // document holds recovered changes.
    void Track(EditorDocument* document);
    void Forget(EditorDocument* document);

    // Before `document` is saved to `target`: true when that may go ahead,
    // after asking when the file there changed since it was read.
    bool MaySave(EditorDocument* document, const QString& target);
    // After `document`, read from `previousPath`, was saved.
    void Saved(EditorDocument* document, const QString& previousPath);

    // File > Reload from Disk: the file's bytes replace the document's text
    // in one undo step (typing replaced comes back with Undo), also after
    // "Later" was chosen for a change.
    void ReloadFromDisk(EditorDocument* document);

    // Compares the document with its file now and acts on the difference.
    void Check(EditorDocument* document);
    void CheckAll();

    State StateOf(EditorDocument* document) const;
    // The bar of the code editor window, once it has been needed.
    DiskChangeBar* Bar() const { return bar_; }

private:
    struct Entry {
        State state = State::InSync;
        QString error;          // why the changed file cannot be read, if it cannot
        FileStamp::Hash disk;   // of the changed file's bytes
        bool dismissed = false; // "Later" was chosen for this change
    };

    void SetState(EditorDocument* document, State state, const DiskCheck& check = {});
    void UpdateBar();
    void Reload(EditorDocument* document);
    void Overwrite(EditorDocument* document);
    EditorDocument* Current() const;
    EditorDocument* Find(const QString& path) const;

    Host& host_;
    DiskWatch watch_;
    QHash<EditorDocument*, Entry> entries_;
    QPointer<DiskChangeBar> bar_;
    EditorDocument* overwriteConfirmed_ = nullptr;
    EditorDocument* recreating_ = nullptr;
};

} // namespace workbench
