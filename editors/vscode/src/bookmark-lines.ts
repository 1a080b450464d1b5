// Which lines of a document carry a bookmark marker, kept current through
// the document's changes: a change rescans only the lines it wrote and
// shifts the lines after it, so typing in a large file costs little.
import * as vscode from 'vscode';

export const bookmarkMarker = '{//*}';
// A line is a bookmark when a comment on it opens with this.
export const bookmarkPrefix = '{//*';

export class BookmarkLines {
    private readonly lines = new Map<string, Set<number>>();

    // The 0-based bookmark lines of `document`, in order.
    of(document: vscode.TextDocument): number[] {
        let found = this.lines.get(document.uri.toString());
        if (found === undefined) {
            found = scanAll(document);
            this.lines.set(document.uri.toString(), found);
        }
        return [...found].sort((a, b) => a - b);
    }

    update(event: vscode.TextDocumentChangeEvent): void {
        const key = event.document.uri.toString();
        const found = this.lines.get(key);
        if (found === undefined || event.contentChanges.length === 0) {
            return;
        }
        if (event.contentChanges.length > 1) {
            // Several edits at once (multiple cursors, a format): cheaper to
            // read the document again than to order the shifts.
            this.lines.delete(key);
            return;
        }
        const change = event.contentChanges[0];
        const first = change.range.start.line;
        const removedLines = change.range.end.line - first;
        const addedLines = countLineBreaks(change.text);
        const shifted = new Set<number>();
        for (const line of found) {
            if (line < first) {
                shifted.add(line);
            } else if (line > first + removedLines) {
                shifted.add(line - removedLines + addedLines);
            }
        }
        for (let line = first; line <= first + addedLines; ++line) {
            if (event.document.lineAt(line).text.includes(bookmarkPrefix)) {
                shifted.add(line);
            }
        }
        this.lines.set(key, shifted);
    }

    forget(document: vscode.TextDocument): void {
        this.lines.delete(document.uri.toString());
    }
}

function scanAll(document: vscode.TextDocument): Set<number> {
    const text = document.getText();
    const found = new Set<number>();
    for (let at = text.indexOf(bookmarkPrefix); at >= 0; at = text.indexOf(bookmarkPrefix, at + bookmarkPrefix.length)) {
        found.add(document.positionAt(at).line);
    }
    return found;
}

// VS Code's model has one line end for the whole document, LF or CR LF, and
// converts the text of every edit to it, so counting LF counts lines.
function countLineBreaks(text: string): number {
    let count = 0;
    for (let at = text.indexOf('\n'); at >= 0; at = text.indexOf('\n', at + 1)) {
        ++count;
    }
    return count;
}
