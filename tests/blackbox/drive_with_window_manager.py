#!/usr/bin/python3
"""Drives the built program under Xvfb with a real window manager (openbox).

Usage: drive_with_window_manager.py PATH/TO/ostrel_viewer

What only the real event sequence of a framed desktop shows: the text
window opens beside the main window, not over it; a
double-click on a folder whose listing is slow opens that folder and no
other; a text window minimised comes back when another text file is
clicked; and with the main window closed by its close box, Save As and then
closing the text window ends the program. Exit code 77 when no X server or no openbox can
start.
"""

import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from drive_program import (SKIP, TITLE, CLOSE_BUTTON, FIRST_ROW, centre,  # noqa: E402
                           exit_program, expect, expect_beside, poll, run)

DIR_LIST = (8, 32)  # Dir1's client-area corner
ROW = 18  # Dir1's row height at the design font
SAVE_AS_BUTTON = (208, 8, 65, 17)  # Form2.Command5
SLOW_FOLDER_FILES = 100_000


def start_window_manager(desktop):
    openbox = shutil.which("openbox")
    if openbox is None:
        print("SKIP: openbox is not installed")
        sys.exit(SKIP)
    wm = subprocess.Popen([openbox, "--sm-disable"], env=desktop.env,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    probe = poll(lambda: subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                        env=desktop.env, capture_output=True, text=True),
                 lambda p: p.returncode == 0 and "window id" in p.stdout)
    if probe.returncode == 0 and "window id" in probe.stdout:
        return wm
    wm.kill()
    print("SKIP: openbox did not start")
    sys.exit(SKIP)


def make_folders(top):
    """top holds a, b and work; work holds a.txt, sub1 to sub5 (sub2 with an
    a.txt of its own) and enough files that listing it takes a while."""
    for sub in ("a", "b", "work/sub1", "work/sub2", "work/sub3", "work/sub4", "work/sub5"):
        os.makedirs(os.path.join(top, sub))
    with open(os.path.join(top, "work", "a.txt"), "wb") as f:
        f.write(b"in work\r\n")
    with open(os.path.join(top, "work", "sub2", "a.txt"), "wb") as f:
        f.write(b"in sub2\r\n")
    work = os.path.join(top, "work")
    for i in range(SLOW_FOLDER_FILES):
        open(os.path.join(work, f"z{i:06d}.txt"), "wb").close()


def drive(desktop, program, top):
    main = desktop.wait_window(f"^{TITLE}$", "for the main window")

    # 1. The folder list reads "/", each folder down to top, then a, b, work.
    depth = len([p for p in top.split("/") if p])
    work_row = depth + 1 + 2
    x, y = DIR_LIST[0] + 60, DIR_LIST[1] + work_row * ROW + ROW // 2
    desktop.point(main, x, y)
    time.sleep(0.2)
    desktop.xdotool("click", "--repeat", 2, "--delay", 150, 1)
    time.sleep(3)  # the slow listing
    # The file list's first row now names the folder that opened.
    desktop.click(main, *FIRST_ROW)
    editor = desktop.wait_window("a\\.txt$", "for the text file")
    expect_beside(desktop, editor, main, "the text window")
    want = os.path.join(top, "work", "a.txt")
    expect(desktop.title(editor) == want,
           f"a double-click on work opened work and nothing after it "
           f"(text window shows {desktop.title(editor)!r})")

    # 4. Minimised, then another text file clicked: the window comes back.
    desktop.xdotool("windowminimize", "--sync", editor)
    expect(not poll(lambda: desktop.visible(editor), lambda shown: not shown),
           "the text window is minimised")
    desktop.xdotool("windowactivate", "--sync", main, check=False)
    desktop.point(main, *FIRST_ROW)
    desktop.keys(main, "Down")  # the next file, z000000.txt
    expect(poll(lambda: desktop.visible(editor)),
           "a click on another text file brings the minimised window back")
    expect(desktop.title(editor) == want, "it still shows the file it loaded first")

    # 2. The main window closed by its close box; Save As; the text window closed.
    # The window manager's close: alt+F4 on the active window.
    desktop.xdotool("windowactivate", "--sync", main, check=False)
    time.sleep(0.3)
    desktop.xdotool("key", "--clearmodifiers", "alt+F4")
    desktop.wait_gone(main, "the main window after its close box")
    expect(program.poll() is None, "the text window keeps the program running")
    desktop.click(editor, *centre(SAVE_AS_BUTTON))
    dialog = desktop.wait_window(".", "for the save dialog")  # the newest window
    copy = os.path.join(top, "copy.txt")
    desktop.type(dialog, copy)
    desktop.keys(dialog, "Return")
    expect(poll(lambda: os.path.exists(copy)), "Save As wrote the chosen file")
    exit_program(desktop, main, program, lambda: desktop.click(editor, *centre(CLOSE_BUTTON)),
                 "closing the last window ends the program")
    return {"copy.txt"}


if __name__ == "__main__":
    sys.exit(run(__doc__, "ostrel-wm-", make_folders, drive, start_window_manager))
