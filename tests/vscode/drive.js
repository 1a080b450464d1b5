// Drives code-server in headless chromium through the extension's features.
//
//   node drive.js checks|broken|hanging|measure URL
//
// checks: every feature, in order; the first failure stops the run with a
// screenshot. broken: the server is /bin/false; the user must be told what
// to set, and the outline and symbol list checks must fail. hanging: the
// server never answers; it must be stopped and the user told. measure: times
// the large unit. Every wait has a limit.
'use strict';
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');
const { chromium } = require(path.join(process.env.KESTREL_TOOLS, 'node_modules', 'playwright-core'));

const [mode, url] = process.argv.slice(2);
const workspace = process.env.KESTREL_WORKSPACE;
const artifacts = process.env.KESTREL_ARTIFACTS;
const largeUnit = '/usr/share/fpcsrc/3.2.2/packages/odata/src/sharepoint.pp';
const waitMs = 20000;
const mod = 'Control';

// The rows kestrel-list gives for a file: what the symbol list must show.
function listedRows(file) {
    return execFileSync(process.env.KESTREL_LIST, ['--json', file], { encoding: 'utf8', maxBuffer: 1 << 28 })
        .split('\n').filter((line) => line !== '').map((line) => JSON.parse(line));
}

class Workbench {
    constructor(page, timeout = waitMs) {
        this.page = page;
        this.timeout = timeout;
    }

    async waitFor(what, test, arg, timeout = this.timeout) {
        try {
            return await this.page.waitForFunction(test, arg, { timeout, polling: 'raf' });
        } catch (error) {
            throw new Error(`${what}: not seen within ${timeout} ms`);
        }
    }

    statusText(id) {
        return this.page.evaluate((id) => document.getElementById(id)?.textContent?.trim() ?? '', id);
    }

    async waitForStatus(id, pattern, what) {
        await this.waitFor(what, ([id, source]) => new RegExp(source).test(document.getElementById(id)?.textContent ?? ''),
            [id, pattern.source]);
    }

    cursorIs(line, column) {
        const pattern = new RegExp(`Ln ${line}, Col ${column ?? '\\d+'}\\b`);
        return this.waitForStatus('status.editor.selection', pattern, `cursor at line ${line}${column ? `, column ${column}` : ''}`);
    }

    async openFile(name) {
        await this.page.keyboard.press(`${mod}+P`);
        await this.quickInputOpen();
        await this.page.keyboard.type(name);
        await this.waitFor(`quick open offers ${name} first`, (name) =>
            document.querySelector('.quick-input-list .monaco-list-row.focused')?.textContent?.includes(name), name);
        // Opening starts here: what came before is quick open's own time.
        this.opening = Date.now();
        await this.page.keyboard.press('Enter');
        await this.waitFor(`${name} is the active editor`, (name) => document.querySelector('.tab.active')?.textContent?.includes(name), name);
        await this.waitFor('the editor has the keyboard', () => document.activeElement?.closest('.monaco-editor') !== null);
    }

    async goTo(line, column) {
        await this.page.keyboard.press(`${mod}+G`);
        await this.quickInputOpen();
        await this.page.keyboard.type(`${line}:${column}`);
        await this.page.keyboard.press('Enter');
        await this.cursorIs(line, column);
    }

    quickInputOpen() {
        return this.waitFor('the quick input opens', () => {
            const widget = document.querySelector('.quick-input-widget');
            return widget !== null && widget.style.display !== 'none' && widget.contains(document.activeElement);
        });
    }

    quickInputClosed() {
        return this.waitFor('the quick input closes', () => {
            const widget = document.querySelector('.quick-input-widget');
            return widget === null || widget.style.display === 'none';
        });
    }

