// "Kestrel: Go to declaration or implementation": from a routine's
// declaration to its implementation and back. The server answers both
// directions of either request, so one request does.
import * as vscode from 'vscode';
import { DeclarationRequest, Location, LocationLink } from 'vscode-languageclient/node';
import { KestrelContext } from './kestrel-context';

export function registerDeclarationImplementation(context: vscode.ExtensionContext, kestrel: KestrelContext): void {
    context.subscriptions.push(vscode.commands.registerTextEditorCommand(
        'kestrel.switchDeclarationImplementation', (editor) => switchSides(kestrel, editor)));
}

async function switchSides(kestrel: KestrelContext, editor: vscode.TextEditor): Promise<void> {
    const client = await kestrel.runningClient();
    if (client === undefined) {
        return;
    }
    const answer = await client.sendRequest(DeclarationRequest.type,
        client.code2ProtocolConverter.asTextDocumentPositionParams(editor.document, editor.selection.active));
    const targets = answer === null ? [] : Array.isArray(answer) ? answer : [answer];
    if (targets.length === 0) {
        vscode.window.setStatusBarMessage('Kestrel: no declaration or implementation for the routine here', 3000);
        return;
    }
    const first = targets[0];
    const uri = client.protocol2CodeConverter.asUri(LocationLink.is(first) ? first.targetUri : first.uri);
    const range = client.protocol2CodeConverter.asRange(
        LocationLink.is(first) ? first.targetSelectionRange : (first as Location).range);
    if (targets.length > 1) {
        // Overloads that the server could not tell apart: let the user pick.
        const locations = targets.map((target) => LocationLink.is(target)
            ? new vscode.Location(client.protocol2CodeConverter.asUri(target.targetUri),
                client.protocol2CodeConverter.asRange(target.targetSelectionRange))
            : new vscode.Location(client.protocol2CodeConverter.asUri(target.uri),
                client.protocol2CodeConverter.asRange(target.range)));
        await vscode.commands.executeCommand('editor.action.goToLocations', editor.document.uri,
            editor.selection.active, locations, 'gotoAndPeek', 'No declaration or implementation');
        return;
    }
    const shown = await vscode.window.showTextDocument(uri, { viewColumn: editor.viewColumn });
    shown.selection = new vscode.Selection(range.start, range.start);
    shown.revealRange(range, vscode.TextEditorRevealType.InCenterIfOutsideViewport);
}
