#!/usr/bin/python3
"""Reports C++ functions longer than a limit.

usage: check-function-length.py [--limit N] [--top K] [PATH...]

PATHs are files or folders (default: toolkit/); every .cpp and .h below a
folder is read. A function's length runs from the first line of its
signature to its closing brace, blank lines and comments included; lambdas
and local classes count towards the function they sit in. Prints each
function over the limit (default 150 lines), longest first, and exits 1 if
there is one; --top K also lists the K longest functions found.

The reader is a brace matcher, not a compiler: it drops comments, string and
character literals and preprocessor lines, then tells function bodies from
namespaces, classes, enums and initialisers by the text before each brace.
"""
import argparse
import re
import sys
from pathlib import Path

SCOPE_WORDS = re.compile(r"\b(namespace|class|struct|union|enum)\b")
EXTERN_C = re.compile(r'^extern\s*$')  # `extern "C" {` once its string is dropped


def strip_code(text):
    """Blanks comments, literals and preprocessor lines, keeping line breaks."""
    out = []
    i, n = 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and c == "#":
            # A preprocessor line, with its continuations.
            while i < n and text[i] != "\n":
                if text[i] == "\\" and i + 1 < n and text[i + 1] == "\n":
                    out.append("\n")
                    i += 2
                    continue
                i += 1
            continue
        if c in " \t":
            out.append(c)
            i += 1
            continue
        line_start = c == "\n"
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append("\n" * text.count("\n", i, end))
            i = end
            continue
        m = re.match(r'(?:u8|u|U|L)?R"([^(\s]*)\(', text[i:i + 40])
        if m and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            close = ")" + m.group(1) + '"'
            end = text.find(close, i + m.end())
            end = n if end < 0 else end + len(close)
            out.append('""' + "\n" * text.count("\n", i, end))
            i = end
            continue
        if c in "\"'":
            # A digit separator (1'000) is not a character literal.
            if c == "'" and i > 0 and text[i - 1].isalnum() and i + 1 < n and text[i + 1].isalnum():
                out.append(c)
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + c)
            i = j + 1
            continue
        out.append(c)
        i += 1
    return "".join(out)


def functions(path):
    """Yields (name, first line, last line) of each function defined in path."""
    code = strip_code(path.read_text(encoding="utf-8", errors="replace"))
    stack = []  # kinds of the open braces: scope, function, init, other
    pending = []  # text since the last ; { or } outside functions
    pending_line = None
    line = 1
    for ch in code:
        if ch == "\n":
            line += 1
        in_function = any(k == "function" for k, _, _ in stack)
        if ch == "{":
            if in_function:
                stack.append(("other", None, line))
                continue
            sig = "".join(pending).strip()
            head = sig.rstrip()
            if re.search(r"\)\s*:", sig) and head and (head[-1].isalnum() or head[-1] == "_"):
                # A brace initialiser in a constructor's initialiser list.
                stack.append(("init", None, line))
                pending.append(ch)
                continue
            paren = sig.find("(")
            scope = SCOPE_WORDS.search(sig)
            if EXTERN_C.match(sig) or (scope and (paren < 0 or scope.start() < paren)):
                stack.append(("scope", None, line))
            elif paren >= 0 and ")" in sig and "=" not in sig[:paren]:
                name = re.findall(r"([~\w:<>]+)\s*\(", sig)
                stack.append(("function", name[0] if name else sig[:40], pending_line or line))
            else:
                stack.append(("other", None, line))
            pending, pending_line = [], None
            continue
        if ch == "}":
            if not stack:
                continue
            kind, name, first = stack.pop()
            if kind == "function":
                yield name, first, line
            if kind == "init":
                pending.append(ch)
                continue
            if not any(k == "function" for k, _, _ in stack):
                pending, pending_line = [], None
            continue
        if in_function:
            continue
        if ch == ";":
            pending, pending_line = [], None
            continue
        if not ch.isspace() and pending_line is None:
            pending_line = line
        pending.append(ch)


def main():
    ap = argparse.ArgumentParser(description="Reports C++ functions longer than a limit.")
    ap.add_argument("paths", nargs="*", default=["toolkit"])
    ap.add_argument("--limit", type=int, default=150)
    ap.add_argument("--top", type=int, default=0)
    a = ap.parse_args()
    found = []
    for p in map(Path, a.paths):
        files = [p] if p.is_file() else sorted(
            f for f in p.rglob("*") if f.suffix in (".cpp", ".h") and f.is_file())
        for f in files:
            for name, first, last in functions(f):
                found.append((last - first + 1, f"{f}:{first}", name))
    found.sort(key=lambda x: -x[0])
    for length, where, name in found[:a.top]:
        print(f"{length:5}  {where}  {name}")
    over = [x for x in found if x[0] > a.limit]
    if a.top and over:
        print()
    for length, where, name in over:
        print(f"{where}: {name} is {length} lines, more than {a.limit}")
    if not over:
        print(f"no function over {a.limit} lines in {len(found)} functions")
    return 1 if over else 0


if __name__ == "__main__":
    sys.exit(main())