    // The number of rows the open quick pick holds (the list is virtual:
    // each painted row knows the total), once it has stopped loading.
    async quickPickRows(what, expected, timeout = this.timeout) {
        const handle = await this.waitFor(what, (expected) => {
            if (document.querySelector('.quick-input-widget .quick-input-progress.active')) {
                return false;
            }
            const row = document.querySelector('.quick-input-list .monaco-list-row');
            const size = row === null ? 0 : Number(row.getAttribute('aria-setsize'));
            return (expected === undefined ? size > 0 : size === expected) ? size : false;
        }, expected, timeout);
        return handle.jsonValue();
    }

    // Ctrl+Alt+L, then the list once loaded. The rows a list painted before
    // lose their count first, so that they are not taken for the new list's.
    async openSymbolList(expected, what) {
        await this.page.evaluate(() => document.querySelectorAll('.quick-input-list .monaco-list-row')
            .forEach((row) => row.removeAttribute('aria-setsize')));
        await this.page.keyboard.press(`${mod}+Alt+L`);
        return this.quickPickRows(what, expected);
    }

    quickPickLabels() {
        return this.page.evaluate(() => [...document.querySelectorAll('.quick-input-list .monaco-list-row')]
            .map((row) => row.getAttribute('aria-label') ?? row.textContent));
    }

    async command(title) {
        await this.page.keyboard.press(`${mod}+Shift+P`);
        await this.quickInputOpen();
        await this.page.keyboard.type(title);
        await this.waitFor(`the palette offers ${title}`, (title) => [...document.querySelectorAll('.quick-input-list .monaco-list-row')]
            .some((row) => row.textContent.includes(title)), title);
        await this.page.keyboard.press('Enter');
    }

    async save(file, test, what) {
        await this.page.keyboard.press(`${mod}+S`);
        const deadline = Date.now() + waitMs;
        while (Date.now() < deadline) {
            if (test(fs.readFileSync(file, 'utf8'))) {
                return;
            }
            await this.page.waitForTimeout(50);
        }
        throw new Error(`${what}: not on disk within ${waitMs} ms`);
    }

    notification(pattern, what) {
        return this.waitFor(what, (source) => [...document.querySelectorAll('.notification-toast, .notifications-list-container .monaco-list-row')]
            .some((toast) => new RegExp(source).test(toast.textContent)), pattern.source);
    }

    gutterMarks() {
        return this.page.evaluate(() => document.querySelectorAll('.monaco-editor .margin .cgmr').length);
    }
}

function expect(condition, message) {
    if (!condition) {
        throw new Error(message);
    }
}

const unit1 = () => path.join(workspace, 'Unit1.pas');

// The large unit as Pascal and as plain text, and a file of 100 MB.
function prepareLargeFiles() {
    fs.copyFileSync(largeUnit, path.join(workspace, 'sharepoint.pp'));
    fs.copyFileSync(largeUnit, path.join(workspace, 'sharepoint.txt'));
    const text = fs.readFileSync(largeUnit);
    // The same text as line comments: a unit of the same size whose outline
    // has one entry, so what VS Code takes for the size alone shows apart.
    const commented = text.toString('latin1').split('\n').map((line) => `//${line}`).join('\n');
    fs.writeFileSync(path.join(workspace, 'comments.pas'), `unit comments;\n${commented}\nend.\n`, 'latin1');
    fs.writeFileSync(path.join(workspace, 'huge.pas'), Buffer.concat(Array(Math.ceil(100e6 / text.length)).fill(text)));
}

// The files the checks open besides Unit1.pas, written before VS Code reads
// the folder: quick open may not find a file made later.
function prepareWorkspace() {
    fs.writeFileSync(path.join(workspace, 'Wide.pas'), "unit Wide;\ninterface\nconst S = 'Größe 𝄞 €'; X = 1;\nimplementation\nend.\n");
    fs.writeFileSync(path.join(workspace, 'Latin.pas'), Buffer.from(
        'unit Latin;\ninterface\nprocedure Caf\xe9;\nimplementation\nprocedure Caf\xe9; {//* \xe0 revoir}\nbegin\nend;\nend.\n', 'latin1'));
}

