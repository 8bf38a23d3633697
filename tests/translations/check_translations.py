#!/usr/bin/env python3
"""Every tr() string of the code has a finished translation in each .ts file.

lupdate (scripts/update-translations.sh) runs over the real sources on a copy
of each committed .ts, so a string added since the last update shows up as
unfinished. Each message must be finished, not empty, and keep its source's
%n markers, & accelerators and line breaks; a tr() in a class without
Q_OBJECT fails too (the running program never asks for its context).

Usage: check_translations.py SOURCE_DIR
"""
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from pathlib import Path

MARKER = re.compile(r"%L?(\d+)")
ACCEL = re.compile(r"&(?!&)(?=\S)")


def problems_of(ts_path):
    found = []
    for context in ET.parse(ts_path).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            source = message.findtext("source") or ""
            translation = message.find("translation")
            kind = translation.get("type") if translation is not None else "missing"
            if kind in ("vanished", "obsolete"):
                continue
            text = (translation.text or "") if translation is not None else ""
            where = f"{name}: {source!r}"
            if kind == "unfinished" or kind == "missing":
                found.append(f"unfinished: {where}")
            elif not text.strip():
                found.append(f"empty translation: {where}")
            elif sorted(set(MARKER.findall(source))) != sorted(set(MARKER.findall(text))):
                found.append(f"place markers differ: {where} -> {text!r}")
            elif len(ACCEL.findall(source)) != len(ACCEL.findall(text)):
                found.append(f"accelerators differ: {where} -> {text!r}")
            elif source.count("\n") != text.count("\n"):
                found.append(f"line breaks differ: {where} -> {text!r}")
    return found


def main():
    src = Path(sys.argv[1]).resolve()
    committed = sorted((src / "resources/translations").glob("*.ts"))
    if not committed:
        print("FAIL: no .ts files in resources/translations")
        return 1
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        copies = [Path(shutil.copy(ts, tmp)) for ts in committed]
        run = subprocess.run(["bash", str(src / "scripts/update-translations.sh"), *map(str, copies)],
                             capture_output=True, text=True)
        output = run.stdout + run.stderr
        if run.returncode != 0:
            print(output)
            print("FAIL: lupdate did not run")
            return 1
        for line in output.splitlines():
            if "lacks Q_OBJECT macro" in line:
                print(f"FAIL: tr() outside a translation context: {line.strip()}")
                failures += 1
        for copy in copies:
            problems = problems_of(copy)
            for p in problems:
                print(f"FAIL: {copy.name}: {p}")
            failures += len(problems)
            count = sum(1 for _ in ET.parse(copy).getroot().iter("message"))
            print(f"{copy.name}: {count} messages, {len(problems)} problem(s)")
    if failures:
        print(f"{failures} problem(s); run scripts/update-translations.sh and translate the new entries")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
