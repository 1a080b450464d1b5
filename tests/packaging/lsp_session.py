#!/usr/bin/env python3
"""One short language-server session, as an editor holds it, against a
server started by the given command: initialize with one workspace folder,
the outline of one unit, the workspace index with its progress, a workspace
query, shutdown and exit. Prints "lsp session passed" when every answer is
as expected; every wait has a limit.

    lsp_session.py TEXT FOLDER UNIT SYMBOL -- COMMAND...

TEXT is the unit's file here; FOLDER and UNIT are the paths the server sees
(another where it runs in a root of its own). SYMBOL is a procedure the unit
declares, looked for in the outline and in the workspace index.
"""
import json
import os
import select
import subprocess
import sys
import time
import urllib.parse

LIMIT_SECONDS = 30


def fail(message):
    print(f"FAIL: {message}", file=sys.stderr)
    sys.exit(1)


class Session:
    def __init__(self, command):
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.buffer = b""
        self.next_id = 1
        self.received = []

    def send(self, message):
        body = json.dumps(dict(jsonrpc="2.0", **message)).encode()
        self.process.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
        self.process.stdin.flush()

    def request(self, method, params):
        self.send({"id": self.next_id, "method": method, "params": params})
        self.next_id += 1
        return self.next_id - 1

    def read_message(self, deadline):
        while True:
            header_end = self.buffer.find(b"\r\n\r\n")
            if header_end >= 0:
                headers = self.buffer[:header_end].decode("ascii").split("\r\n")
                length = next(int(h.split(":")[1]) for h in headers
                              if h.lower().startswith("content-length:"))
                start = header_end + 4
                if len(self.buffer) >= start + length:
                    body = self.buffer[start:start + length]
                    self.buffer = self.buffer[start + length:]
                    return json.loads(body)
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                fail("no message from the server in time")
            ready, _, _ = select.select([self.process.stdout], [], [], remaining)
            if ready:
                chunk = os.read(self.process.stdout.fileno(), 65536)
                if not chunk:
                    fail(f"the server closed its output (status {self.process.wait(5)})")
                self.buffer += chunk

    def wait_for(self, accept):
        """Reads until a message is accepted, answering the server's own
        requests (the progress token) as an editor does."""
        deadline = time.monotonic() + LIMIT_SECONDS
        while True:
            message = self.read_message(deadline)
            self.received.append(message)
            if "method" in message and "id" in message:
                self.send({"id": message["id"], "result": None})
            if accept(message):
                return message

    def result(self, request_id):
        answer = self.wait_for(lambda m: m.get("id") == request_id and "method" not in m)
        if "error" in answer:
            fail(f"request {request_id} answered with {answer['error']}")
        return answer["result"]

    def shut_down(self):
        """Asks the server to shut down and exit; fails unless it ends with status 0."""
        self.result(self.request("shutdown", None))
        self.send({"method": "exit"})
        self.process.stdin.close()
        try:
            status = self.process.wait(LIMIT_SECONDS)
        except subprocess.TimeoutExpired:
            self.process.kill()
            fail("the server did not end after exit")
        if status != 0:
            fail(f"the server ended with status {status}")


def main():
    if len(sys.argv) < 7 or sys.argv[5] != "--":
        fail(__doc__)
    text_path, folder, unit, symbol = sys.argv[1:5]
    session = Session(sys.argv[6:])
    folder_uri = "file://" + urllib.parse.quote(folder)
    unit_uri = "file://" + urllib.parse.quote(unit)

    session.result(session.request("initialize", {
        "processId": os.getpid(), "rootUri": folder_uri,
        "workspaceFolders": [{"uri": folder_uri, "name": "units"}],
        "capabilities": {"window": {"workDoneProgress": True}}}))
    session.send({"method": "initialized", "params": {}})

    with open(text_path, encoding="utf-8") as f:
        text = f.read()
    session.send({"method": "textDocument/didOpen", "params": {"textDocument": {
        "uri": unit_uri, "languageId": "pascal", "version": 1, "text": text}}})
    outline = session.result(session.request(
        "textDocument/documentSymbol", {"textDocument": {"uri": unit_uri}}))
    names = json.dumps(outline)
    if symbol not in names:
        fail(f"the outline has no {symbol}: {names[:400]}")

    session.wait_for(lambda m: m.get("method") == "$/progress"
                     and m["params"]["value"].get("kind") == "end")
    kinds = [m["params"]["value"]["kind"] for m in session.received
             if m.get("method") == "$/progress"]
    if kinds[0] != "begin":
        fail(f"the index's progress did not begin with begin: {kinds}")
    found = session.result(session.request("workspace/symbol", {"query": symbol}))
    if not any(entry.get("name", "").startswith(symbol) for entry in found or []):
        fail(f"the workspace index has no {symbol}: {found}")

    session.shut_down()
    print(f"lsp session passed: outline, {len(kinds)} progress messages, {len(found)} symbols")


if __name__ == "__main__":
    main()