// Each check leaves Unit1.pas open with the keyboard in the editor.
const checks = [
    ['the language mode is Pascal, with colours', async (wb) => {
        await wb.openFile('Unit1.pas');
        await wb.waitForStatus('status.editor.mode', /^Pascal$/, 'the language mode Pascal');
        await wb.waitFor('keywords coloured by the grammar', () => [...document.querySelectorAll('.view-line span span')]
            .some((span) => span.textContent === 'unit' && span.className !== document.querySelector('.view-line span span:last-child')?.className));
    }],
    ['the server runs and says so in the status bar', async (wb) => {
        await wb.waitFor('the Kestrel status item says the server runs', () => [...document.querySelectorAll('.statusbar-item')]
            .some((item) => item.textContent.includes('Kestrel') && item.querySelector('.codicon-check') !== null));
    }],
    ['the outline: Ctrl+Shift+O lists the server\'s entries', async (wb) => {
        await wb.page.keyboard.press(`${mod}+Shift+O`);
        await wb.quickInputOpen();
        const count = await wb.quickPickRows('the outline\'s entries', 24);
        const labels = (await wb.quickPickLabels()).join('\n');
        expect(count === 24 && /TShape/.test(labels) && /GetArea/.test(labels), `outline: ${count} entries\n${labels}`);
        await wb.page.keyboard.press('Escape');
        await wb.quickInputClosed();
    }],
    ['Ctrl+Shift+Down and Up move between a declaration and its implementation', async (wb) => {
        await wb.goTo(15, 14);
        await wb.page.keyboard.press(`${mod}+Shift+ArrowDown`);
        await wb.cursorIs(44);
        await wb.page.keyboard.press(`${mod}+Shift+ArrowUp`);
        await wb.cursorIs(15);
    }],
    ['F12 on a method\'s implementation goes to its declaration in the class', async (wb) => {
        await wb.goTo(64, 20);
        await wb.page.keyboard.press('F12');
        await wb.cursorIs(28);
    }],
    ['Ctrl+Alt+L lists kestrel-list\'s rows, filters, and Enter jumps with the editor keeping the keyboard', async (wb) => {
        const rows = listedRows(unit1());
        await wb.goTo(1, 1);
        await wb.page.keyboard.press(`${mod}+Alt+L`);
        await wb.quickInputOpen();
        await wb.quickPickRows(`all ${rows.length} rows`, rows.length);
        const labels = await wb.quickPickLabels();
        expect(labels.some((label) => label.includes('00064') && label.includes('Grow') && label.includes('TCircle')),
            `no row shows line 64, Grow and TCircle:\n${labels.join('\n')}`);
        await wb.page.keyboard.type('Grow');
        const growing = rows.filter((row) => `${row.caption} ${row.name} ${row.class} ${row.details}`.toLowerCase().includes('grow'));
        await wb.quickPickRows(`the ${growing.length} rows that match "Grow"`, growing.length);
        await wb.page.keyboard.press('Enter');
        await wb.quickInputClosed();
        await wb.cursorIs(growing[0].line, 1);
        await wb.page.keyboard.type('xyz');
        await wb.cursorIs(growing[0].line, 4);
        await wb.waitFor('the typed text in the editor', () => [...document.querySelectorAll('.view-line')]
            .some((line) => line.textContent.startsWith('xyz')));
        await wb.page.keyboard.press(`${mod}+Z`);
        await wb.cursorIs(growing[0].line, 1);
    }],
    ['the symbol list\'s category buttons hide rows, and the choice is kept', async (wb) => {
        const rows = listedRows(unit1());
        const withoutBookmarks = rows.filter((row) => row.category !== 'bookmark').length;
        expect(withoutBookmarks < rows.length, 'the sample has no bookmark row to hide');
        await wb.page.keyboard.press(`${mod}+Alt+L`);
        await wb.quickPickRows('the rows', rows.length);
        await wb.page.click('.quick-input-widget .quick-input-title [title^="Bookmarks shown"], .quick-input-widget [aria-label^="Bookmarks shown"]',
            { timeout: waitMs });
        await wb.quickPickRows('the rows without bookmarks', withoutBookmarks);
        await wb.page.keyboard.press('Escape');
        await wb.quickInputClosed();
        await wb.openSymbolList(withoutBookmarks, 'the rows without bookmarks, after reopening');
        await wb.page.click('.quick-input-widget [title^="Bookmarks hidden"], .quick-input-widget [aria-label^="Bookmarks hidden"]',
            { timeout: waitMs });
        await wb.quickPickRows('all rows again', rows.length);
        await wb.page.keyboard.press('Escape');
        await wb.quickInputClosed();
    }],
    ['Ctrl+Alt+B inserts the marker at the cursor, marks the gutter, and saves', async (wb) => {
        const before = await wb.gutterMarks();
        await wb.goTo(46, 3);
        await wb.page.keyboard.press(`${mod}+Alt+B`);
        await wb.cursorIs(46, 8);
        await wb.waitFor('a new gutter mark', (before) =>
            document.querySelectorAll('.monaco-editor .margin .cgmr').length > before, before);
        await wb.save(unit1(), (text) => text.split(/\r?\n/)[45] === '  {//*}Result := 0;', 'line 46 with the marker');
    }],
    ['Ctrl+Alt+B counts columns as the editor does, after non-ASCII text', async (wb) => {
        const file = path.join(workspace, 'Wide.pas');
        await wb.openFile('Wide.pas');
        await wb.goTo(3, 1);
        await wb.page.keyboard.press('End');
        for (let i = 0; i < 'X = 1;'.length; ++i) {
            await wb.page.keyboard.press('ArrowLeft');
        }
        await wb.page.keyboard.press(`${mod}+Alt+B`);
        await wb.save(file, (text) => text.split('\n')[2] === "const S = 'Größe 𝄞 €'; {//*}X = 1;", 'the marker before "X = 1;"');
        await wb.page.keyboard.press(`${mod}+Z`);
        await wb.save(file, (text) => text.split('\n')[2] === "const S = 'Größe 𝄞 €'; X = 1;", 'one Undo takes the marker back');
        await wb.openFile('Unit1.pas');
    }],
    ['the bookmark keys move to the next and the previous bookmark', async (wb) => {
        await wb.goTo(1, 1);
        await wb.page.keyboard.press(`${mod}+Alt+N`);
        await wb.cursorIs(46, 1);
        await wb.page.keyboard.press(`${mod}+Alt+N`);
        await wb.cursorIs(51, 1);
        await wb.page.keyboard.press(`${mod}+Alt+P`);
        await wb.cursorIs(46, 1);
    }],
    ['Ctrl+T finds a method in the workspace', async (wb) => {
        await wb.page.keyboard.press(`${mod}+T`);
        await wb.quickInputOpen();
        await wb.page.keyboard.type('Grow');
        await wb.waitFor('workspace symbols lists Grow', () => [...document.querySelectorAll('.quick-input-list .monaco-list-row')]
            .some((row) => row.textContent.includes('Grow')));
        await wb.page.keyboard.press('Enter');
        await wb.quickInputClosed();
        await wb.cursorIs('(28|64)'); // the declaration or the implementation
    }],
    ['a server that crashes is restarted, with a message', async (wb) => {
        const first = serverPid();
        expect(first !== undefined, 'no kestrel-lsp process from the installed extension');
        process.kill(first, 'SIGKILL');
        await wb.notification(/server stopped and was restarted/, 'the message about the restart');
        await wb.waitFor('the status item says the server runs again', () => [...document.querySelectorAll('.statusbar-item')]
            .some((item) => item.textContent.includes('Kestrel') && item.querySelector('.codicon-check') !== null));
        const second = serverPid();
        expect(second !== undefined && second !== first, 'no new server process');
        await wb.page.keyboard.press(`${mod}+Shift+O`);
        // 24 entries and the bookmark inserted at line 46.
        await wb.quickPickRows('the outline from the new server', 25);
        await wb.page.keyboard.press('Escape');
        await wb.quickInputClosed();
    }],
    ['a Windows-1252 file lists the rows kestrel-list gives', async (wb) => {
        const file = path.join(workspace, 'Latin.pas');
        const rows = listedRows(file);
        await wb.openFile('Latin.pas');
        await wb.page.keyboard.press(`${mod}+Alt+L`);
        await wb.quickPickRows(`the ${rows.length} rows`, rows.length);
        await wb.page.keyboard.press('Escape');
        await wb.quickInputClosed();
    }],
    // Typed text: the settings keep suggestions from taking an Enter.
    ['an untitled Pascal document gets the symbol list too', async (wb) => {
        await wb.command('File: New Untitled Text File');
        await wb.waitFor('an untitled editor', () => /Untitled/.test(document.querySelector('.tab.active')?.textContent ?? ''));
        await wb.page.keyboard.type('unit Scratch;\ninterface\nprocedure Hello;\nimplementation\nprocedure Hello;\nbegin\nend;\nend.\n');
        await wb.command('Change Language Mode');
        await wb.quickInputOpen();
        await wb.page.keyboard.type('Pascal');
        await wb.page.waitForTimeout(300);
        await wb.page.keyboard.press('Enter');
        await wb.waitForStatus('status.editor.mode', /^Pascal$/, 'the untitled editor in Pascal');
        await wb.page.keyboard.press(`${mod}+Alt+L`);
        await wb.quickPickRows('the untitled document\'s 4 rows', 4);
        await wb.page.keyboard.press('Escape');
        await wb.quickInputClosed();
    }],
];

