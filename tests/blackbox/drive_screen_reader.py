#!/usr/bin/python3
"""Listens to the built program through the accessibility bus (AT-SPI) as a
screen reader does, while typing, deleting and selecting in the text window
under Xvfb with xdotool.

Usage: drive_screen_reader.py PATH/TO/ostrel_viewer

Each keystroke must reach the reader as the event it expects, with the right
text and offsets: typed characters as insertions, the caret's moves, and a
selection the reader sets (deletions are the unit tests'). The font buttons
carry names. Exit code 77 when Xvfb, a session bus, the
accessibility bus or python3-pyatspi is missing.
"""

import importlib.util
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from drive_program import (SKIP, TIMEOUT, FIRST_ROW, IN_TEXT, Failure,  # noqa: E402
                           exit_program, expect, run)

TEXT = "hello world"
NEEDED = ("dbus-daemon", "/usr/libexec/at-spi-bus-launcher", "/usr/libexec/at-spi2-registryd")


def missing_tools():
    missing = [tool for tool in NEEDED if shutil.which(tool) is None]
    if importlib.util.find_spec("pyatspi") is None:
        missing.append("python3-pyatspi")
    return missing


def make_folder(folder):
    with open(os.path.join(folder, "a.txt"), "w", encoding="ascii") as f:
        f.write(TEXT)


class Reader:
    """A screen reader's view: the program's accessible objects and the
    text events they send, gathered while the GLib loop is pumped."""

    KINDS = ("object:text-changed:insert", "object:text-changed:delete",
             "object:text-caret-moved", "object:text-selection-changed")

    def __init__(self, bus_address):
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus_address
        import pyatspi  # noqa: E402 -- reads the bus address when loaded
        from gi.repository import GLib
        self.pyatspi = pyatspi
        self.context = GLib.MainContext.default()
        self.events = []
        self.source = None
        pyatspi.Registry.registerEventListener(self.heard, *self.KINDS)

    def renew(self):
        """Registers again: the program's bridge reads the listeners anew."""
        self.pyatspi.Registry.deregisterEventListener(self.heard, *self.KINDS)
        self.pyatspi.Registry.registerEventListener(self.heard, *self.KINDS)

    def heard(self, event):
        if self.source is not None and event.source != self.source:
            return
        self.events.append((event.type, event.detail1, event.detail2, event.any_data))

    def pump(self, seconds=0.5):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            while self.context.iteration(False):
                pass
            time.sleep(0.02)

    def find(self, predicate, what):
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            desktop = self.pyatspi.Registry.getDesktop(0)
            for app in desktop:
                if app is None:
                    continue
                found = self.pyatspi.findDescendant(app, predicate)
                if found is not None:
                    return found
            self.pump(0.3)
        raise Failure(f"no accessible object {what} appeared on the accessibility bus")

    def named(self, name, role=None):
        def matches(node):
            try:
                return node is not None and node.name == name and (
                    role is None or node.getRoleName() == role)
            except Exception:  # an object going away while the tree is walked
                return False
        return self.find(matches, f"named {name!r}")

    def take(self, until=None):
        """The events heard since the last take; with until, waits (up to
        the time-out) until they satisfy it, then a moment for any more."""
        deadline = time.monotonic() + TIMEOUT
        while until is not None and not until(self.events) and time.monotonic() < deadline:
            self.pump(0.1)
        self.pump(0.3)
        events, self.events = self.events, []
        return events


def of_kind(events, kind):
    return [e for e in events if e[0].startswith(kind)]


def drive(desktop, program, folder):
    reader = Reader(desktop.bus_address)
    main = desktop.wait_window("^Ostrel_Viewer$", "for the main window")

    desktop.click(main, *FIRST_ROW)
    editor = desktop.wait_window("a\\.txt$", "for the text file")
    for name in ("12 point", "10 point"):
        reader.named(name, "push button")
    box = reader.find(lambda n: n is not None and n.getRoleName() == "text"
                      and n.queryText().characterCount == len(TEXT), "for the text box")
    reader.source = box

    desktop.click(editor, *IN_TEXT)
    # The bridge sends an event kind only once it has learnt from the
    # registry that someone listens, and on a busy machine it can miss the
    # news; move the caret, registering again, until a move is heard.
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        desktop.keys(editor, "ctrl+Home", "ctrl+End")
        reader.pump(2)
        if [e[1] for e in of_kind(reader.events, "object:text-caret-moved")][-1:] == [len(TEXT)]:
            break
        reader.renew()
    reader.take(lambda e: box.queryText().caretOffset == len(TEXT))

    desktop.type(editor, "XY")
    events = reader.take(lambda e: len(of_kind(e, "object:text-caret-moved")) >= 2)
    inserts = [(e[1], e[2], e[3]) for e in of_kind(events, "object:text-changed:insert")]
    expect(inserts == [(11, 1, "X"), (12, 1, "Y")], f"typing XY is heard as two insertions ({events})")
    carets = [e[1] for e in of_kind(events, "object:text-caret-moved")]
    expect(carets[-1:] == [13], f"the caret is heard after the typing ({events})")

    # A reader's own selection is heard back too.
    box.queryText().setSelection(0, 6, 9)
    events = reader.take(lambda e: of_kind(e, "object:text-selection-changed"))
    expect(len(of_kind(events, "object:text-selection-changed")) == 1,
           f"a selection set through the bus is heard ({events})")
    expect(box.queryText().getText(6, 9) == "wor", "and it covers the text asked for")

    exit_program(desktop, main, program)


def run_listened(doc, prefix, make, drive_steps):
    """run() with the program's accessibility on, where a reader can listen;
    SKIP where the tools a reader needs are missing."""
    missing = missing_tools()
    if missing:
        print("SKIP: not installed: " + ", ".join(missing))
        return SKIP
    return run(doc, prefix, make, drive_steps,
               extra_env={"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})


if __name__ == "__main__":
    sys.exit(run_listened(__doc__, "ostrel-screen-reader-", make_folder, drive))
