// Kestrel's own requests, beside the standard protocol. Other clients can
// send them too; docs/vscode.md describes them.
import { RequestType, TextDocumentIdentifier } from 'vscode-languageclient/node';

// A row of the symbol list, as `kestrel-list --json` prints it.
export type RowCategory = 'header' | 'declaration' | 'procedure' | 'function' | 'bookmark';

export interface Row {
    line: number; // 1-based
    caption: string;
    category: RowCategory;
    name: string;
    class: string;
    details: string;
}

export interface RowsParams {
    textDocument: TextDocumentIdentifier;
}

// The symbol list's rows for a document's current text, in source order.
export const rowsRequest = new RequestType<RowsParams, Row[], void>('kestrel/rows');
