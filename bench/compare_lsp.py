#!/usr/bin/env python3
"""Times two builds of kestrel-lsp side by side with one client.

    compare_lsp.py OLD-KESTREL-LSP NEW-KESTREL-LSP [RUNS]

Each run starts a server on fpc-source's tree and measures, in turn: the
`initialize` answer; `initialized` to the end of the indexing progress; the
server's resident memory then; a workspace query ("StrToInt"); the first
outline of sharepoint.pp after `didOpen`, and again unchanged (20 times); a
one-character edit then the outline. Each is the wall time from the request
sent to the answer's last byte in, and (on a shared machine, the steadier
figure) the CPU time of all the server's threads meanwhile. The two builds
take turns, RUNS times (default 5), and the medians are printed side by
side.

A build whose name ends in ".exe" is the Windows one: it runs under Wine
($KESTREL_WINE, else wine), and its files are named as a Windows client
names them, "file:///z%3A/usr/..." (Wine's Z: is /). bench/compare_windows.sh
sets Wine up for it. Its start-up figure holds Wine's own start-up.
"""
import json
import os
import select
import statistics
import subprocess
import sys
import time

TREE = "/usr/share/fpcsrc/3.2.2"
LARGE = TREE + "/packages/odata/src/sharepoint.pp"
QUERY = "StrToInt"
EDITS = 20
AGAIN = 20
QUERIES = 20
LIMIT_S = 120  # every wait ends here


def uri_of(program, path):
    """The URI of `path` as a client of `program` writes it."""
    return ("file:///z%3A" if program.endswith(".exe") else "file://") + path


class Server:
    def __init__(self, program):
        command = [program]
        if program.endswith(".exe"):
            command = [os.environ.get("KESTREL_WINE", "wine"), program]
        self.process = subprocess.Popen(
            command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL
        )
        # Grown in place: a 5 MB answer comes in 64 KB pieces, and adding
        # each to an immutable bytes would copy all that came before it,
        # which took this client 20 ms and was counted as the server's.
        self.buffer = bytearray()
        self.next_id = 0

    def send(self, message):
        self.send_encoded(json.dumps(message).encode())

    def send_encoded(self, body):
        self.process.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
        self.process.stdin.flush()

    def read(self):
        deadline = time.monotonic() + LIMIT_S
        while True:
            head_end = self.buffer.find(b"\r\n\r\n")
            if head_end >= 0:
                length = 0
                for line in self.buffer[:head_end].split(b"\r\n"):
                    name, _, value = line.partition(b":")
                    if name.strip().lower() == b"content-length":
                        length = int(value)
                if len(self.buffer) >= head_end + 4 + length:
                    # The time the whole answer was in, before this client
                    # spends its own time decoding it.
                    self.arrived = time.perf_counter()
                    body = self.buffer[head_end + 4 : head_end + 4 + length]
                    del self.buffer[: head_end + 4 + length]
                    return json.loads(body)
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("the server did not answer in time")
            ready, _, _ = select.select([self.process.stdout], [], [], left)
            if ready:
                chunk = os.read(self.process.stdout.fileno(), 1 << 20)
                if not chunk:
                    raise EOFError("the server closed its output")
                self.buffer += chunk

    def request(self, method, params):
        self.next_id += 1
        wanted = self.next_id
        self.send({"jsonrpc": "2.0", "id": wanted, "method": method, "params": params})
        while True:
            message = self.read()
            self.answer_server_request(message)
            if message.get("id") == wanted and "method" not in message:
                return message

    def answer_server_request(self, message):
        if "method" in message and "id" in message:
            self.send({"jsonrpc": "2.0", "id": message["id"], "result": None})

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def cpu_s(self):
        """The CPU time of the server, every thread (also those that have
        ended), in steps of a clock tick: the short figures are averages
        over many requests."""
        with open("/proc/%d/stat" % self.process.pid) as stat:
            fields = stat.read().rpartition(")")[2].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def user_s(self):
        """The user part of cpu_s()."""
        with open("/proc/%d/stat" % self.process.pid) as stat:
            fields = stat.read().rpartition(")")[2].split()
        return int(fields[11]) / os.sysconf("SC_CLK_TCK")

    def resident_mb(self):
        with open("/proc/%d/status" % self.process.pid) as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1]) / 1024
        return 0

    def close(self):
        try:
            self.request("shutdown", None)
            self.notify("exit", None)
            self.process.wait(timeout=10)
        except Exception:
            self.process.kill()
            self.process.wait()


def ms_between(start, end):
    return (end - start) * 1000


