#!/usr/bin/python3
"""Times the viewer's first screen through the real program under Xvfb.

Usage: first_screen.py PATH/TO/ostrel_viewer [ROUNDS]

Makes four pictures in a temporary folder (never kept): an 8000 x 6000 JPEG
and a 1000 x 750 one, a 10240 x 8192 bitmap (the largest the viewer shows,
stored bottom-up as usual) and a 1000 x 750 one. Each has its top-left
quarter in a colour of its own over noise. For each picture, in interleaved
rounds: select it in the file list, wait for its preview (and the neighbours'
prefetch) to settle, click the preview, and poll a few pixels of the
viewer's interior on the X screen until they show the picture's colour.
Prints each time, the big picture's cost over the small one's per round, and
one `djpeg` full decode of the big JPEG beside. Needs Xvfb, xdotool,
python3-xlib, python3-numpy and cjpeg/djpeg (libjpeg-turbo-progs).
"""

import os
import statistics
import subprocess
import sys
import time

import numpy
from Xlib import X, display

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "..", "tests", "blackbox"))
from drive_program import FIRST_ROW, PREVIEW, TITLE, Failure, centre, poll, run  # noqa: E402

# name, width, height, colour of the top-left quarter
PICTURES = [
    ("a-big.jpg", 8000, 6000, (200, 30, 30)),
    ("b-small.jpg", 1000, 750, (30, 200, 30)),
    ("c-big.bmp", 10240, 8192, (30, 30, 200)),
    ("d-small.bmp", 1000, 750, (200, 200, 30)),
]
PAIRS = [("JPEG", "a-big.jpg", "b-small.jpg"), ("bitmap", "c-big.bmp", "d-small.bmp")]
ROUNDS = int(sys.argv.pop(2)) if len(sys.argv) == 3 else 3
SETTLE = 4.0  # seconds for a preview and its neighbours' prefetch


