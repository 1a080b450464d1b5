// "Kestrel: Symbol list": the file's rows from the server in a quick pick
// that filters as the user types, with a button per category. Enter jumps
// to the row's line and leaves the keyboard in the editor.
import * as vscode from 'vscode';
import { KestrelContext } from './kestrel-context';
import { Row, RowCategory, rowsRequest } from './protocol';

type FilterCategory = Exclude<RowCategory, 'header'>;

interface CategoryLook {
    category: FilterCategory;
    plural: string;
    icon: string;
}


// Header lines have no button: they are always listed.
const categories: CategoryLook[] = [
    { category: 'declaration', plural: 'Declarations', icon: 'symbol-interface' },
    { category: 'procedure', plural: 'Procedures', icon: 'symbol-method' },
    { category: 'function', plural: 'Functions', icon: 'symbol-field' },
    { category: 'bookmark', plural: 'Bookmarks', icon: 'bookmark' },
];
// One icon object a category, shared by all its rows.
const rowIcons = new Map<RowCategory, vscode.ThemeIcon>([
    ['header', new vscode.ThemeIcon('symbol-namespace')],
    ...categories.map((look): [RowCategory, vscode.ThemeIcon] => [look.category, new vscode.ThemeIcon(look.icon)]),
]);
const hiddenKey = 'kestrel.symbolList.hiddenCategories';

interface RowItem extends vscode.QuickPickItem {
    row: Row;
}

interface CategoryButton extends vscode.QuickInputButton {
    category: FilterCategory;
}

export function registerSymbolList(context: vscode.ExtensionContext, kestrel: KestrelContext): void {
    context.subscriptions.push(
        vscode.commands.registerCommand('kestrel.symbolList', () => {
            const editor = vscode.window.activeTextEditor;
            if (editor === undefined) {
                // VS Code keeps files over 50 MB from extensions, so such a
                // file in the editor lands here too.
                void vscode.window.showInformationMessage(
                    'Kestrel: the symbol list needs a Pascal file in the editor. Files over 50 MB are not given to extensions.');
                return;
            }
            return showSymbolList(context, kestrel, editor);
        }),
    );
}

async function showSymbolList(context: vscode.ExtensionContext, kestrel: KestrelContext, editor: vscode.TextEditor): Promise<void> {
    const client = await kestrel.runningClient();
    if (client === undefined) {
        return;
    }
    const pick = vscode.window.createQuickPick<RowItem>();
    pick.title = `Kestrel: ${fileName(editor.document)}`;
    pick.placeholder = 'Type to filter by line, name, class or details';
    pick.matchOnDescription = true;
    pick.matchOnDetail = false;
    pick.busy = true;
    const hidden = new Set(context.globalState.get<FilterCategory[]>(hiddenKey, []));
    let items: RowItem[] = [];
    const refresh = (): void => {
        pick.buttons = categories.map((look) => categoryButton(look, hidden.has(look.category)));
        pick.items = items.filter((item) => item.row.category === 'header' || !hidden.has(item.row.category));
    };
    refresh();
    pick.show();

    pick.onDidTriggerButton((button) => {
        const category = (button as CategoryButton).category;
        if (!hidden.delete(category)) {
            hidden.add(category);
        }
        void context.globalState.update(hiddenKey, [...hidden]);
        refresh();
    });
    pick.onDidAccept(() => {
        const chosen = pick.selectedItems[0];
        pick.hide();
        if (chosen !== undefined) {
            void jumpTo(editor, chosen.row.line);
        }
    });
    pick.onDidHide(() => pick.dispose());

    try {
        const rows = await client.sendRequest(rowsRequest, {
            textDocument: client.code2ProtocolConverter.asTextDocumentIdentifier(editor.document),
        });
        items = rows.map(rowItem);
        pick.busy = false;
        refresh();
    } catch (error) {
        pick.hide();
        void vscode.window.showErrorMessage(`Kestrel could not list ${fileName(editor.document)}: ${(error as Error).message}`);
    }
}

function rowItem(row: Row): RowItem {
    const name = row.name !== '' ? row.name : row.class;
    return {
        row,
        label: `${row.caption}  ${name}`,
        iconPath: rowIcons.get(row.category),
        description: [row.name !== '' ? row.class : '', row.details].filter((part) => part !== '').join('  '),
    };
}

function categoryButton(look: CategoryLook, hidden: boolean): CategoryButton {
    return {
        category: look.category,
        iconPath: new vscode.ThemeIcon(hidden ? 'eye-closed' : look.icon),
        tooltip: hidden ? `${look.plural} hidden: click to show them` : `${look.plural} shown: click to hide them`,
    };
}

// Puts the cursor at the start of the line, in the middle of the view, and
// gives the editor the keyboard.
async function jumpTo(editor: vscode.TextEditor, line: number): Promise<void> {
    const shown = await vscode.window.showTextDocument(editor.document, { viewColumn: editor.viewColumn, preserveFocus: false });
    const position = new vscode.Position(Math.min(line - 1, shown.document.lineCount - 1), 0);
    shown.selection = new vscode.Selection(position, position);
    shown.revealRange(new vscode.Range(position, position), vscode.TextEditorRevealType.InCenter);
}

function fileName(document: vscode.TextDocument): string {
    return document.isUntitled ? document.uri.path : vscode.workspace.asRelativePath(document.uri, false);
}
