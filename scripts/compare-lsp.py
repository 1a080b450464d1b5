#!/usr/bin/env python3
"""Times two kestrel-lsp binaries side by side with the same client script.

Usage: scripts/compare-lsp.py OLD NEW [RUNS]

Each run starts OLD and NEW in turn and measures, on fpc-source 3.2.2
(/usr/share/fpcsrc/3.2.2):
  - start-up to the initialize answer (wall time);
  - the first outline of sharepoint.pp after didOpen;
  - the outline asked for again, the text unchanged;
  - a one-character edit, then the outline;
  - a workspace query ("StrToInt") once the tree is indexed.
The request figures are the server's own times, as its `$/logTrace` reports
them ("... answered in N ms"), beside the client's wall time from sending to
the whole answer read. Medians of RUNS runs (default 5) are printed.
"""
import json
import os
import re
import statistics
import subprocess
import sys
import time

FPC = "/usr/share/fpcsrc/3.2.2"
UNIT = FPC + "/packages/odata/src/sharepoint.pp"
WAIT = 120  # seconds any one answer may take


class Server:
    def __init__(self, path):
        self.proc = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, bufsize=0)
        self.next_id = 0
        self.traces = []
        self.logs = []

    def send(self, message):
        message["jsonrpc"] = "2.0"
        body = json.dumps(message).encode()
        self.proc.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)

    def request(self, method, params):
        self.next_id += 1
        self.send({"id": self.next_id, "method": method, "params": params})
        return self.next_id

    def notify(self, method, params):
        self.send({"method": method, "params": params})

    def read_body(self):
        header = b""
        while not header.endswith(b"\r\n\r\n"):
            byte = self.proc.stdout.read(1)
            if not byte:
                raise RuntimeError("the server ended")
            header += byte
        length = int(re.search(rb"Content-Length: *(\d+)", header, re.I).group(1))
        body = b""
        while len(body) < length:
            chunk = self.proc.stdout.read(length - len(body))
            if not chunk:
                raise RuntimeError("the server ended")
            body += chunk
        return body

    def answer(self, id_):
        """Reads until the answer to `id_`; large answers are not parsed."""
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            body = self.read_body()
            head = body[:200]
            if re.search(rb'"id":%d[,}]' % id_, head) and b'"method"' not in head:
                return body
            if len(body) < 65536:
                message = json.loads(body)
                if message.get("method") == "$/logTrace":
                    self.traces.append(message["params"]["message"])
                elif message.get("method") == "window/logMessage":
                    self.logs.append(message["params"]["message"])
                elif "id" in message and "method" in message:
                    self.send({"id": message["id"], "result": None})
        raise RuntimeError("no answer to request %d" % id_)

    def timed(self, method, params):
        """(server ms, wall ms) of one request."""
        self.traces.clear()
        start = time.perf_counter()
        self.answer(self.request(method, params))
        wall = (time.perf_counter() - start) * 1000
        # The trace follows the answer: a request the server does not know
        # brings it in.
        self.answer(self.request("kestrel/none", {}))
        served = [float(m.group(1)) for t in self.traces
                  if (m := re.fullmatch(re.escape(method) + r" answered in ([\d.]+) ms", t))]
        return (served[0] if served else float("nan")), wall

    def close(self):
        try:
            self.answer(self.request("shutdown", None))
            self.notify("exit", None)
        except (RuntimeError, BrokenPipeError):
            pass
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def initialize(server, root=None):
    params = {"capabilities": {}, "trace": "verbose", "processId": os.getpid()}
    if root:
        params["rootUri"] = "file://" + root
    server.answer(server.request("initialize", params))
    server.notify("initialized", {})


def one_run(path):
    figures = {}
    start = time.perf_counter()
    server = Server(path)
    server.answer(server.request("initialize", {"capabilities": {}}))
    figures["start-up to initialize answer (wall)"] = (time.perf_counter() - start) * 1000
    server.close()

    server = Server(path)
    initialize(server)
    uri = "file://" + UNIT
    with open(UNIT, encoding="utf-8", errors="replace") as f:
        text = f.read()
    server.notify("textDocument/didOpen", {"textDocument": {
        "uri": uri, "languageId": "pascal", "version": 1, "text": text}})
    doc = {"textDocument": {"uri": uri}}
    served, wall = server.timed("textDocument/documentSymbol", doc)
    figures["first outline after didOpen (server)"] = served
    figures["first outline after didOpen (wall, with didOpen)"] = wall
    served, wall = server.timed("textDocument/documentSymbol", doc)
    figures["outline unchanged (server)"] = served
    figures["outline unchanged (wall)"] = wall
    line = text.count("\n") // 2
    edits_server, edits_wall = [], []
    for version in range(2, 12):
        start = time.perf_counter()
        server.notify("textDocument/didChange", {
            "textDocument": {"uri": uri, "version": version},
            "contentChanges": [{"range": {"start": {"line": line, "character": 0},
                                          "end": {"line": line, "character": 0}},
                                "text": " "}]})
        served, _ = server.timed("textDocument/documentSymbol", doc)
        edits_server.append(served)
        edits_wall.append((time.perf_counter() - start) * 1000)
    figures["one-character edit, then outline (server)"] = statistics.median(edits_server)
    figures["one-character edit, then outline (wall)"] = statistics.median(edits_wall)
    server.close()

    server = Server(path)
    initialize(server, FPC)
    deadline = time.monotonic() + WAIT
    while not any(log.startswith("indexed ") for log in server.logs):
        if time.monotonic() > deadline:
            raise RuntimeError("the tree was not indexed")
        server.answer(server.request("workspace/symbol", {"query": "zzzz"}))
        time.sleep(0.05)
    queries = [server.timed("workspace/symbol", {"query": "StrToInt"}) for _ in range(10)]
    figures["workspace query StrToInt (server)"] = statistics.median(q[0] for q in queries)
    figures["workspace query StrToInt (wall)"] = statistics.median(q[1] for q in queries)
    server.close()
    return figures


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    old, new = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    results = {old: [], new: []}
    for _ in range(runs):
        for path in (old, new):
            results[path].append(one_run(path))
    print(f"medians of {runs} runs, ms     {'old':>10} {'new':>10}")
    for name in results[old][0]:
        medians = [statistics.median(r[name] for r in results[p]) for p in (old, new)]
        print(f"{name:<50} {medians[0]:>10.2f} {medians[1]:>10.2f}")


if __name__ == "__main__":
    main()
