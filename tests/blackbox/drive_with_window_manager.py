#!/usr/bin/python3
"""Starts openbox on a desktop of drive_program.py, for the screenshots taken
under a window manager; exits 77 where openbox cannot start."""

import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from drive_program import SKIP, poll  # noqa: E402


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
