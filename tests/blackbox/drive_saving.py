#!/usr/bin/python3
"""Drives the built program's saving under Xvfb with xdotool, as a person would.

Usage: drive_saving.py PATH/TO/ostrel_viewer

Another program rewrites the open text file before Save: Save asks, Cancel
leaves the other program's bytes on disk untouched, and a second Save
answered with Save writes the text. A file whose name is not valid UTF-8 is
listed, opens with the odd byte shown as \\xFF in the caption, and saves to
the same name. Exit code 77 when no X server can start.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from drive_program import (TITLE, FIRST_ROW, SAVE_BUTTON, Failure, centre,  # noqa: E402
                           close_text, exit_program, expect, poll, read, run, save_expecting,
                           type_at, wait_for_bytes)

ODD_NAME = b"bad\xffname.txt"
THEIRS = b"written by another program\n"


def make_folder(folder):
    with open(os.path.join(folder, "a.txt"), "wb") as f:
        f.write(b"first line\r\n")
    with open(os.fsencode(folder) + b"/" + ODD_NAME, "wb") as f:
        f.write(b"odd")


def wait_question(desktop, main):
    """The message box: a window with the program's title that is not the main window."""
    boxes = poll(lambda: [w for w in desktop.windows(f"^{TITLE}$") if w != main])
    if not boxes:
        raise Failure("Save asked nothing about the other program's change")
    time.sleep(0.3)
    return boxes[-1]


def drive(desktop, program, folder):
    main = desktop.wait_window(f"^{TITLE}$", "for the main window")
    desktop.click(main, *FIRST_ROW)
    path = os.path.join(folder, "a.txt")
    editor = desktop.wait_window("a\\.txt$", "for the text file")
    type_at(desktop, editor, "ctrl+End", "mine")
    with open(path, "wb") as f:
        f.write(THEIRS)

    desktop.click(editor, *centre(SAVE_BUTTON))
    box = wait_question(desktop, main)
    desktop.keys(box, "Escape")
    desktop.wait_gone(box, "the question after Cancel")
    time.sleep(0.5)
    expect(read(path) == THEIRS, "Cancel leaves the other program's bytes on disk untouched")

    desktop.click(editor, *centre(SAVE_BUTTON))
    box = wait_question(desktop, main)
    desktop.keys(box, "Return")
    want = b"first line\r\nmine\r\n"
    got = wait_for_bytes(path, want)
    expect(got == want, f"Save, confirmed, writes the window's text {want!r} (file holds {got!r})")
    close_text(desktop, editor)

    # The next row is the name that is not UTF-8.
    desktop.point(main, *FIRST_ROW)
    desktop.keys(main, "Down")
    editor = desktop.wait_window("bad.xFFname\\.txt$", "for the file whose name is not UTF-8")
    want_title = os.path.join(folder, "bad\\xFFname.txt")
    expect(desktop.title(editor) == want_title,
           f"its caption shows the odd byte as \\xFF ({desktop.title(editor)!r})")
    type_at(desktop, editor, "ctrl+End", "!")
    save_expecting(desktop, editor, os.fsencode(folder) + b"/" + ODD_NAME, b"odd!\r\n",
                   "Save writes the file of that very name")

    exit_program(desktop, main, program)


if __name__ == "__main__":
    sys.exit(run(__doc__, "ostrel-saving-", make_folder, drive))