def pixels(width, height, colour):
    """Noise and gradients (entropy for the coder), one quarter in colour."""
    rng = numpy.random.default_rng(12345)
    rgb = numpy.empty((height, width, 3), numpy.uint8)
    for top in range(0, height, 1024):
        band = rgb[top:top + 1024]
        rows = band.shape[0]
        x = numpy.arange(width, dtype=numpy.int32)[None, :]
        y = numpy.arange(top, top + rows, dtype=numpy.int32)[:, None]
        noise = rng.integers(-16, 16, (rows, width), dtype=numpy.int32)
        band[..., 0] = numpy.clip(x * 255 // width + noise, 0, 255)
        band[..., 1] = numpy.clip(y * 255 // height + noise, 0, 255)
        band[..., 2] = numpy.clip((x + y) // 16 % 256 + noise, 0, 255)
        quarter = min(rows, max(0, height // 2 - top))
        for channel in range(3):
            band[:quarter, :width // 2, channel] = numpy.clip(
                colour[channel] + noise[:quarter, :width // 2] // 2, 0, 255)
    return rgb


def write_jpeg(path, rgb):
    height, width, _ = rgb.shape
    header = f"P6\n{width} {height}\n255\n".encode()
    subprocess.run(["cjpeg", "-quality", "90", "-outfile", path], input=header + rgb.tobytes(),
                   check=True)


def write_bitmap(path, rgb):
    height, width, _ = rgb.shape
    stride = (width * 3 + 3) & ~3
    size = 54 + stride * height
    with open(path, "wb") as f:
        f.write(b"BM" + size.to_bytes(4, "little") + bytes(4) + (54).to_bytes(4, "little"))
        f.write(b"".join(v.to_bytes(4, "little", signed=True) for v in (40, width, height)))
        f.write((1).to_bytes(2, "little") + (24).to_bytes(2, "little") + bytes(24))
        pad = bytes(stride - width * 3)
        for y in range(height - 1, -1, -1):  # bottom-up
            f.write(rgb[y, :, ::-1].tobytes() + pad)


def make_folder(folder):
    for name, width, height, colour in PICTURES:
        rgb = pixels(width, height, colour)
        path = os.path.join(folder, name)
        (write_jpeg if name.endswith(".jpg") else write_bitmap)(path, rgb)
        del rgb


class Screen:
    """Reads a few pixels of the X screen straight from the server."""

    def __init__(self, name):
        self.display = display.Display(name)
        self.root = self.display.screen().root

    def shows(self, x, y, colour):
        data = self.root.get_image(x, y, 4, 4, X.ZPixmap, 0xFFFFFFFF).data
        # 32-bit pixels, blue green red pad; every pixel near the colour.
        for i in range(0, len(data), 4):
            b, g, r = data[i], data[i + 1], data[i + 2]
            if max(abs(r - colour[0]), abs(g - colour[1]), abs(b - colour[2])) > 70:
                return False
        return True


def select(desktop, screen, main, index, colour):
    left, top = desktop.geometry(main)[:2]
    desktop.click(main, *FIRST_ROW)
    for _ in range(index):
        desktop.keys(main, "Down")
    at = (left + PREVIEW[0] + 8, top + PREVIEW[1] + 8)
    if not poll(lambda: screen.shows(*at, colour), timeout=60, step=0.05):
        raise Failure(f"the preview of picture {index + 1} did not show")
    time.sleep(SETTLE)


def open_viewer(desktop, screen, main, name, colour, at):
    """Clicks the preview; the seconds until the viewer shows the picture."""
    desktop.point(main, *centre(PREVIEW))
    clicked = time.monotonic()
    desktop.xdotool("click", 1)
    if at is None:  # the first open finds where the viewer goes
        found = poll(lambda: desktop.windows(f"^{name}$"), step=0.01)
        if not found:
            raise Failure(f"no viewer for {name}")
        left, top = desktop.geometry(found[-1])[:2]
        at = (left + 20, top + 20)
    shown = poll(lambda: screen.shows(*at, colour), timeout=60, step=0.001)
    waited = time.monotonic() - clicked
    if not shown:
        raise Failure(f"the viewer of {name} did not show it")
    viewer = desktop.windows(f"^{name}$")[-1]
    desktop.keys(viewer, "Escape")
    if poll(lambda: screen.shows(*at, colour), lambda s: not s, timeout=30, step=0.05):
        raise Failure(f"the viewer of {name} did not close")
    return waited, at


def djpeg_ms(path):
    started = time.monotonic()
    subprocess.run(["djpeg", "-outfile", "/dev/null", path], check=True)
    return (time.monotonic() - started) * 1000


def drive(desktop, program, folder):
    main = desktop.wait_window(f"^{TITLE}$", "for the main window")
    screen = Screen(desktop.env["DISPLAY"])
    times = {name: [] for name, *_ in PICTURES}
    djpeg = []
    # An open not counted, to find where the viewer goes.
    name, _, _, colour = PICTURES[1]
    select(desktop, screen, main, 1, colour)
    at = open_viewer(desktop, screen, main, name, colour, None)[1]
    for _ in range(ROUNDS):
        for index, (name, _, _, colour) in enumerate(PICTURES):
            select(desktop, screen, main, index, colour)
            waited, at = open_viewer(desktop, screen, main, name, colour, at)
            times[name].append(waited * 1000)
        djpeg.append(djpeg_ms(os.path.join(folder, "a-big.jpg")))
    load = os.getloadavg()
    print(f"load average {load[0]:.2f} {load[1]:.2f} {load[2]:.2f}")
    for name in times:
        print(f"{name:12} " + " ".join(f"{t:7.0f}" for t in times[name]) +
              f"   median {statistics.median(times[name]):.0f} ms")
    for kind, big, small in PAIRS:
        costs = [b - s for b, s in zip(times[big], times[small])]
        print(f"{kind} cost of the big picture (big - small, per round): " +
              " ".join(f"{c:.0f}" for c in costs) + " ms")
    print("djpeg full decode of a-big.jpg: " + " ".join(f"{t:.0f}" for t in djpeg) + " ms")
    program.terminate()
    program.wait(timeout=10)
    return set()


if __name__ == "__main__":
    sys.exit(run(__doc__, "ostrel-first-screen-", make_folder, drive))
