#include "BookmarkCommand.h"

#include "CurrentFile.h"
#include "EditorRefs.h"
#include "EditorView.h"
#include "HostRef.h"
#include "SeekEditorPos.h"
#include "SourceMarks.h"

namespace kestrel {

void InsertBookmark(TIToolServices* services) {
    if (services == nullptr) {
        return;
    }
    const std::optional<std::string> name = AcceptCurrentFile(services);
    if (!name) {
        return;
    }
    const EditorRefs refs = OpenEditor(services, *name);
    if (!refs) {
        return;
    }
    TIEditorInterface* editor = refs.editor.Get();

    EditorPos cursor{};
    {
        HostRef<TIEditView> view(editor->GetView(0));
        if (!view) {
            return;
        }
        cursor = PositionsOf(view.Get())->GetPos(0);
    }

    EditorWalk walk;
    {
        HostRef<TIEditReader> reader(editor->CreateReader());
        if (!reader) {
            return;
        }
        walk = SeekEditorPos(*reader.Get(), cursor.Line, cursor.Col);
    }
    if (!walk.reached) {
        return;
    }

    {
        HostRef<TIEditWriter> writer(editor->CreateWriter());
        if (!writer) {
            return;
        }
        writer->CopyTo(walk.offset - 1);
        writer->Insert(walk.blanks.c_str());
        writer->Insert(kBookmarkMarker);
        // Releasing the writer completes the edit.
    }

    {
        HostRef<TIEditView> view(editor->GetView(0));
        if (!view) {
            return;
        }
        EditorPos after = PositionsOf(view.Get())->GetPos(0);
        after.Col = static_cast<int16_t>(after.Col - 1);
        PositionsOf(view.Get())->SetPos(0, after);
    }
}

} // namespace kestrel
