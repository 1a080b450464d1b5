// Owns the one LanguageClient and its lifetime: finding the server, starting
// it, restarting it after a crash a bounded number of times, and telling the
// user what to set when it cannot run.
import { ChildProcess, spawn } from 'child_process';
import * as vscode from 'vscode';
import {
    CloseAction,
    CloseHandlerResult,
    ErrorAction,
    ErrorHandler,
    ErrorHandlerResult,
    LanguageClient,
    LanguageClientOptions,
    ServerOptions,
    State,
} from 'vscode-languageclient/node';
import { openServerPathSetting, readConfig } from './config';
import { findServer } from './server-path';
import { ServerStatus } from './status';

// Pascal documents on disk and not yet saved.
export const pascalDocuments = [
    { scheme: 'file', language: 'pascal' },
    { scheme: 'untitled', language: 'pascal' },
];

// A server that stops this many times within the window is left stopped.
const maxRestarts = 4;
const restartWindowMs = 3 * 60 * 1000;
const stopTimeoutMs = 2000;
const startWaitMs = 10000;
// kestrel-lsp answers the handshake in milliseconds; a server that has not
// answered by then never will, and is stopped rather than left hanging.
const handshakeLimitMs = 10000;

export class KestrelContext implements vscode.Disposable {
    private client: LanguageClient | undefined;
    private readonly crashTimes: number[] = [];
    // Whether the current server answered the handshake; a crash after that
    // is restarted, a failure before it is reported and left.
    private everRan = false;
    private readonly output = vscode.window.createOutputChannel('Kestrel', { log: true });
    private readonly status = new ServerStatus();
    // Starts and stops run one after the other, never interleaved.
    private pending: Promise<void> = Promise.resolve();

    constructor(private readonly extensionPath: string) {}

    // The running client, or undefined with a message that says why not. A
    // server still starting is waited for, a few seconds at most.
    async runningClient(): Promise<LanguageClient | undefined> {
        const client = this.client;
        if (client?.state === State.Starting) {
            await new Promise<void>((resolve) => {
                const finish = (): void => {
                    clearTimeout(timer);
                    listener.dispose();
                    resolve();
                };
                const timer = setTimeout(finish, startWaitMs);
                const listener = client.onDidChangeState((change) => change.newState !== State.Starting && finish());
            });
        }
        if (this.client === client && client?.state === State.Running) {
            return client;
        }
        void showServerProblem('Kestrel\'s server is not running.');
        return undefined;
    }

    start(): Promise<void> {
        return this.queue(() => this.startNow());
    }

    restart(): Promise<void> {
        this.crashTimes.length = 0;
        return this.queue(async () => {
            await this.stopNow();
            await this.startNow();
        });
    }

    showLog(): void {
        this.output.show(true);
    }

    dispose(): void {
        void this.queue(() => this.stopNow());
        this.status.dispose();
        this.output.dispose();
    }

    private queue(step: () => Promise<void>): Promise<void> {
        this.pending = this.pending.then(step, step);
        return this.pending;
    }

