// Where the extension looks for kestrel-lsp, for Windows and Linux alike,
// from this machine: drive letters, '\' and '/', PATH parted by ';' on
// Windows (a drive's ':' must not part it), "Path" in any case, quoted
// folders, and '~' in the setting.
//
//   node server-path.js EXTENSION_OUT_DIR
'use strict';
const assert = require('assert');
const path = require('path');
const { serverCandidates, settingPath } = require(path.resolve(process.argv[2], 'server-path.js'));

const windows = (env) => ({ platform: 'win32', env, home: 'C:\\Users\\me' });
const linux = (env) => ({ platform: 'linux', env, home: '/home/me' });
const extension = 'c:\\Users\\me\\.vscode\\extensions\\brenta.kestrel-0.1.0-win32-x64';

const cases = [
    {
        host: windows({ Path: 'C:\\Program Files\\Kestrel;"D:\\tools";;d:/bin/' }),
        extension,
        want: [
            `${extension}\\server\\kestrel-lsp.exe`,
            'C:\\Program Files\\Kestrel\\kestrel-lsp.exe',
            'D:\\tools\\kestrel-lsp.exe',
            'd:\\bin\\kestrel-lsp.exe',
        ],
    },
    {
        host: windows({}),
        extension: '\\\\server\\share\\ext',
        want: ['\\\\server\\share\\ext\\server\\kestrel-lsp.exe'],
    },
    {
        host: linux({ PATH: '/usr/local/bin::/usr/bin' }),
        extension: '/home/me/.vscode/extensions/brenta.kestrel-0.1.0-linux-x64',
        want: [
            '/home/me/.vscode/extensions/brenta.kestrel-0.1.0-linux-x64/server/kestrel-lsp',
            '/usr/local/bin/kestrel-lsp',
            '/usr/bin/kestrel-lsp',
        ],
    },
];
for (const { host, extension: folder, want } of cases) {
    assert.deepStrictEqual(serverCandidates(folder, host).map((c) => c.path), want);
}
assert.deepStrictEqual(serverCandidates(extension, windows({ PATH: 'C:\\bin' }))[1],
    { path: 'C:\\bin\\kestrel-lsp.exe', origin: 'PATH' });

const settings = [
    [windows({}), '~\\bin\\kestrel-lsp.exe', 'C:\\Users\\me\\bin\\kestrel-lsp.exe'],
    [windows({}), 'C:/Tools/kestrel-lsp.exe', 'C:\\Tools\\kestrel-lsp.exe'],
    [windows({}), 'c:\\a\\..\\kestrel-lsp.exe', 'c:\\kestrel-lsp.exe'],
    [linux({}), '~/bin/kestrel-lsp', '/home/me/bin/kestrel-lsp'],
    [linux({}), '/opt/a\\b', '/opt/a\\b'],
];
for (const [host, given, want] of settings) {
    assert.strictEqual(settingPath(given, host), want, given);
}
console.log(`server path test passed: ${cases.length} searches, ${settings.length} settings`);
