// "Kestrel: Insert bookmark" and the moves to the next and previous
// bookmark line.
import * as vscode from 'vscode';
import { bookmarkMarker, BookmarkLines } from './bookmark-lines';

export function registerBookmarkCommands(context: vscode.ExtensionContext, bookmarks: BookmarkLines): void {
    context.subscriptions.push(
        vscode.commands.registerTextEditorCommand('kestrel.insertBookmark', insertBookmark),
        vscode.commands.registerTextEditorCommand('kestrel.nextBookmark', (editor) => moveToBookmark(editor, bookmarks, +1)),
        vscode.commands.registerTextEditorCommand('kestrel.previousBookmark', (editor) => moveToBookmark(editor, bookmarks, -1)),
    );
}

// The marker goes at every cursor, in one edit so that one Undo takes it
// back. Positions are the editor's own, so text before the cursor in any
// script counts as the editor counts it.
async function insertBookmark(editor: vscode.TextEditor): Promise<void> {
    const cursors = editor.selections.map((selection) => selection.active);
    const done = await editor.edit((edit) => cursors.forEach((cursor) => edit.insert(cursor, bookmarkMarker)),
        { undoStopBefore: true, undoStopAfter: true });
    if (!done) {
        void vscode.window.showWarningMessage('Kestrel could not insert the bookmark: the editor refused the change.');
    }
}

// Wraps round at either end of the file, as a search does.
function moveToBookmark(editor: vscode.TextEditor, bookmarks: BookmarkLines, direction: 1 | -1): void {
    const lines = bookmarks.of(editor.document);
    if (lines.length === 0) {
        vscode.window.setStatusBarMessage('Kestrel: no bookmarks in this file', 3000);
        return;
    }
    const current = editor.selection.active.line;
    const target = direction > 0
        ? lines.find((line) => line > current) ?? lines[0]
        : [...lines].reverse().find((line) => line < current) ?? lines[lines.length - 1];
    const position = new vscode.Position(target, 0);
    editor.selection = new vscode.Selection(position, position);
    editor.revealRange(new vscode.Range(position, position), vscode.TextEditorRevealType.InCenterIfOutsideViewport);
}
