#!/usr/bin/python3
"""Drives the built program under Xvfb with xdotool the way a person would.

Usage: drive_program.py PATH/TO/ostrel_viewer

Starts its own X server (no window manager), runs the program in a fresh
folder holding a text file and a small picture, and checks what a user sees:
window titles and sizes, the text window's Save writing the file (also a
UTF-16 file, written back in UTF-16), the picture viewer, the About window
and Exit. Exit code 77 when no X server can start.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
TITLE = "Ostrel_Viewer"
TIMEOUT = 30.0 * float(os.environ.get("OSTREL_BLACKBOX_SLOWDOWN", "1"))

# Client-area places in pixels (15 twips to a pixel).
FILE_LIST = (144, 128)  # File1, 137x136
PREVIEW = (144, 8, 137, 113)  # Image1
ABOUT_BUTTON = (8, 272, 81, 17)  # Command2
EXIT_BUTTON = (200, 272, 81, 17)  # Command1
TEXT_BOX = (8, 32)  # Form2.Text1
CLOSE_BUTTON = (8, 8, 57, 17)  # Form2.Command1
SAVE_BUTTON = (136, 8, 65, 17)  # Form2.Command4


class Failure(Exception):
    pass


def centre(box):
    left, top, width, height = box
    return left + width // 2, top + height // 2


def start_xvfb():
    """Starts Xvfb on a display it picks itself; returns (process, display)."""
    xvfb = shutil.which("Xvfb")
    if xvfb is None:
        print("SKIP: Xvfb is not installed")
        sys.exit(SKIP)
    read_end, write_end = os.pipe()
    proc = subprocess.Popen(
        [xvfb, "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    os.close(write_end)
    number = b""
    deadline = time.monotonic() + 20
    with os.fdopen(read_end, "rb") as pipe:
        while time.monotonic() < deadline:
            chunk = pipe.read(1)
            if not chunk or chunk == b"\n":
                break
            number += chunk
    if not number.strip().isdigit():
        proc.kill()
        err = proc.stderr.read().decode(errors="replace")[-2000:]
        print("SKIP: Xvfb could not start\n" + err)
        sys.exit(SKIP)
    return proc, ":" + number.strip().decode()


class Desktop:
    def __init__(self, display):
        self.env = dict(os.environ, DISPLAY=display)

    def xdotool(self, *args, check=True):
        result = subprocess.run(["xdotool", *map(str, args)], env=self.env,
                                capture_output=True, text=True, timeout=TIMEOUT)
        if check and result.returncode != 0:
            raise Failure(f"xdotool {' '.join(map(str, args))}: {result.stderr.strip()}")
        return result.stdout

    def windows(self, title_regex):
        out = self.xdotool("search", "--onlyvisible", "--name", title_regex, check=False)
        return [w for w in out.split() if w]

    def wait_window(self, title_regex, what):
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            found = self.windows(title_regex)
            if found:
                time.sleep(0.3)  # let it finish its first layout
                return found[-1]
            time.sleep(0.1)
        raise Failure(f"no window {what} (title matching {title_regex!r}) appeared")

    def wait_gone(self, window, what):
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            out = self.xdotool("search", "--onlyvisible", "--name", ".", check=False).split()
            if window not in out:
                return
            time.sleep(0.1)
        raise Failure(f"{what} is still shown")

    def title(self, window):
        return self.xdotool("getwindowname", window).rstrip("\n")

    def client_size(self, window):
        for line in self.xdotool("getwindowgeometry", window).splitlines():
            line = line.strip()
            if line.startswith("Geometry:"):
                w, h = line.split(":", 1)[1].strip().split("x")
                return int(w), int(h)
        raise Failure("xdotool reported no geometry")

    def click(self, window, x, y):
        # A real pointer move and click (XTEST), placed relative to the window.
        self.xdotool("mousemove", "--sync", "--window", window, x, y)
        time.sleep(0.1)
        self.xdotool("click", 1)
        time.sleep(0.3)

    def keys(self, window, *keys):
        # Without a window manager the pointer decides which window gets keys.
        self.xdotool("windowfocus", "--sync", window, check=False)
        self.xdotool("key", "--clearmodifiers", *keys)
        time.sleep(0.3)

    def type(self, window, text):
        self.xdotool("windowfocus", "--sync", window, check=False)
        self.xdotool("type", "--delay", 30, text)
        time.sleep(0.3)


UTF16_TEXT = "\ufeffGr\u00fc\u00dfe\r\nline"


def make_folder(folder):
    with open(os.path.join(folder, "a.txt"), "wb") as f:
        f.write(b"first line\r\nsecond line")
    # As Windows editors write "Unicode": UTF-16 little endian with its mark.
    with open(os.path.join(folder, "c.txt"), "wb") as f:
        f.write(UTF16_TEXT.encode("utf-16-le"))
    gif = os.path.join(folder, "b.gif")
    made = subprocess.run(["convert", "-size", "40x30", "xc:red", "-fill", "blue",
                           "-draw", "rectangle 10,5 30,25", gif], capture_output=True)
    if made.returncode != 0 or not os.path.exists(gif):
        from PIL import Image  # ImageMagick missing: Pillow makes the same picture
        img = Image.new("RGB", (40, 30), "red")
        img.paste((0, 0, 255), (10, 5, 31, 26))
        img.save(gif)


def wait_for_bytes(path, want):
    deadline = time.monotonic() + TIMEOUT
    got = b""
    while time.monotonic() < deadline:
        with open(path, "rb") as f:
            got = f.read()
        if got == want:
            break
        time.sleep(0.2)
    return got


def expect(condition, message):
    if not condition:
        raise Failure(message)
    print("ok:", message)


def drive(desktop, program, folder):
    main = desktop.wait_window(f"^{TITLE}$", "for the main window")
    expect(desktop.title(main) == TITLE, f"the main window is titled {TITLE}")
    size = desktop.client_size(main)
    expect(size == (288, 350), f"the main window's client area is 288x350 (got {size})")

    # The first row of the file list is a.txt (names in order): a click opens it.
    desktop.click(main, FILE_LIST[0] + 30, FILE_LIST[1] + 6)
    text_path = os.path.join(folder, "a.txt")
    editor = desktop.wait_window("a\\.txt$", "for the text file")
    expect(desktop.title(editor) == text_path,
           f"the text window is titled with the full name {text_path!r} "
           f"(got {desktop.title(editor)!r})")

    desktop.click(editor, TEXT_BOX[0] + 40, TEXT_BOX[1] + 10)
    desktop.keys(editor, "ctrl+Home")
    desktop.type(editor, "New ")
    desktop.click(editor, *centre(SAVE_BUTTON))
    want = b"New first line\r\nsecond line\r\n"
    got = wait_for_bytes(text_path, want)
    expect(got == want, f"Save wrote {want!r} (file holds {got!r})")

    desktop.click(editor, *centre(CLOSE_BUTTON))
    desktop.wait_gone(editor, "the text window after Close")

    # The next row is the picture: Down moves there and fires the same click.
    desktop.xdotool("mousemove", "--sync", "--window", main, FILE_LIST[0] + 30, FILE_LIST[1] + 6)
    desktop.keys(main, "Down")
    desktop.click(main, *centre(PREVIEW))
    viewer = desktop.wait_window("^b\\.gif$", "for the picture viewer")
    expect(desktop.title(viewer) == "b.gif", "the picture viewer is titled b.gif")
    # A click on the picture closes the viewer.
    desktop.click(viewer, 5, 5)
    desktop.wait_gone(viewer, "the picture viewer after a click on the picture")
    print("ok: a click on the picture closes the viewer")

    # The row after the picture is the UTF-16 file: typed text and the line
    # end Save adds go out in UTF-16 too, the mark kept.
    desktop.xdotool("mousemove", "--sync", "--window", main, FILE_LIST[0] + 30, FILE_LIST[1] + 6)
    desktop.keys(main, "Down")
    utf16_path = os.path.join(folder, "c.txt")
    editor = desktop.wait_window("c\\.txt$", "for the UTF-16 file")
    desktop.click(editor, TEXT_BOX[0] + 40, TEXT_BOX[1] + 10)
    desktop.keys(editor, "ctrl+End")
    desktop.type(editor, " ok")
    desktop.click(editor, *centre(SAVE_BUTTON))
    want = (UTF16_TEXT + " ok\r\n").encode("utf-16-le")
    got = wait_for_bytes(utf16_path, want)
    expect(got == want, f"Save wrote the UTF-16 file as UTF-16 {want!r} (file holds {got!r})")
    desktop.click(editor, *centre(CLOSE_BUTTON))
    desktop.wait_gone(editor, "the UTF-16 text window after Close")

    desktop.click(main, *centre(ABOUT_BUTTON))
    about = desktop.wait_window(f"^About {TITLE}$", "for About")
    expect(desktop.title(about) == f"About {TITLE}", f"About opens 'About {TITLE}'")
    desktop.xdotool("mousemove", "--sync", "--window", about, 20, 20)
    desktop.keys(about, "Escape")
    desktop.wait_gone(about, "the About window after Esc")
    print("ok: Esc closes About")

    desktop.click(main, *centre(EXIT_BUTTON))
    try:
        status = program.wait(timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        raise Failure("the program is still running after Exit")
    expect(status == 0, f"Exit ends the program with status 0 (got {status})")


def stop(proc):
    proc.terminate()
    try:
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        proc.kill()


def run(doc, prefix, make, drive_steps, start_helpers=None):
    """Starts Xvfb (and whatever start_helpers(desktop) starts beside it), makes
    the test folder with make(folder), runs the program there, drives it with
    drive_steps(desktop, program, folder) and cleans up; returns the exit code."""
    if len(sys.argv) != 2:
        print(doc)
        return 2
    binary = os.path.abspath(sys.argv[1])
    xvfb, display = start_xvfb()
    desktop = Desktop(display)
    helpers = []
    folder = tempfile.mkdtemp(prefix=prefix)
    program = None
    try:
        if start_helpers is not None:
            helpers.append(start_helpers(desktop))
        make(folder)
        env = dict(desktop.env, QT_QPA_PLATFORM="xcb", HOME=folder,
                   XDG_RUNTIME_DIR=folder, XDG_CONFIG_HOME=os.path.join(folder, ".config"))
        env.pop("WAYLAND_DISPLAY", None)
        program = subprocess.Popen([binary], cwd=folder, env=env)
        drive_steps(desktop, program, folder)
        print("PASS")
        return 0
    except Failure as failure:
        print("FAIL:", failure)
        return 1
    finally:
        if program is not None and program.poll() is None:
            program.kill()
            program.wait()
        for proc in helpers + [xvfb]:
            stop(proc)
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(run(__doc__, "ostrel-blackbox-", make_folder, drive))
