// The extension's incremental bookmark lines against a full scan, after
// each of many random edits (inserted and deleted lines, markers typed and
// broken), in documents with LF and with CR LF line ends. As in VS Code's
// model, a document has one line end and every edit's text uses it.
//
//   node bookmark-lines.js EXTENSION_OUT_DIR
'use strict';
const path = require('path');
const { BookmarkLines } = require(path.resolve(process.argv[2], 'bookmark-lines.js'));

// Just what BookmarkLines reads of a vscode.TextDocument.
class FakeDocument {
    constructor(text) {
        this.text = text;
        this.uri = { toString: () => 'file:///fake.pas' };
    }

    lineStarts() {
        const starts = [0];
        for (let i = 0; i < this.text.length; ++i) {
            if (this.text[i] === '\n') {
                starts.push(i + 1);
            }
        }
        return starts;
    }

    getText() {
        return this.text;
    }

    positionAt(offset) {
        const starts = this.lineStarts();
        let line = 0;
        while (line + 1 < starts.length && starts[line + 1] <= offset) {
            ++line;
        }
        return { line, character: offset - starts[line] };
    }

    offsetAt(position) {
        return this.lineStarts()[position.line] + position.character;
    }

    lineAt(line) {
        const starts = this.lineStarts();
        const end = line + 1 < starts.length ? starts[line + 1] : this.text.length;
        return { text: this.text.slice(starts[line], end).replace(/\r?\n$/, '') };
    }

    // Replaces [from, to) and returns the change event VS Code would send.
    edit(from, to, text) {
        const range = { start: this.positionAt(from), end: this.positionAt(to) };
        this.text = this.text.slice(0, from) + text + this.text.slice(to);
        return { document: this, contentChanges: [{ range, text }] };
    }
}

function fullScan(document) {
    const found = [];
    document.lineStarts().forEach((_, line) => {
        if (document.lineAt(line).text.includes('{//*')) {
            found.push(line);
        }
    });
    return found;
}

// A small deterministic generator, so that a failure can be replayed.
let seed = 12345;
function random(limit) {
    seed = (seed * 1103515245 + 12345) % 2147483648;
    return seed % limit;
}

const pieces = ['{//*}', '{//* text}', '\n', 'x := 1;', '{', '//*', '}', '\n{//*}\n', '\n\n', ''];
let failures = 0;
const rounds = 40;
for (let round = 0; round < rounds && failures === 0; ++round) {
    const eol = round % 2 === 0 ? '\n' : '\r\n';
    const document = new FakeDocument('unit U;\n{//*} a\ninterface\n  x; {//*}\nimplementation\nend.\n'.replaceAll('\n', eol));
    const bookmarks = new BookmarkLines();
    bookmarks.of(document);
    for (let step = 0; step < 200; ++step) {
        const from = random(document.text.length + 1);
        const to = Math.min(document.text.length, from + random(12));
        // Never split a CR LF: VS Code's model has no such position.
        if (document.text[from - 1] === '\r' && document.text[from] === '\n') {
            continue;
        }
        if (document.text[to - 1] === '\r' && document.text[to] === '\n') {
            continue;
        }
        const text = pieces[random(pieces.length)].replaceAll('\n', eol);
        const before = document.text;
        bookmarks.update(document.edit(from, to, text));
        const expected = fullScan(document).join(',');
        const got = bookmarks.of(document).join(',');
        if (got !== expected) {
            console.log(`FAIL: round ${round}, step ${step}: ${JSON.stringify(before)} with [${from}, ${to}) := ${JSON.stringify(text)}\n  lines ${got}, expected ${expected}`);
            ++failures;
            break;
        }
    }
}
console.log(`bookmark lines: ${rounds - failures} passed, ${failures} failed`);
process.exit(failures === 0 ? 0 : 1);
