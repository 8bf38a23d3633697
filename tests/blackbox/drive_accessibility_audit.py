#!/usr/bin/python3
"""Walks every window of the built program over the accessibility bus
(AT-SPI), as a screen reader finds them, under Xvfb.

Usage: drive_accessibility_audit.py PATH/TO/ostrel_viewer

The main window, the picture viewer, the text window, its find window,
About and the help viewer are opened in turn; in each, every control a user
can reach (one that takes the focus or acts) must have a name and a role a
reader can speak, and one that acts must offer its action. The preview must
be reachable, by Tab after the other controls, named after its picture, and
open the viewer when pressed.
Exit code 77 when Xvfb, a session bus, the accessibility bus or
python3-pyatspi is missing.
"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from drive_program import (TITLE, FIRST_ROW, exit_program, expect,  # noqa: E402
                           make_folder, poll)
from drive_screen_reader import Reader, run_listened  # noqa: E402

# Roles that say nothing of what a control is.
UNSPOKEN = {"unknown", "invalid", "filler", "redundant object"}
# Roles of controls that act when used.
ACTING = {"push button", "toggle button", "check box", "radio button", "combo box", "link",
          "menu item", "image"}


def label_of(reader, node):
    """The node's own name, else that of the label it is labelled by."""
    names = [node.name] + [r.getTarget(i).name for r in node.getRelationSet()
                           if r.getRelationType() == reader.pyatspi.RELATION_LABELLED_BY
                           for i in range(r.getNTargets())]
    return next((n for n in names if n), "")


def actions_of(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def audit(reader, title, what):
    """Every control of the window titled title that a user reaches (takes
    the focus, or acts) has a name, a spoken role and, acting, its action."""
    pyatspi = reader.pyatspi
    faults, reached = [], 0
    stack = [reader.find(lambda n: n is not None and n.name == title and
                         n.getRoleName() in ("frame", "dialog"), f"for {what}")]
    while stack:
        node = stack.pop()
        state = node.getState() if node is not None else None
        if state is None or not state.contains(pyatspi.STATE_SHOWING):
            continue
        stack.extend(node[i] for i in range(node.childCount))
        role, acts = node.getRoleName(), actions_of(node)
        # A label is read as text, even one that can be selected from.
        focusable = state.contains(pyatspi.STATE_FOCUSABLE) and role != "label"
        if not state.contains(pyatspi.STATE_ENABLED) or not (focusable or role in ACTING and acts):
            continue
        reached += 1
        name = label_of(reader, node)
        if not name:
            faults.append(f"an unnamed {role}")
        if role in UNSPOKEN:
            faults.append(f"{name or 'a control'} has no role a reader speaks ({role})")
        if role in ACTING and not [a for a in acts if a != "SetFocus"]:
            faults.append(f"the {role} {name!r} offers no action")
    expect(reached > 0 and not faults, f"{what}: each of the {reached} controls a reader reaches "
                                       f"has a name, a role and its action ({'; '.join(faults)})")


def make_folders(folder):
    """The usual folder, and a picture larger than the viewer, for its bars."""
    make_folder(folder)
    big = os.path.join(folder, "big.bmp")
    made = subprocess.run(["convert", "-size", "800x600", "xc:gray", big], capture_output=True)
    if made.returncode != 0 or not os.path.exists(big):
        from PIL import Image
        Image.new("RGB", (800, 600), "gray").save(big)


def drive(desktop, program, folder):
    reader = Reader(desktop.bus_address)
    main = desktop.wait_window(f"^{TITLE}$", "for the main window")
    preview = reader.named("No picture", "image")
    audit(reader, TITLE, "the main window")
    # After the design's eighteen controls, from the folder list that has
    # the focus at the start.
    desktop.keys(main, *["Tab"] * 18)
    expect(poll(lambda: preview.getState().contains(reader.pyatspi.STATE_FOCUSED)),
           "Tab reaches the preview after the other controls")

    desktop.click(main, *FIRST_ROW)
    editor = desktop.wait_window("a\\.txt$", "for the text file")
    audit(reader, desktop.title(editor), "the text window")
    desktop.keys(editor, "ctrl+f")
    desktop.wait_window("^Find$", "for the find window")
    audit(reader, "Find", "the find window")
    desktop.keys(None, "Escape")
    desktop.keys(main, "Down", "Down")
    press = reader.named("Preview of big.bmp", "image").queryAction()
    press.doAction([press.getName(i) for i in range(press.nActions)].index("Press"))
    viewer = desktop.wait_window("^big\\.bmp$", "for the viewer the preview's press opens")
    audit(reader, "big.bmp", "the picture viewer")
    desktop.keys(viewer, "Escape")
    desktop.wait_gone(viewer, "the viewer after Esc")

    for keys, title in (("alt+a", f"About {TITLE}"), ("F1", f"{TITLE} Help")):
        desktop.keys(main, keys)
        window = desktop.wait_window(f"^{title}$", f"for {title}")
        audit(reader, title, title)
        desktop.keys(window, "Escape")
        desktop.wait_gone(window, f"{title} after Esc")

    exit_program(desktop, main, program, lambda: desktop.keys(main, "alt+x"),
                 "Alt+X ends the program")


if __name__ == "__main__":
    sys.exit(run_listened(__doc__, "ostrel-audit-", make_folders, drive))
