// Finds the kestrel-lsp program to run: the one the user set, else the one
// packed into the extension, else the one on PATH.
import * as fs from 'fs';
import * as os from 'os';
import * as path from 'path';

export type ServerLookup =
    | { found: true; path: string; origin: 'setting' | 'bundled' | 'PATH' }
    | { found: false; problem: string };

const programName = process.platform === 'win32' ? 'kestrel-lsp.exe' : 'kestrel-lsp';

export async function findServer(extensionPath: string, serverPath: string): Promise<ServerLookup> {
    if (serverPath !== '') {
        const expanded = serverPath.replace(/^~(?=$|[\\/])/, os.homedir());
        const problem = await whyNotRunnable(expanded);
        return problem === undefined
            ? { found: true, path: expanded, origin: 'setting' }
            : { found: false, problem: `The server set in kestrel.serverPath, "${serverPath}", ${problem}.` };
    }
    const bundled = path.join(extensionPath, 'server', programName);
    if ((await whyNotRunnable(bundled)) === undefined) {
        return { found: true, path: bundled, origin: 'bundled' };
    }
    for (const folder of (process.env.PATH ?? '').split(path.delimiter)) {
        if (folder === '') {
            continue;
        }
        const candidate = path.join(folder, programName);
        if ((await whyNotRunnable(candidate)) === undefined) {
            return { found: true, path: candidate, origin: 'PATH' };
        }
    }
    return {
        found: false,
        problem: 'Kestrel\'s language server, kestrel-lsp, is not part of this installation and not on PATH.',
    };
}

// Undefined when `file` is a program this process may run, else why not.
async function whyNotRunnable(file: string): Promise<string | undefined> {
    try {
        const stat = await fs.promises.stat(file);
        if (!stat.isFile()) {
            return 'is not a file';
        }
        await fs.promises.access(file, fs.constants.X_OK);
        return undefined;
    } catch (error) {
        const code = (error as NodeJS.ErrnoException).code;
        return code === 'ENOENT' ? 'does not exist' : 'cannot be run';
    }
}
