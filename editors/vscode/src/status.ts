// The status bar item that says whether Kestrel's server runs. A click opens
// the server's log while it runs, and the setting that picks the server when
// it does not.
import * as vscode from 'vscode';

export class ServerStatus implements vscode.Disposable {
    private readonly item = vscode.window.createStatusBarItem('kestrel.status', vscode.StatusBarAlignment.Right, 100);

    constructor() {
        this.item.name = 'Kestrel';
        this.starting();
        this.item.show();
    }

    starting(): void {
        this.set('$(loading~spin) Kestrel', 'Kestrel: starting kestrel-lsp', 'kestrel.showServerLog');
    }

    running(serverPath: string): void {
        this.set('$(check) Kestrel', `Kestrel: kestrel-lsp runs (${serverPath})`, 'kestrel.showServerLog');
    }

    failed(problem: string): void {
        this.set('$(error) Kestrel', `Kestrel: ${problem} Click to choose the server.`, {
            title: 'Choose the server',
            command: 'workbench.action.openSettings',
            arguments: ['kestrel.serverPath'],
        });
        this.item.backgroundColor = new vscode.ThemeColor('statusBarItem.errorBackground');
    }

    dispose(): void {
        this.item.dispose();
    }

    private set(text: string, tooltip: string, command: string | vscode.Command): void {
        this.item.text = text;
        this.item.tooltip = tooltip;
        this.item.command = command;
        this.item.backgroundColor = undefined;
    }
}