def one_run(program):
    figures = {}
    server = Server(program)
    try:
        start = time.perf_counter()
        server.request(
            "initialize",
            {
                "processId": os.getpid(),
                "rootUri": uri_of(program, TREE),
                "workspaceFolders": [{"uri": uri_of(program, TREE), "name": "fpc"}],
                "capabilities": {"window": {"workDoneProgress": True}},
            },
        )
        figures["initialize ms"] = ms_between(start, server.arrived)

        start = time.perf_counter()
        cpu = server.cpu_s()
        server.notify("initialized", {})
        while True:
            message = server.read()
            server.answer_server_request(message)
            value = message.get("params", {}).get("value", {}) if isinstance(
                message.get("params"), dict) else {}
            if message.get("method") == "$/progress" and value.get("kind") == "end":
                break
        figures["index s"] = ms_between(start, server.arrived) / 1000
        figures["index cpu s"] = server.cpu_s() - cpu
        figures["resident MB"] = server.resident_mb()

        times = []
        cpu = server.cpu_s()
        for _ in range(QUERIES):
            start = time.perf_counter()
            answer = server.request("workspace/symbol", {"query": QUERY})
            times.append(ms_between(start, server.arrived))
        figures["query ms"] = statistics.median(times)
        figures["query cpu ms"] = (server.cpu_s() - cpu) * 1000 / QUERIES
        figures["query entries"] = len(answer.get("result") or [])

        with open(LARGE, encoding="latin-1") as source:
            text = source.read()
        uri = uri_of(program, LARGE)
        document = {"textDocument": {"uri": uri}}
        opened = json.dumps({
            "jsonrpc": "2.0",
            "method": "textDocument/didOpen",
            "params": {
                "textDocument": {"uri": uri, "languageId": "pascal", "version": 1, "text": text}
            },
        }).encode()
        start = time.perf_counter()
        cpu = server.cpu_s()
        server.send_encoded(opened)
        server.request("textDocument/documentSymbol", document)
        figures["first outline ms"] = ms_between(start, server.arrived)
        figures["first outline cpu ms"] = (server.cpu_s() - cpu) * 1000

        # Asked again unchanged, AGAIN times: one answer takes less than the
        # clock tick that CPU times are counted in. The user time is the
        # server's own work; the rest is the kernel's copying of the answer
        # into the pipe.
        times = []
        cpu = server.cpu_s()
        user = server.user_s()
        for _ in range(AGAIN):
            start = time.perf_counter()
            server.request("textDocument/documentSymbol", document)
            times.append(ms_between(start, server.arrived))
        figures["outline again ms"] = statistics.median(times)
        figures["outline again cpu ms"] = (server.cpu_s() - cpu) * 1000 / AGAIN
        figures["outline again user ms"] = (server.user_s() - user) * 1000 / AGAIN

        # A letter typed at the start of a statement in the middle of the
        # unit, then taken out again.
        lines = text.split("\n")
        line = next(
            n for n in range(len(lines) // 2, len(lines)) if ":=" in lines[n] and lines[n][:1] == " "
        )
        times = []
        cpu = server.cpu_s()
        for version in range(2, 2 + EDITS):
            typed = version % 2 == 0
            change = {
                "range": {
                    "start": {"line": line, "character": 0},
                    "end": {"line": line, "character": 0 if typed else 1},
                },
                "text": "x" if typed else "",
            }
            start = time.perf_counter()
            server.notify(
                "textDocument/didChange",
                {"textDocument": {"uri": uri, "version": version}, "contentChanges": [change]},
            )
            server.request("textDocument/documentSymbol", document)
            times.append(ms_between(start, server.arrived))
        figures["edit, outline ms"] = statistics.median(times)
        figures["edit, outline cpu ms"] = (server.cpu_s() - cpu) * 1000 / EDITS
    finally:
        server.close()
    return figures


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    builds = {"old": sys.argv[1], "new": sys.argv[2]}
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    if not os.path.isdir(TREE):
        sys.exit("fpc-source-3.2.2 is not installed (%s)" % TREE)
    results = {name: [] for name in builds}
    for _ in range(runs):
        for name, program in builds.items():
            results[name].append(one_run(program))
    print("%-20s %12s %12s" % ("median of %d" % runs, "old", "new"))
    for key in results["old"][0]:
        old = statistics.median(run[key] for run in results["old"])
        new = statistics.median(run[key] for run in results["new"])
        print("%-20s %12.2f %12.2f" % (key, old, new))


if __name__ == "__main__":
    main()
