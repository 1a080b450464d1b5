#!/usr/bin/env python3
"""A language-server session with the Windows build, as VS Code holds it on
Windows, over pipes: initialize with a "file:///z%3A/..." workspace (Wine
maps Z: to /), the index with its progress, answers in the client's own
spelling of the drive, names outside the code page and a path over 260
characters, two spellings of one file as one document, an
outline, Insert bookmark, a file written on disk and seen by the server's
own watch, declaration, names Windows reads as something else (devices,
alternate data streams, a drive that is not there, a locked file), shutdown
and the exit code. Every wait has a limit. Prints "wine lsp test passed".

    lsp_session_windows.py SAMPLE-UNIT WORK-FOLDER HOLD-FILE-EXE -- COMMAND...

WORK-FOLDER is an empty folder here; COMMAND starts kestrel-lsp.exe, and
HOLD-FILE-EXE is run the same way to lock a file.
"""
import os
import shutil
import subprocess
import sys
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "packaging"))
from lsp_session import LIMIT_SECONDS, Session, fail  # noqa: E402

SECOND = """unit Second;

interface

uses Unit1;

procedure UseShapes;

implementation

procedure UseShapes;
begin
  RegisterShapes;
end;

end.
"""

LATER = """unit Later;

interface

procedure WrittenLater;

implementation

procedure WrittenLater;
begin
end;

end.
"""


def uri_of(path, colon="%3A", drive="z"):
    """The URI a Windows client gives the file that Wine shows as Z:<path>."""
    return f"file:///{drive}{colon}" + urllib.parse.quote(path)


def symbols(session, query):
    return session.result(session.request("workspace/symbol", {"query": query})) or []


def wait_until(what, check, limit=LIMIT_SECONDS):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        found = check()
        if found:
            return found
        time.sleep(0.2)
    fail(f"{what} not within {limit} s")