// The pid of the kestrel-lsp that the installed extension runs.
function serverPid() {
    const extensions = process.env.KESTREL_EXTENSIONS;
    for (const entry of fs.readdirSync('/proc')) {
        if (!/^\d+$/.test(entry)) {
            continue;
        }
        try {
            const exe = fs.readlinkSync(`/proc/${entry}/exe`);
            if (exe.startsWith(extensions) && exe.endsWith('/kestrel-lsp')) {
                return Number(entry);
            }
        } catch {
            // Not ours, or gone.
        }
    }
    return undefined;
}

// With /bin/false for a server, these must fail; the others do not need it.
const serverChecks = new Set([2, 3, 5]);

async function screenshot(page, name) {
    fs.mkdirSync(artifacts, { recursive: true });
    await page.screenshot({ path: path.join(artifacts, `${name}.png`) }).catch(() => undefined);
}

async function runChecks(wb) {
    // KESTREL_VSCODE_SKIP, a pattern of check names, for a developer's
    // quicker round; the test itself never sets it.
    const skip = process.env.KESTREL_VSCODE_SKIP ? new RegExp(process.env.KESTREL_VSCODE_SKIP) : undefined;
    for (const [index, [name, check]] of checks.entries()) {
        if (skip?.test(name)) {
            console.log(`skipped ${index + 1} - ${name}`);
            continue;
        }
        const started = Date.now();
        try {
            await check(wb);
        } catch (error) {
            await screenshot(wb.page, `failed-${index + 1}`);
            throw new Error(`FAILED: ${name}: ${error.message}`);
        }
        console.log(`ok ${index + 1} - ${name} (${Date.now() - started} ms)`);
        if (index === 5 && process.env.KESTREL_SCREENSHOT) {
            await wb.page.keyboard.press(`${mod}+Alt+L`);
            await wb.quickPickRows('the list for the screenshot');
            await wb.page.screenshot({ path: process.env.KESTREL_SCREENSHOT });
            await wb.page.keyboard.press('Escape');
        }
    }
}

