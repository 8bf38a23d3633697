#!/usr/bin/python3
"""Drives the built program under Xvfb with xdotool the way a person would.

Usage: drive_program.py PATH/TO/ostrel_viewer [SCALE]

With no window manager, at the given scale (QT_SCALE_FACTOR), in a fresh
folder: each window opens inside the screen, the text window and the viewer
beside the main window; Save and Ctrl+S write the file; Enter opens the
viewer, Esc closes it; the help viewer goes back and closes by keyboard.
Exit code 77 when no X server can start.
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

# Client-area places in logical pixels (15 twips to a pixel); the desktop
# multiplies them by the scale factor.
FILE_LIST = (144, 128)  # File1, 137x136
ABOUT_BUTTON = (8, 272, 81, 17)  # Command2
HELP_BUTTON = (104, 272, 81, 17)  # Command3
EXIT_BUTTON = (200, 272, 81, 17)  # Command1
TEXT_BOX = (8, 32)  # Form2.Text1
FIRST_ROW = (FILE_LIST[0] + 30, FILE_LIST[1] + 6)  # the file list's first row
IN_TEXT = (TEXT_BOX[0] + 40, TEXT_BOX[1] + 10)  # inside the text box
CLOSE_BUTTON = (8, 8, 57, 17)  # Form2.Command1
SAVE_BUTTON = (136, 8, 65, 17)  # Form2.Command4


class Failure(Exception):
    pass


def poll(get, ok=bool, timeout=TIMEOUT, step=0.1):
    """Calls get() until ok(value) or the time-out; returns the last value."""
    deadline = time.monotonic() + timeout
    value = get()
    while not ok(value) and time.monotonic() < deadline:
        time.sleep(step)
        value = get()
    return value


def read(path):
    with open(path, "rb") as f:
        return f.read()


def centre(box):
    left, top, width, height = box
    return left + width // 2, top + height // 2


def start_xvfb(screen):
    """Starts Xvfb on a display it picks itself; returns (process, display)."""
    xvfb = shutil.which("Xvfb")
    if xvfb is None:
        print("SKIP: Xvfb is not installed")
        sys.exit(SKIP)
    read_end, write_end = os.pipe()
    proc = subprocess.Popen(
        [xvfb, "-displayfd", str(write_end), "-screen", "0", f"{screen[0]}x{screen[1]}x24", "-nolisten", "tcp"],
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
    def __init__(self, display, screen, scale):
        self.env = dict(os.environ, DISPLAY=display)
        self.screen = screen
        self.scale = scale

    def xdotool(self, *args, check=True):
        result = subprocess.run(["xdotool", *map(str, args)], env=self.env,
                                capture_output=True, text=True, timeout=TIMEOUT)
        if check and result.returncode != 0:
            raise Failure(f"xdotool {' '.join(map(str, args))}: {result.stderr.strip()}")
        return result.stdout

    def windows(self, title_regex):
        out = self.xdotool("search", "--onlyvisible", "--name", title_regex, check=False)
        return [w for w in out.split() if w]

    def visible(self, window):
        return window in self.xdotool("search", "--onlyvisible", "--name", ".", check=False).split()

    def wait_window(self, title_regex, what):
        found = poll(lambda: self.windows(title_regex))
        if not found:
            raise Failure(f"no window {what} (title matching {title_regex!r}) appeared")
        time.sleep(0.3)  # let it finish its first layout
        return found[-1]

    def wait_gone(self, window, what):
        if poll(lambda: self.visible(window), lambda shown: not shown):
            raise Failure(f"{what} is still shown")

    def title(self, window):
        return self.xdotool("getwindowname", window).rstrip("\n")

    def geometry(self, window):
        """(left, top, width, height) of the window's interior in logical pixels."""
        out = self.xdotool("getwindowgeometry", "--shell", window)
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return tuple(round(int(values[k]) / self.scale) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def client_size(self, window):
        return self.geometry(window)[2:]

    def on_screen(self, window):
        left, top, width, height = self.geometry(window)
        screen_w, screen_h = (round(v / self.scale) for v in self.screen)
        return left >= 0 and top >= 0 and left + width <= screen_w and top + height <= screen_h

    def focused(self):
        return self.xdotool("getwindowfocus", check=False).strip()

    def point(self, window, x, y):
        self.xdotool("mousemove", "--sync", "--window", window,
                     round(x * self.scale), round(y * self.scale))

    def click(self, window, x, y):
        # A real pointer move and click (XTEST), placed relative to the window.
        self.point(window, x, y)
        time.sleep(0.1)
        self.xdotool("click", 1)
        time.sleep(0.3)

    def keys(self, window, *keys):
        # Without a window manager the pointer decides which window gets keys
        # until a window is given the focus; None: to whichever has it now.
        if window is not None:
            self.xdotool("windowfocus", "--sync", window, check=False)
        self.xdotool("key", "--clearmodifiers", *keys)
        time.sleep(0.3)

    def type(self, window, text):
        self.xdotool("windowfocus", "--sync", window, check=False)
        self.xdotool("type", "--delay", 30, text)
        time.sleep(0.3)


def make_folder(folder):
    with open(os.path.join(folder, "a.txt"), "wb") as f:
        f.write(b"first line\r\nsecond line")
    subprocess.run(["convert", "-size", "40x30", "xc:red", "-fill", "blue", "-draw",
                    "rectangle 10,5 30,25", os.path.join(folder, "b.gif")], check=True)


def wait_for_bytes(path, want, timeout=TIMEOUT):
    """The file's bytes once they are want (read only once its size is), or at the time-out."""
    return poll(lambda: read(path) if os.path.getsize(path) == len(want) else b"",
                lambda got: got == want, timeout, 0.2) or read(path)


def expect(condition, message):
    if not condition:
        raise Failure(message)
    print("ok:", message)


def type_at(desktop, editor, key, text):
    """Clicks into the text box, presses key to place the caret and types text."""
    desktop.click(editor, *IN_TEXT)
    desktop.keys(editor, key)
    desktop.type(editor, text)


def save_expecting(desktop, editor, path, want, what):
    desktop.click(editor, *centre(SAVE_BUTTON))
    got = wait_for_bytes(path, want)
    expect(got == want, f"{what} {want!r} (file holds {got!r})")


def close_text(desktop, editor, what="the text window"):
    desktop.click(editor, *centre(CLOSE_BUTTON))
    desktop.wait_gone(editor, f"{what} after Close")


def wait_title(desktop, window, want, what):
    title = poll(lambda: desktop.title(window), lambda t: t == want)
    expect(title == want, f"{what} (title {title!r})")


def wait_followed(desktop, window, book):
    """Waits for a topic other than the book's first, named before the book."""
    title = poll(lambda: desktop.title(window), lambda t: t != book)
    expect(title.endswith(f" - {book}"), f"the index opens a topic ({title!r})")


def exit_program(desktop, main, program, how=None, what="Exit ends the program"):
    """Clicks Exit (or does how()) and expects the program to end with status 0."""
    if how is None:
        desktop.click(main, *centre(EXIT_BUTTON))
    else:
        how()
    try:
        status = program.wait(timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        raise Failure(f"the program is still running ({what})")
    expect(status == 0, f"{what} with status 0 (got {status})")


def overlap(a, b):
    return (a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and
            a[1] < b[1] + b[3] and b[1] < a[1] + a[3])


def expect_beside(desktop, window, main, what):
    """window opened beside the main window, covering none of it."""
    expect(not overlap(desktop.geometry(window), desktop.geometry(main)),
           f"{what} {desktop.geometry(window)} opens beside the main window "
           f"{desktop.geometry(main)}")


def drive(desktop, program, folder):
    main = desktop.wait_window(f"^{TITLE}$", "for the main window")
    size = desktop.client_size(main)
    expect(size == (288, 350), f"the main window's client area is 288x350 (got {size})")
    expect(desktop.on_screen(main), "the main window opens inside the screen")

    # The first row of the file list is a.txt (names in order): a click opens it.
    desktop.click(main, *FIRST_ROW)
    text_path = os.path.join(folder, "a.txt")
    editor = desktop.wait_window("a\\.txt$", "for the text file")
    expect(desktop.title(editor) == text_path,
           f"the text window is titled with the full name {text_path!r} "
           f"(got {desktop.title(editor)!r})")
    expect(desktop.on_screen(editor),
           f"the text window opens inside the screen (at {desktop.geometry(editor)})")
    expect_beside(desktop, editor, main, "the text window")

    type_at(desktop, editor, "ctrl+Home", "New ")
    save_expecting(desktop, editor, text_path, b"New first line\r\nsecond line\r\n", "Save wrote")
    type_at(desktop, editor, "ctrl+End", "!")
    desktop.keys(editor, "ctrl+s")
    want = b"New first line\r\nsecond line!\r\n"
    expect(wait_for_bytes(text_path, want) == want, f"Ctrl+S wrote {want!r}")
    close_text(desktop, editor)

    # Browsing by keyboard: down to the picture, back up to the text file,
    # whose window comes forward while the keys still move through the list.
    desktop.keys(main, "Down")
    desktop.keys(main, "Up")
    editor = desktop.wait_window("a\\.txt$", "for the text file reached by keyboard")
    expect(desktop.focused() == main, "a text file reached by keyboard leaves the focus in the list")
    desktop.keys(None, "Down")  # to the picture again
    close_text(desktop, editor)
    desktop.keys(main, "Return")
    viewer = desktop.wait_window("^b\\.gif$", "for the picture viewer Enter opens")
    expect(desktop.on_screen(viewer), "the picture viewer opens inside the screen")
    expect_beside(desktop, viewer, main, "the picture viewer")
    desktop.keys(viewer, "Escape")
    desktop.wait_gone(viewer, "the picture viewer after Esc")
    print("ok: Enter opens the picture viewer and Esc closes it")

    drive_help(desktop, main)
    exit_program(desktop, main, program)


def drive_help(desktop, main):
    """The help viewer leaves the main window free, goes back from a link
    and closes by keyboard: without a window manager nothing else would."""
    book = f"{TITLE} Help"
    desktop.click(main, *centre(HELP_BUTTON))
    helper = desktop.wait_window(f"^{book}$", "for the help viewer")
    expect(desktop.on_screen(helper), "the help viewer opens inside the screen")
    expect(not overlap(desktop.geometry(helper), desktop.geometry(main)),
           f"the help viewer {desktop.geometry(helper)} leaves the main window "
           f"{desktop.geometry(main)} uncovered")
    # Down in the filter box walks the index; the list takes Backspace.
    desktop.keys(helper, "Down")
    wait_followed(desktop, helper, book)
    desktop.keys(helper, "alt+Left")
    wait_title(desktop, helper, book, "Alt+Left goes back")
    desktop.keys(helper, "Tab", "Down", "Down")
    wait_followed(desktop, helper, book)
    desktop.keys(helper, "BackSpace", "BackSpace")
    wait_title(desktop, helper, book, "Backspace goes back")
    desktop.keys(helper, "Escape")
    desktop.wait_gone(helper, "the help viewer after Esc")
    desktop.keys(main, "F1")
    helper = desktop.wait_window(f"^{book}$", "for the help viewer F1 opens")
    desktop.keys(helper, "ctrl+w")
    desktop.wait_gone(helper, "the help viewer after Ctrl+W")
    print("ok: Esc and Ctrl+W close the help viewer")


def stop(proc):
    proc.terminate()
    try:
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        proc.kill()


def start_session_bus(home, runtime):
    """A private session bus, so that Qt does not start one of its own (which
    would write into whatever folders the program's environment names);
    None where no bus daemon is installed: the program then runs with none."""
    daemon = shutil.which("dbus-daemon")
    if daemon is None:
        return None, "unix:path=" + os.path.join(runtime, "no-bus")
    bus = subprocess.Popen([daemon, "--session", "--nofork", "--print-address=1"],
                           env=dict(os.environ, HOME=home, XDG_RUNTIME_DIR=runtime),
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return bus, bus.stdout.readline().strip()


def run(doc, prefix, make, drive_steps, start_helpers=None, screen=(1280, 1024), extra_env=None):
    """Runs the program on Xvfb (beside whatever start_helpers(desktop) starts)
    and a private session bus, in a folder made by make(folder); drives it with
    drive_steps(desktop, program, folder), which returns the names it saved
    there, and checks nothing else appeared; returns the exit code."""
    if len(sys.argv) not in (2, 3):
        print(doc)
        return 2
    binary = os.path.abspath(sys.argv[1])
    scale = float(sys.argv[2]) if len(sys.argv) == 3 else 1.0
    if scale != 1.0:
        screen = (1600, 1200)
    xvfb, display = start_xvfb(screen)
    desktop = Desktop(display, screen, scale)
    helpers = []
    top = tempfile.mkdtemp(prefix=prefix)
    folder, home, runtime = (os.path.join(top, name) for name in ("files", "home", "runtime"))
    program = None
    try:
        os.mkdir(folder)
        os.mkdir(home)
        os.mkdir(runtime, 0o700)
        if start_helpers is not None:
            helpers.append(start_helpers(desktop))
        bus, address = start_session_bus(home, runtime)
        if bus is not None:
            helpers.append(bus)
        make(folder)
        made = sorted(os.listdir(folder))
        env = dict(desktop.env, QT_QPA_PLATFORM="xcb", HOME=home, XDG_RUNTIME_DIR=runtime,
                   XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   DBUS_SESSION_BUS_ADDRESS=address, QT_SCALE_FACTOR=str(scale), **(extra_env or {}))
        desktop.bus_address = address
        env.pop("WAYLAND_DISPLAY", None)
        program = subprocess.Popen([binary], cwd=folder, env=env)
        saved = drive_steps(desktop, program, folder) or set()
        extra = sorted(set(os.listdir(folder)) - set(made) - saved)
        expect(not extra, f"nothing else was written into the listed folder (found {extra})")
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
        shutil.rmtree(top, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(run(__doc__, "ostrel-blackbox-", make_folder, drive))
