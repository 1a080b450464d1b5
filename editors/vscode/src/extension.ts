// Wires the parts together; each part registers and cleans up its own.
import * as vscode from 'vscode';
import { registerBookmarkCommands } from './bookmark-commands';
import { registerBookmarkDecorations } from './bookmark-decorations';
import { BookmarkLines } from './bookmark-lines';
import { changesServer } from './config';
import { registerDeclarationImplementation } from './declaration-implementation';
import { KestrelContext } from './kestrel-context';
import { registerSymbolList } from './symbol-list';

export async function activate(context: vscode.ExtensionContext): Promise<void> {
    const kestrel = new KestrelContext(context.extensionPath);
    const bookmarks = new BookmarkLines();
    context.subscriptions.push(
        kestrel,
        vscode.commands.registerCommand('kestrel.restartServer', () => kestrel.restart()),
        vscode.commands.registerCommand('kestrel.showServerLog', () => kestrel.showLog()),
        vscode.workspace.onDidChangeConfiguration((event) => {
            if (changesServer(event)) {
                void kestrel.restart();
            }
        }),
    );
    registerSymbolList(context, kestrel);
    registerDeclarationImplementation(context, kestrel);
    registerBookmarkCommands(context, bookmarks);
    registerBookmarkDecorations(context, bookmarks);
    await kestrel.start();
}

export function deactivate(): void {
    // The context's subscriptions stop the server.
}