async function runBroken(wb) {
    await wb.openFile('Unit1.pas');
    await wb.notification(/before it answered.*Set kestrel\.serverPath/, 'the message that says what to set');
    await wb.waitFor('an Open setting button', () => [...document.querySelectorAll('.notification-toast .monaco-button')]
        .some((button) => button.textContent === 'Open setting'));
    await screenshot(wb.page, 'broken-server-message');
    for (const index of serverChecks) {
        const [name, check] = checks[index];
        let failed = false;
        try {
            await check(new Workbench(wb.page, 3000));
        } catch {
            failed = true;
        }
        expect(failed, `"${name}" passed with /bin/false as the server`);
        await wb.page.keyboard.press('Escape');
        console.log(`ok - fails with a broken server: ${name}`);
    }
    // The server is not started again and again.
    const log = (await wb.page.evaluate(() => document.body.textContent)).match(/before it answered/g) ?? [];
    expect(log.length <= 1, 'the failure was reported more than once');
}

async function runHanging(wb) {
    await wb.openFile('Unit1.pas');
    await wb.notification(/did not answer within \d+ s and was stopped.*Set kestrel\.serverPath/, 'the message about a server that never answered');
    await screenshot(wb.page, 'hanging-server-message');
}

async function measure(wb) {
    if (!fs.existsSync(largeUnit)) {
        console.log(`measure: ${largeUnit} is missing (Debian's fpc-source-3.2.2)`);
        return;
    }
    const rows = listedRows(largeUnit).length;
    const size = fs.statSync(path.join(workspace, 'huge.pas')).size;
    const figures = { push: ([what, ms]) => console.log(`measure: ${what}: ${ms} ms`) };
    await wb.openFile('Unit1.pas');
    await wb.waitFor('the server runs', () => [...document.querySelectorAll('.statusbar-item')]
        .some((item) => item.textContent.includes('Kestrel') && item.querySelector('.codicon-check') !== null));

    // The breadcrumbs of the named file, with the unit from its outline.
    const breadcrumbs = (name) => wb.waitFor(`the breadcrumbs of ${name} show the unit from the outline`, (name) => {
        const control = document.querySelector('.breadcrumbs-control');
        return control?.textContent?.includes(name) && control.querySelector('[class*="codicon-symbol-"]') !== null;
    }, name, 60000);
    // What VS Code alone takes to open a file of this size: the same text
    // as plain text, which no extension reads.
    await wb.openFile('sharepoint.txt');
    figures.push(['open sharepoint.txt (plain text) to its editor', Date.now() - wb.opening]);

    await wb.openFile('comments.pas');
    await breadcrumbs('comments.pas');
    figures.push(['open comments.pas (the same size, one outline entry) to its breadcrumbs', Date.now() - wb.opening]);

    // Opening the unit to its outline (Ctrl+Shift+O answered), timed from
    // the Enter that opens it.
    await wb.openFile('sharepoint.pp');
    const opening = wb.opening;
    const opened = Date.now();
    figures.push(['open sharepoint.pp to its editor', opened - opening]);
    await breadcrumbs('sharepoint.pp');
    figures.push(['open sharepoint.pp to the outline in its breadcrumbs', Date.now() - opening]);
    await wb.page.keyboard.press(`${mod}+Shift+O`);
    const outline = await wb.quickPickRows('the outline of sharepoint.pp', undefined, 60000);
    figures.push([`then Ctrl+Shift+O to its ${outline} entries`, Date.now() - opened]);
    figures.push(['open sharepoint.pp to its outline in Ctrl+Shift+O', Date.now() - opening]);
    await wb.page.keyboard.press('Escape');
    await wb.quickInputClosed();

    for (let round = 1; round <= 3; ++round) {
        const started = Date.now();
        await wb.openSymbolList(rows, `the ${rows} rows`);
        figures.push([`Ctrl+Alt+L to the painted list of ${rows} rows, round ${round}`, Date.now() - started]);
        await wb.page.keyboard.press('Escape');
        await wb.quickInputClosed();
    }

    // Typing: the time from a key to its character on screen, in the unit
    // and in the same text as plain text, where the extension does nothing.
    for (const name of ['sharepoint.pp', 'sharepoint.txt']) {
        await wb.openFile(name);
        await wb.goTo(60000, 1);
        const times = [];
        for (const key of 'abcdefghijklmnopqrstuvwxyzabcdefghijklmn') {
            const t = Date.now();
            await wb.page.keyboard.press(key);
            await wb.waitFor('the typed key on screen', ([count]) => {
                const status = document.getElementById('status.editor.selection')?.textContent ?? '';
                return status.includes(`Col ${count + 1}`);
            }, [times.length + 1]);
            times.push(Date.now() - t);
        }
        times.sort((a, b) => a - b);
        figures.push([`typing in ${name}: median key to screen`, times[times.length >> 1]]);
        figures.push([`typing in ${name}: slowest key`, times[times.length - 1]]);
        await wb.command('File: Revert File');
    }

    // A file of 100 MB: VS Code keeps it from extensions; the list must say
    // so, and the server must keep running.
    let started = Date.now();
    await wb.page.keyboard.press(`${mod}+P`);
    await wb.quickInputOpen();
    await wb.page.keyboard.type('huge.pas');
    await wb.waitFor('quick open offers huge.pas first', () =>
        document.querySelector('.quick-input-list .monaco-list-row.focused')?.textContent?.includes('huge.pas'));
    await wb.page.keyboard.press('Enter');
    // VS Code asks before it shows a file this large.
    await wb.page.click('.monaco-button:has-text("Open Anyway")', { timeout: 60000 });
    await wb.waitFor('the huge file in the editor', () => document.activeElement?.closest('.monaco-editor') !== null, undefined, 120000);
    figures.push(['huge.pas opened', Date.now() - started]);
    await screenshot(wb.page, 'huge-opened');
    await wb.page.keyboard.press(`${mod}+Alt+L`);
    await wb.page.waitForTimeout(3000);
    await screenshot(wb.page, 'huge-list');
    const toasts = await wb.page.evaluate(() => [...document.querySelectorAll('.notification-toast .notification-list-item-message')].map((toast) => toast.textContent));
    console.log(`measure: huge.pas (${(size / 1e6).toFixed(0)} MB): messages: ${JSON.stringify(toasts)}`);
    await wb.waitFor('the server still runs', () => [...document.querySelectorAll('.statusbar-item')]
        .some((item) => item.textContent.includes('Kestrel') && item.querySelector('.codicon-check') !== null));
    figures.push(['huge.pas handled', Date.now() - started]);
}

