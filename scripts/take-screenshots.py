#!/usr/bin/python3
"""Takes the screenshots in docs/ of the real program under Xvfb.

Usage: take-screenshots.py PATH/TO/ostrel_viewer OUTPUT-FOLDER

For each of scale 1, 1.5 and 2, without a window manager and under openbox:
the main window previewing a picture, the text window, the picture viewer,
the help viewer and About open together, the whole screen as
root-<desktop>-<scale>.png. At
scale 1 without a window manager each window also on its own; the main
window, text window and picture viewer as they open, under openbox at
scale 1 and without a window manager at scale 2; the main window once
more in German; and the find window after a search that went round the end,
its note and its count together, at scale 1 and 2, without a window manager
and under openbox (find-<desktop>-<scale>.png). Look at them before copying
any to docs/.
"""

import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "blackbox"))
from drive_program import (ABOUT_BUTTON, FILE_LIST, HELP_BUTTON, SKIP, TITLE,  # noqa: E402
                           centre, make_folder, poll, run)


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

PREVIEW = (144, 8, 137, 113)  # Image1, in the main window's design pixels


def shoot(desktop, window, path):
    subprocess.run(["import", "-window", window, path], env=desktop.env, check=True)


def open_text(desktop):
    """Clicks a.txt in the main window; returns the main and the text window."""
    main = desktop.wait_window(f"^{TITLE}$", "for the main window")
    desktop.click(main, FILE_LIST[0] + 30, FILE_LIST[1] + 6)
    return main, desktop.wait_window("a\\.txt$", "for the text window")


def scenes(out, name, each_window):
    def steps(desktop, program, folder):
        main, editor = open_text(desktop)
        if each_window:  # before the help viewer covers it
            time.sleep(0.5)
            shoot(desktop, editor, os.path.join(out, "text-window.png"))
        desktop.keys(main, "Down", "Return")  # the picture, into the preview and the viewer
        desktop.wait_window("^b\\.gif$", "for the picture viewer")
        desktop.click(main, *centre(HELP_BUTTON))
        helper = desktop.wait_window(f"^{TITLE} Help$", "for the help viewer")
        if each_window:
            desktop.keys(main, "shift+Tab", "shift+Tab")  # the focus to the folder list
            for window, file in ((main, "main-window"), (helper, "help-viewer")):
                shoot(desktop, window, os.path.join(out, f"{file}.png"))
        desktop.click(main, *centre(ABOUT_BUTTON))
        about = desktop.wait_window(f"^About {TITLE}$", "for About")
        time.sleep(1)
        shoot(desktop, "root", os.path.join(out, f"root-{name}.png"))
        if each_window:
            shoot(desktop, about, os.path.join(out, "about-window.png"))
        program.kill()
    return steps


def side_by_side(out, file):
    """The main window, the text window and the picture viewer as they open."""
    def steps(desktop, program, folder):
        main, _ = open_text(desktop)
        desktop.keys(main, "Down")  # the picture, into the preview
        time.sleep(3)  # a click before the preview shows a picture opens no viewer
        desktop.click(main, *centre(PREVIEW))
        desktop.wait_window("b\\.gif$", "for the picture viewer")
        time.sleep(1)
        shoot(desktop, "root", os.path.join(out, file))
        program.kill()
    return steps


def found_round_the_end(out, file):
    """The find window after its word was found again from the start."""
    def steps(desktop, program, folder):
        main, editor = open_text(desktop)
        time.sleep(0.5)
        desktop.keys(editor, "ctrl+f")
        finder = desktop.wait_window("^Find$", "for the find window")
        desktop.type(finder, "second")
        desktop.keys(finder, "Return", "Return")  # the one match, then round the end to it
        time.sleep(1)
        shoot(desktop, finder, os.path.join(out, file))
        program.kill()
    return steps


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    binary, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    os.makedirs(out, exist_ok=True)
    for desktop in ("bare", "openbox"):
        for scale in ("1", "1.5", "2"):
            sys.argv = [sys.argv[0], binary, scale]
            helper = start_window_manager if desktop == "openbox" else None
            each = desktop == "bare" and scale == "1"
            run(__doc__, "ostrel-shots-", make_folder,
                scenes(out, f"{desktop}-{scale}", each), helper)
            if scale != "1.5":
                run(__doc__, "ostrel-shots-", make_folder,
                    found_round_the_end(out, f"find-{desktop}-{scale}.png"), helper)
    sys.argv = [sys.argv[0], binary, "1"]
    run(__doc__, "ostrel-shots-", make_folder, side_by_side(out, "windows-side-by-side.png"),
        start_window_manager)
    sys.argv = [sys.argv[0], binary, "2"]
    run(__doc__, "ostrel-shots-", make_folder, side_by_side(out, "windows-beside-scale2.png"))
    os.environ["LANGUAGE"] = "de"
    sys.argv = [sys.argv[0], binary, "1"]

    def german(desktop, program, folder):
        main = desktop.wait_window(f"^{TITLE}$", "for the main window")
        time.sleep(1)
        shoot(desktop, main, os.path.join(out, "main-window-de.png"))
        program.kill()
    run(__doc__, "ostrel-shots-", make_folder, german)
    return 0


if __name__ == "__main__":
    sys.exit(main())
