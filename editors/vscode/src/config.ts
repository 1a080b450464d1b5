// Every setting the extension reads, read here.
import * as vscode from 'vscode';

export const section = 'kestrel';
export const serverPathSetting = 'kestrel.serverPath';

export interface KestrelConfig {
    // An explicit server program; empty means "find one".
    serverPath: string;
    gutterMarks: boolean;
}

export function readConfig(): KestrelConfig {
    const config = vscode.workspace.getConfiguration(section);
    return {
        serverPath: config.get<string>('serverPath', '').trim(),
        gutterMarks: config.get<boolean>('bookmarks.gutter', true),
    };
}

export function changesServer(event: vscode.ConfigurationChangeEvent): boolean {
    return event.affectsConfiguration(serverPathSetting);
}

export function changesGutter(event: vscode.ConfigurationChangeEvent): boolean {
    return event.affectsConfiguration('kestrel.bookmarks.gutter');
}

// Opens the Settings editor on the server path, for the buttons of the
// messages that say the server is missing or broken.
export function openServerPathSetting(): Thenable<unknown> {
    return vscode.commands.executeCommand('workbench.action.openSettings', serverPathSetting);
}
