// Finds the kestrel-lsp program to run: the one the user set, else the one
// packed into the extension, else the one on PATH.
import * as fs from 'fs';
import * as os from 'os';
import * as path from 'path';

export type ServerLookup =
    | { found: true; path: string; origin: 'setting' | 'bundled' | 'PATH' }
    | { found: false; problem: string };

export type Candidate = { path: string; origin: 'bundled' | 'PATH' };

// The system the paths are of: Windows paths have drive letters and '\',
// and PATH is parted by ';' there, not ':' (which a drive letter holds).
export type Host = { platform: NodeJS.Platform; env: NodeJS.ProcessEnv; home: string };

const thisHost: Host = { platform: process.platform, env: process.env, home: os.homedir() };

function pathsOf(host: Host): path.PlatformPath {
    return host.platform === 'win32' ? path.win32 : path.posix;
}

// The program the user set, with a leading '~' for the home folder.
export function settingPath(serverPath: string, host: Host = thisHost): string {
    const expanded = serverPath.replace(/^~(?=$|[\\/])/, host.home);
    return host.platform === 'win32' ? path.win32.normalize(expanded) : expanded;
}

// Where a server is looked for when none is set, in order.
export function serverCandidates(extensionPath: string, host: Host = thisHost): Candidate[] {
    const paths = pathsOf(host);
    const program = host.platform === 'win32' ? 'kestrel-lsp.exe' : 'kestrel-lsp';
    const candidates: Candidate[] = [{ path: paths.join(extensionPath, 'server', program), origin: 'bundled' }];
    // Windows names its variables without regard to case ("Path").
    const pathKey = host.platform === 'win32'
        ? Object.keys(host.env).find((key) => key.toUpperCase() === 'PATH') ?? 'PATH'
        : 'PATH';
    for (const folder of (host.env[pathKey] ?? '').split(paths.delimiter)) {
        // A folder may be given in quotes on Windows.
        const unquoted = host.platform === 'win32' ? folder.replace(/^"(.*)"$/, '$1') : folder;
        if (unquoted !== '') {
            candidates.push({ path: paths.join(unquoted, program), origin: 'PATH' });
        }
    }
    return candidates;
}

export async function findServer(extensionPath: string, serverPath: string): Promise<ServerLookup> {
    if (serverPath !== '') {
        const expanded = settingPath(serverPath);
        const problem = await whyNotRunnable(expanded);
        return problem === undefined
            ? { found: true, path: expanded, origin: 'setting' }
            : { found: false, problem: `The server set in kestrel.serverPath, "${serverPath}", ${problem}.` };
    }
    for (const candidate of serverCandidates(extensionPath)) {
        if ((await whyNotRunnable(candidate.path)) === undefined) {
            return { found: true, ...candidate };
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
