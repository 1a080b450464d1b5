#!/usr/bin/env python3
"""Declaration round trip over every Pascal source of the Free Pascal tree.

For each method implementation heading (`procedure TFoo.Bar...`) whose class
is declared in the same file, asks kestrel-lsp for textDocument/declaration
at the method's name and checks that an answer lies on a line that declares
that name inside the class; from that declaration, asks
textDocument/implementation and checks that the heading's line comes back.
The headings, the classes and their lines are found here by a reading of
their own (comments and strings blanked, then line patterns), not by the
server's. Misses are counted by cause, with examples.

Usage: declaration-roundtrip.py SERVER [ROOT] [--examples N]
ROOT defaults to /usr/share/fpcsrc/3.2.2, which Debian's fpc-source-3.2.2
package installs; it is installed when missing.
"""
import collections
import json
import os
import re
import shutil
import subprocess
import sys
import time

DEFAULT_ROOT = "/usr/share/fpcsrc/3.2.2"
PACKAGE = "fpc-source-3.2.2"


def install_tree(root):
    if os.path.isdir(root) or root != DEFAULT_ROOT:
        return
    command = ["apt-get", "install", "-y", "-o", "DPkg::Lock::Timeout=600", PACKAGE]
    if os.geteuid() != 0:
        command.insert(0, "sudo")
    print("installing " + PACKAGE, file=sys.stderr)
    subprocess.run(command, check=True)


def decode(data):
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("cp1252", errors="replace")


def blank_comments_and_strings(text):
    """The text with comments and strings turned into blanks, lines kept."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        close = None
        if c == "{":
            close = "}"
        elif c == "(" and text.startswith("*", i + 1):
            close = "*)"
        elif c == "/" and text.startswith("/", i + 1):
            close = "\n"
        elif c == "'":
            end = i + 1
            while end < n and text[end] not in "'\n":
                end += 1
            end = min(n, end + 1)
            out.append(re.sub(r"[^\n]", " ", text[i:end]))
            i = end
            continue
        if close:
            end = text.find(close, i + 1)
            end = n if end < 0 else (end if close == "\n" else end + len(close))
            out.append(re.sub(r"[^\r\n]", " ", text[i:end]))
            i = end
            continue
        out.append(c)
        i += 1
    return "".join(out)


HEADING = re.compile(
    r"^[ \t]*(?:class[ \t]+)?(?:procedure|function|constructor|destructor|operator)[ \t]+"
    r"((?:[A-Za-z_]\w*(?:<[^>]*>)?[ \t]*\.[ \t]*)+)([A-Za-z_]\w*)", re.I | re.M)
TYPE = re.compile(
    r"^([ \t]*)([A-Za-z_]\w*)[ \t]*(?:<[^>]*>)?[ \t]*=[ \t]*(?:packed[ \t]+)?"
    r"(class|object|record|interface|dispinterface)\b(?![ \t]*(?:;|of\b))", re.I | re.M)
END = re.compile(r"^[ \t]*end\b", re.I)
MEMBER = r"^[ \t]*(?:class[ \t]+)?(?:procedure|function|constructor|destructor|operator)[ \t]+{}\b"


def line_of(text, offset):
    return text.count("\n", 0, offset)


def class_lines(code_lines, start, indent):
    """The lines of a class declared at `start`: to its `end` at its indentation."""
    for number in range(start + 1, len(code_lines)):
        line = code_lines[number]
        if END.match(line) and len(line) - len(line.lstrip()) <= indent + 2:
            return range(start, number + 1)
    return range(start, start + 1)


def cases(text):
    """(heading line, name column, declaration lines) of each method implementation
    whose class is declared in the same text."""
    code = blank_comments_and_strings(text)
    code_lines = code.split("\n")
    classes = collections.defaultdict(list)
    for match in TYPE.finditer(code):
        classes[match.group(2).lower()].append(
            class_lines(code_lines, line_of(code, match.start()), len(match.group(1))))
    found = []
    for match in HEADING.finditer(code):
        qualifier = re.sub(r"<[^>]*>", "", match.group(1)).replace(" ", "").rstrip(".")
        owner = qualifier.split(".")[-1].lower()
        if owner not in classes:
            continue
        name = match.group(2)
        member = re.compile(MEMBER.format(re.escape(name)), re.I)
        declared = {number for span in classes[owner] for number in span
                    if member.match(code_lines[number])}
        line = line_of(code, match.start())
        column = match.start(2) - (code.rfind("\n", 0, match.start(2)) + 1)
        found.append((line, column, declared))
    return found


class Server:
    def __init__(self, path):
        self.process = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.last = 0

    def write(self, message):
        message["jsonrpc"] = "2.0"
        body = json.dumps(message).encode()
        self.process.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)

    def read(self):
        length = None
        while True:
            line = self.process.stdout.readline()
            if not line:
                raise RuntimeError("the server closed its output")
            if line in (b"\r\n", b"\n"):
                break
            key, _, value = line.decode().partition(":")
            if key.lower() == "content-length":
                length = int(value)
        return json.loads(self.process.stdout.read(length))

    def request(self, method, params):
        self.last += 1
        self.write({"id": self.last, "method": method, "params": params})
        return self.last

    def call_all(self, calls, chunk=100):
        """The results of (method, params) requests, sent a chunk at a time so
        that neither side's pipe fills while the other waits."""
        results = []
        for at in range(0, len(calls), chunk):
            results += self.answers([self.request(method, params)
                                     for method, params in calls[at:at + chunk]])
        return results

    def answers(self, ids):
        """The results of the requests `ids`, in their order."""
        self.process.stdin.flush()
        wanted, results = set(ids), {}
        while wanted:
            message = self.read()
            if message.get("id") in wanted:
                wanted.discard(message["id"])
                results[message["id"]] = message.get("result")
        return [results[i] for i in ids]