def main():
    if len(sys.argv) < 6 or sys.argv[4] != "--":
        fail(__doc__)
    sample, work, hold_exe = sys.argv[1:4]
    command = sys.argv[5:]
    root = os.path.join(work, "units")
    os.makedirs(os.path.join(root, "sub"))
    shutil.copy(sample, os.path.join(root, "Unit1.pas"))
    with open(os.path.join(root, "sub", "Second.pas"), "w", encoding="utf-8") as f:
        f.write(SECOND)
    unicode_name = "Ünïcödé_日本語.pas"
    with open(os.path.join(root, unicode_name), "w", encoding="utf-8") as f:
        f.write(LATER.replace("Later", "Wide").replace("WrittenWide", "WideName"))
    deep = root
    while len(deep) < 300:
        deep = os.path.join(deep, "a-folder-name-of-forty-characters-long__")
    os.makedirs(deep)
    with open(os.path.join(deep, "Deep.pas"), "w", encoding="utf-8") as f:
        f.write(LATER.replace("Later", "Deep").replace("WrittenDeep", "DeepDown"))

    session = Session(command)
    root_uri = uri_of(root)
    unit_uri = uri_of(os.path.join(root, "Unit1.pas"))
    started = time.monotonic()
    session.result(session.request("initialize", {
        "processId": None, "rootUri": root_uri,
        "workspaceFolders": [{"uri": root_uri, "name": "units"}],
        "capabilities": {"window": {"workDoneProgress": True}}}))
    session.send({"method": "initialized", "params": {}})
    session.wait_for(lambda m: m.get("method") == "$/progress"
                     and m["params"]["value"].get("kind") == "end")
    kinds = [m["params"]["value"]["kind"] for m in session.received
             if m.get("method") == "$/progress"]
    if kinds[0] != "begin" or kinds[-1] != "end":
        fail(f"the index's progress: {kinds}")
    print(f"indexed with {len(kinds)} progress messages in {time.monotonic() - started:.2f} s")

    # Files found on disk come back in the client's spelling of the drive,
    # names outside the code page percent-encoded as UTF-8.
    described = symbols(session, "Describe")
    uris = {entry["location"]["uri"] for entry in described}
    if uris != {unit_uri}:
        fail(f"Describe is in {uris}, not in {unit_uri}")
    wide = symbols(session, "WideName")
    if [entry["location"]["uri"] for entry in wide][:1] != [uri_of(os.path.join(root, unicode_name))]:
        fail(f"the unit with a wide name: {wide}")
    down = symbols(session, "DeepDown")
    if [entry["location"]["uri"] for entry in down][:1] != [uri_of(os.path.join(deep, "Deep.pas"))]:
        fail(f"the unit {len(deep)} characters down: {down}")

    # The editor's spelling of the same file, in another case and with
    # "C:"-style colon, is the one document the disk's was.
    open_uri = uri_of(os.path.join(root, "UNIT1.PAS"), colon=":", drive="Z")
    with open(sample, encoding="utf-8") as f:
        text = f.read()
    session.send({"method": "textDocument/didOpen", "params": {"textDocument": {
        "uri": open_uri, "languageId": "pascal", "version": 1, "text": text}}})
    outline = session.result(session.request(
        "textDocument/documentSymbol", {"textDocument": {"uri": open_uri}}))
    if "Describe" not in str(outline):
        fail(f"the outline has no Describe: {str(outline)[:300]}")
    again = symbols(session, "Describe")
    if len(again) != len(described) or {e["location"]["uri"] for e in again} != {open_uri}:
        fail(f"two spellings of Unit1.pas are two documents: {again}")

    actions = session.result(session.request("textDocument/codeAction", {
        "textDocument": {"uri": open_uri},
        "range": {"start": {"line": 40, "character": 2}, "end": {"line": 40, "character": 2}},
        "context": {"diagnostics": []}}))
    if "Insert bookmark" not in [action.get("title") for action in actions or []]:
        fail(f"no Insert bookmark among {actions}")

    # From `constructor TShape.Create` to its declaration in the class.
    place = session.result(session.request("textDocument/declaration", {
        "textDocument": {"uri": open_uri}, "position": {"line": 38, "character": 20}}))
    place = place[0] if isinstance(place, list) else place
    if not place or place["uri"] != open_uri or place["range"]["start"]["line"] != 16:
        fail(f"the declaration of TShape.Create went to {place}")

    # A unit written by another program, seen by the server's own watch.
    written = time.monotonic()
    with open(os.path.join(root, "sub", "Later.pas"), "w", encoding="utf-8") as f:
        f.write(LATER)
    later = wait_until("the unit written on disk in the index",
                       lambda: symbols(session, "WrittenLater"), limit=20)
    if later[0]["location"]["uri"] != uri_of(os.path.join(root, "sub", "Later.pas")):
        fail(f"the new unit's URI: {later}")
    print(f"a unit written on disk was in the index after {time.monotonic() - written:.2f} s")

    # Other spellings of a file that is not open read the same file.
    for uri in (uri_of(os.path.join(root, "Unit1.pas"), colon=":", drive="Z"),
                "file://localhost/z%3A" + urllib.parse.quote(root) + "/Unit1.pas",
                uri_of(root + "/sub/../Unit1.pas")):
        outline = session.result(session.request(
            "textDocument/documentSymbol", {"textDocument": {"uri": uri}}))
        if "Describe" not in str(outline):
            fail(f"{uri} did not read Unit1.pas: {str(outline)[:200]}")

    # Names that are no file: a clear error each, and the server goes on.
    locked = os.path.join(root, "Locked.pas")
    shutil.copy(sample, locked)
    holder = subprocess.Popen(command[:-1] + [hold_exe, "Z:" + locked.replace("/", "\\"), "60"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    try:
        line = holder.stdout.readline()  # the holder says "held" once it has the file
        if b"held" not in line:
            fail(f"the holding program said {line!r}")
        for uri, text in ((uri_of("/Units/Unit1.pas", drive="q"), "no such drive"),
                          (uri_of(root + "/NUL.pas"), "reserved device name"),
                          (uri_of(root + "/CON"), "reserved device name"),
                          (uri_of(root + "/Unit1.pas:zone"), "alternate data stream"),
                          (uri_of(locked), "sharing violation")):
            session.send({"id": 900, "method": "textDocument/documentSymbol",
                          "params": {"textDocument": {"uri": uri}}})
            answer = session.wait_for(lambda m: m.get("id") == 900 and "method" not in m)
            message = answer.get("error", {}).get("message", "")
            if text not in message:
                fail(f"{uri}: answered {answer}, not an error about a {text}")
    finally:
        holder.kill()
        holder.wait(LIMIT_SECONDS)

    session.shut_down()
    print("wine lsp test passed")


if __name__ == "__main__":
    main()