async function main() {
    const browser = await chromium.launch({
        executablePath: process.env.KESTREL_CHROMIUM,
        headless: true,
        args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-extensions'],
        timeout: waitMs,
    });
    let failed = false;
    if (mode === 'checks') {
        prepareWorkspace();
    } else if (mode === 'measure' && fs.existsSync(largeUnit)) {
        prepareLargeFiles();
    }
    try {
        const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
        page.setDefaultTimeout(waitMs);
        await page.goto(url, { timeout: 60000 });
        const wb = new Workbench(page);
        await wb.waitFor('the workbench', () => document.querySelector('.monaco-workbench .part.editor') !== null, undefined, 60000);
        // The explorer must have read the folder before quick open finds files.
        await wb.waitFor('the explorer lists Unit1.pas', () => document.querySelector('.explorer-folders-view')?.textContent?.includes('Unit1.pas'), undefined, 60000);
        if (mode === 'checks') {
            await runChecks(wb);
        } else if (mode === 'broken') {
            await runBroken(wb);
        } else if (mode === 'hanging') {
            await runHanging(wb);
        } else {
            await measure(wb);
        }
    } catch (error) {
        console.error(error.message);
        const page = browser.contexts()[0]?.pages()[0];
        if (page !== undefined && mode !== 'checks') {
            await screenshot(page, `failed-${mode}`);
        }
        failed = true;
    } finally {
        await browser.close();
    }
    process.exit(failed ? 1 : 0);
}

main();