    private async startNow(): Promise<void> {
        this.status.starting();
        const lookup = await findServer(this.extensionPath, readConfig().serverPath);
        if (!lookup.found) {
            this.fail(lookup.problem);
            return;
        }
        this.output.info(`Starting ${lookup.path} (${lookup.origin})`);
        this.everRan = false;
        // The process is started here, not by the client, so that a server
        // that exits at once is reported with its exit status.
        let exit: string | undefined;
        let child: ChildProcess | undefined;
        const serverOptions: ServerOptions = async (): Promise<ChildProcess> => {
            child = spawn(lookup.path, [], { stdio: 'pipe' });
            child.on('exit', (code, signal) => {
                exit = signal !== null ? `was ended by ${signal}` : `exited with status ${code}`;
            });
            child.on('error', (error) => {
                exit = `could not be run (${error.message})`;
            });
            return child;
        };
        const clientOptions: LanguageClientOptions = {
            documentSelector: pascalDocuments,
            outputChannel: this.output,
            errorHandler: this.errorHandler(),
            initializationFailedHandler: () => false,
        };
        const client = new KestrelLanguageClient('kestrel', 'Kestrel', serverOptions, clientOptions);
        client.onDidChangeState((change) => {
            if (change.newState === State.Running) {
                this.everRan = true;
                this.status.running(lookup.path);
            }
        });
        this.client = client;
        // The handshake's deadline: the process is ended, and the wait given
        // up even if the client would go on waiting for its answer.
        let timedOut = false;
        let deadline: NodeJS.Timeout | undefined;
        const handshakeLimit = new Promise<never>((_resolve, reject) => {
            deadline = setTimeout(() => {
                timedOut = true;
                child?.kill('SIGKILL');
                reject(new Error('no answer'));
            }, handshakeLimitMs);
        });
        try {
            await Promise.race([client.start(), handshakeLimit]);
        } catch (error) {
            this.client = undefined;
            await Promise.race([
                client.dispose(stopTimeoutMs).catch(() => undefined),
                new Promise((resolve) => setTimeout(resolve, stopTimeoutMs)),
            ]);
            // Give the exit a moment to be seen: it explains more than a
            // broken pipe.
            await new Promise((resolve) => setTimeout(resolve, 100));
            const why = timedOut
                ? `did not answer within ${handshakeLimitMs / 1000} s and was stopped`
                : `${exit ?? `did not start (${describe(error)})`} before it answered`;
            this.fail(`The server ${lookup.path} ${why}.`);
        } finally {
            clearTimeout(deadline);
        }
    }

    private async stopNow(): Promise<void> {
        const client = this.client;
        this.client = undefined;
        if (client !== undefined) {
            await client.dispose(stopTimeoutMs).catch((error) => this.output.warn(`Stopping the server: ${describe(error)}`));
        }
    }

    private errorHandler(): ErrorHandler {
        return {
            // A message the connection could not read or write: keep going
            // unless the stream is plainly broken.
            error: (_error, _message, count): ErrorHandlerResult => ({
                action: (count ?? 0) <= 3 ? ErrorAction.Continue : ErrorAction.Shutdown,
                handled: true,
            }),
            closed: (): CloseHandlerResult => {
                if (!this.everRan) {
                    // A server that never answered: startNow reports it.
                    return { action: CloseAction.DoNotRestart, handled: true };
                }
                const now = Date.now();
                this.crashTimes.push(now);
                while (this.crashTimes.length > 0 && now - this.crashTimes[0] > restartWindowMs) {
                    this.crashTimes.shift();
                }
                if (this.crashTimes.length > maxRestarts) {
                    this.fail(`The server stopped ${this.crashTimes.length} times in three minutes and is left stopped.`);
                    return { action: CloseAction.DoNotRestart, handled: true };
                }
                this.output.warn('The server stopped; restarting it.');
                void vscode.window.showWarningMessage('Kestrel\'s server stopped and was restarted.', 'Show log')
                    .then((choice) => choice !== undefined && this.showLog());
                return { action: CloseAction.Restart, handled: true };
            },
        };
    }

    private fail(problem: string): void {
        this.output.error(problem);
        this.status.failed(problem);
        void showServerProblem(problem);
    }
}

// The client shows its own notification when the handshake fails; this
// extension says what to do instead, so that one is left to the log.
class KestrelLanguageClient extends LanguageClient {
    override error(message: string, data?: unknown, showNotification?: boolean | 'force'): void {
        super.error(message, data, showNotification === 'force' ? false : showNotification);
    }
}

async function showServerProblem(problem: string): Promise<void> {
    const openSetting = 'Open setting';
    const choice = await vscode.window.showErrorMessage(
        `${problem} Set kestrel.serverPath to a kestrel-lsp program.`, openSetting);
    if (choice === openSetting) {
        await openServerPathSetting();
    }
}

function describe(error: unknown): string {
    const text = error instanceof Error ? error.message : String(error);
    return text.replace(/\.$/, '');
}
