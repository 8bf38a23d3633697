#!/usr/bin/python3
"""Drives the built program's finding under Xvfb with xdotool, as a person would.

Usage: drive_finding.py PATH/TO/ostrel_viewer [SCALE]

Opens a 100 MB text file, finds with Ctrl+F a word that occurs once near its
end, closes the find window with Esc, types over the selected word, saves,
and checks the bytes on disk: the word replaced, every other byte as it was,
the line end Save adds after the last line. With OSTREL_FIND_SCREENSHOT set
to a file name, the screen with the find window open is saved there (for the
documentation). Exit code 77 when no X server can start.
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from drive_program import (TIMEOUT, TITLE, FIRST_ROW, IN_TEXT, SAVE_BUTTON,  # noqa: E402
                           centre, exit_program, expect, run, wait_for_bytes)

NAME = "big.txt"
WORD = b"quokka"
TYPED = b"wombat"
SIZE = 100 * 1024 * 1024


def contents():
    line = b"a line of the sample text, with some words to read through\r\n"
    lines = SIZE // len(line)
    head = line * (lines - 20)
    tail = line * 19 + b"near the end: " + WORD + b" and the last line"
    return head + tail


def make_folder(folder):
    with open(os.path.join(folder, NAME), "wb") as f:
        f.write(contents())


def drive(desktop, program, folder):
    main = desktop.wait_window(f"^{TITLE}$", "for the main window")
    desktop.click(main, *FIRST_ROW)
    editor = desktop.wait_window(f"{NAME.replace('.', '[.]')}$", "for the 100 MB text file")
    time.sleep(1.0)
    desktop.click(editor, *IN_TEXT)
    desktop.keys(editor, "ctrl+f")
    finder = desktop.wait_window("^Find$", "for the find window after Ctrl+F")
    desktop.type(finder, WORD.decode())
    desktop.keys(finder, "Return")
    time.sleep(2.0)
    shot = os.environ.get("OSTREL_FIND_SCREENSHOT")
    if shot:
        subprocess.run(["import", "-window", "root", shot], env=desktop.env, check=False)
    desktop.keys(finder, "Escape")
    desktop.wait_gone(finder, "the find window after Esc")
    desktop.type(editor, TYPED.decode())
    desktop.click(editor, *centre(SAVE_BUTTON))
    path = os.path.join(folder, NAME)
    want = contents().replace(WORD, TYPED) + b"\r\n"
    got = wait_for_bytes(path, want, TIMEOUT * 2)
    expect(got == want, "Save writes the typed word in place of the one found, every other "
           f"byte as it was ({len(got)} bytes, {len(want)} wanted)")
    exit_program(desktop, main, program)


if __name__ == "__main__":
    sys.exit(run(__doc__, "ostrel-finding-", make_folder, drive))
