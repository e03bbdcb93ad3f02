#!/usr/bin/env python3
"""The sessions the documentation shows ("$ synthfactors-cli ARGS" and the
lines under it) run again with the program built here: each must print
exactly what the page says. A session that ends in "| head -N" or "| tail -N"
is checked on those lines; one that pipes otherwise, redirects or names a
file the page only describes is left out.

usage: docs_sessions.py SYNTHFACTORS_CLI FILE_OR_FOLDER..."""
import os
import pathlib
import re
import shlex
import subprocess
import sys

SESSION = re.compile(r"^    \$ (?:synthfactors-cli|scripts/run)( .*)$")
PART = re.compile(r"^(.*) \| (head|tail) -(\d+)$")


def sessions(path):
    lines = path.read_text(encoding="utf-8").split("\n")
    i = 0
    while i < len(lines):
        match = SESSION.match(lines[i])
        if not match:
            i += 1
            continue
        j = i + 1
        shown = []
        while j < len(lines) and (lines[j].startswith("    ") or lines[j] == "") \
                and not lines[j].startswith("    $ "):
            shown.append(lines[j][4:])
            j += 1
        while shown and shown[-1] == "":
            shown.pop()
        yield i + 1, match.group(1), shown
        i = j


def main():
    cli = sys.argv[1]
    files = []
    for name in sys.argv[2:]:
        path = pathlib.Path(name)
        files += sorted(path.glob("*.md")) if path.is_dir() else [path]
    failures = checked = 0
    for path in files:
        for line, session, shown in sessions(path):
            part = PART.match(session)
            command = part.group(1) if part else session
            args = shlex.split(command)
            if any(mark in command for mark in ("|", ">", "printf", "echo")) or \
                    any(arg.endswith(".json") and not os.path.exists(arg) for arg in args):
                continue
            done = subprocess.run([cli] + args, capture_output=True, text=True,
                                  env=dict(os.environ, LC_ALL="C"))
            printed = (done.stdout + done.stderr).rstrip("\n").split("\n")
            if part:
                count = int(part.group(3))
                printed = printed[:count] if part.group(2) == "head" else printed[-count:]
            checked += 1
            if printed != shown:
                failures += 1
                print(f"{path}:{line}: synthfactors-cli{session}")
                for want, got in zip(shown + [""] * len(printed), printed + [""] * len(shown)):
                    if want != got:
                        print(f"  the page: {want!r}\n  the program: {got!r}")
                        break
    print(f"{checked} sessions run, {failures} differ")
    return 1 if failures or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
