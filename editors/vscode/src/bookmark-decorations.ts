// A gutter icon and an overview-ruler mark on every bookmark line of the
// visible Pascal editors, painted again after a pause in typing.
import * as vscode from 'vscode';
import { BookmarkLines } from './bookmark-lines';
import { changesGutter, readConfig } from './config';

const pauseMs = 150;

export function registerBookmarkDecorations(context: vscode.ExtensionContext, bookmarks: BookmarkLines): void {
    const decoration = vscode.window.createTextEditorDecorationType({
        gutterIconPath: vscode.Uri.joinPath(context.extensionUri, 'media', 'bookmark.svg'),
        gutterIconSize: 'contain',
        overviewRulerColor: new vscode.ThemeColor('kestrel.bookmarkForeground'),
        overviewRulerLane: vscode.OverviewRulerLane.Left,
    });
    let enabled = readConfig().gutterMarks;
    const waiting = new Map<string, NodeJS.Timeout>();

    const paint = (document: vscode.TextDocument): void => {
        const editors = vscode.window.visibleTextEditors.filter((editor) => editor.document === document);
        if (editors.length === 0) {
            return;
        }
        const ranges = enabled && document.languageId === 'pascal'
            ? bookmarks.of(document).map((line) => new vscode.Range(line, 0, line, 0))
            : [];
        for (const editor of editors) {
            editor.setDecorations(decoration, ranges);
        }
    };
    const paintLater = (document: vscode.TextDocument): void => {
        const key = document.uri.toString();
        clearTimeout(waiting.get(key));
        waiting.set(key, setTimeout(() => {
            waiting.delete(key);
            paint(document);
        }, pauseMs));
    };
    const paintVisible = (): void => {
        new Set(vscode.window.visibleTextEditors.map((editor) => editor.document)).forEach(paint);
    };

    context.subscriptions.push(
        decoration,
        vscode.workspace.onDidChangeTextDocument((event) => {
            if (event.document.languageId === 'pascal') {
                bookmarks.update(event);
                paintLater(event.document);
            }
        }),
        vscode.workspace.onDidCloseTextDocument((document) => bookmarks.forget(document)),
        vscode.window.onDidChangeVisibleTextEditors(paintVisible),
        vscode.workspace.onDidChangeConfiguration((event) => {
            if (changesGutter(event)) {
                enabled = readConfig().gutterMarks;
                paintVisible();
            }
        }),
        { dispose: () => waiting.forEach((timer) => clearTimeout(timer)) },
    );
    paintVisible();
}