def lines_of(result, uri):
    return {location["range"]["start"]["line"] for location in (result or [])
            if location["uri"] == uri}


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    examples = 5
    if "--examples" in sys.argv:
        examples = int(sys.argv[sys.argv.index("--examples") + 1])
        args = [a for a in args if a != str(examples)]
    if not args:
        sys.exit(__doc__)
    server_path = shutil.which(args[0]) or args[0]
    root = args[1] if len(args) > 1 else DEFAULT_ROOT
    install_tree(root)

    server = Server(server_path)
    server.answers([server.request("initialize", {"processId": None, "rootUri": None,
                                                  "capabilities": {}})])
    server.write({"method": "initialized", "params": {}})

    total = reached = returned = files = 0
    misses = collections.defaultdict(list)
    started = time.monotonic()
    paths = sorted(os.path.join(folder, name) for folder, _, names in os.walk(root)
                   for name in names if name.lower().endswith((".pas", ".pp")))
    for path in paths:
        with open(path, "rb") as file:
            text = decode(file.read())
        found = cases(text)
        if not found:
            continue
        files += 1
        uri = "file://" + path
        server.write({"method": "textDocument/didOpen", "params": {"textDocument": {
            "uri": uri, "languageId": "pascal", "version": 1, "text": text}}})
        document = {"uri": uri}
        declarations = server.call_all([("textDocument/declaration", {
            "textDocument": document, "position": {"line": line, "character": column}})
            for line, column, _ in found])
        back = []
        for (line, column, declared), result in zip(found, declarations):
            total += 1
            answered = lines_of(result, uri)
            where = "%s:%d" % (os.path.relpath(path, root), line + 1)
            if not declared:
                misses["the class declares no member of that name here (oracle)"].append(where)
                continue
            if not result:
                misses["no declaration answered"].append(where)
                continue
            hit = sorted(answered & declared)
            if not hit:
                misses["declaration answered on another line"].append(
                    "%s -> %s (expected %s)" % (where, sorted(answered), sorted(declared)))
                continue
            reached += 1
            target = next(location for location in result
                          if location["range"]["start"]["line"] == hit[0])
            back.append((line, where, ("textDocument/implementation", {
                "textDocument": document, "position": target["range"]["start"]})))
        for (line, where, _), result in zip(back, server.call_all([b[2] for b in back])):
            if line in lines_of(result, uri):
                returned += 1
            elif not result:
                misses["no implementation answered from the declaration"].append(where)
            else:
                misses["implementation answered on another line"].append(
                    "%s -> %s" % (where, sorted(lines_of(result, uri))))
        server.write({"method": "textDocument/didClose", "params": {"textDocument": document}})
    elapsed = time.monotonic() - started
    server.answers([server.request("shutdown", None)])
    server.write({"method": "exit"})
    server.process.stdin.close()
    server.process.wait()

    def share(part, whole):
        return 100.0 * part / whole if whole else 100.0

    print("files with method implementations of classes declared in them: %d" % files)
    print("method implementation headings: %d" % total)
    print("reached their declaration's line: %d (%.2f%%)" % (reached, share(reached, total)))
    print("came back to the implementation's line: %d (%.2f%% of those)"
          % (returned, share(returned, reached)))
    print("time: %.1f s" % elapsed)
    for cause, places in sorted(misses.items(), key=lambda item: -len(item[1])):
        print("\n%d: %s" % (len(places), cause))
        for place in places[:examples]:
            print("    " + place)


if __name__ == "__main__":
    main()
