#!/usr/bin/python3
"""Drives the built program under Xvfb on a huge picture, as a person would.

Usage: drive_large_picture.py PATH/TO/ostrel_viewer [SCALE]

A click on a 16384 x 16384 RLE bitmap, then at once on About: About opens no
more than 0.3 s later than with nothing decoding, and Exit ends the program
while the decode may still run. Exit code 77 when no X server can start.
"""

import os
import struct
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from drive_program import (TITLE, ABOUT_BUTTON, FIRST_ROW, centre, exit_program,  # noqa: E402
                           expect, poll, run)

SLOWDOWN = float(os.environ.get("OSTREL_BLACKBOX_SLOWDOWN", "1"))
ABOUT_WITHIN = 0.3 * SLOWDOWN


def rle_bitmap(side):
    """An 8-bit RLE bitmap of four colour bands, side x side pixels."""
    rows = bytearray()
    for y in range(side):
        index = y * 4 // side
        left = side
        while left > 0:
            run_length = min(left, 255)
            rows += bytes((run_length, index))
            left -= run_length
        rows += b"\0\0"
    rows += b"\0\1"
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in
                       ((255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)))
    header = struct.pack("<IiiHHIIiiII", 40, side, side, 1, 8, 1, len(rows), 2835, 2835, 4, 0)
    offset = 14 + len(header) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset) + header + palette + rows


def make_folder(folder):
    with open(os.path.join(folder, "huge.bmp"), "wb") as f:
        f.write(rle_bitmap(16384))


def open_about(desktop, main, what):
    """Clicks About; the seconds until its window shows, and the window."""
    desktop.point(main, *centre(ABOUT_BUTTON))
    clicked = time.monotonic()
    desktop.xdotool("click", 1)
    found = poll(lambda: desktop.windows(f"^About {TITLE}$"), step=0.01)
    waited = time.monotonic() - clicked
    expect(found, f"About opens {what}")
    print(f"About answered {waited * 1000:.0f} ms after its click {what}")
    return waited, found[-1]


def close_about(desktop, about):
    desktop.keys(about, "Escape")
    desktop.wait_gone(about, "the About window after Esc")


def drive(desktop, program, folder):
    main = desktop.wait_window(f"^{TITLE}$", "for the main window")
    usual, about = open_about(desktop, main, "with nothing decoding")
    close_about(desktop, about)
    # The only file is the first row of the list.
    desktop.point(main, *FIRST_ROW)
    desktop.xdotool("click", 1)
    waited, about = open_about(desktop, main, "after a click on the huge picture")
    expect(waited - usual <= ABOUT_WITHIN,
           f"About opens within {ABOUT_WITHIN:.2f} s of its usual time while the picture "
           f"decodes (took {waited:.2f} s, usually {usual:.2f} s)")
    close_about(desktop, about)

    exit_program(desktop, main, program)


if __name__ == "__main__":
    sys.exit(run(__doc__, "ostrel-large-", make_folder, drive))
