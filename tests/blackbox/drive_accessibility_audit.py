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
from drive_program import (TITLE, FIRST_ROW, Failure, exit_program,  # noqa: E402
                           expect, make_folder, poll)
from drive_screen_reader import Reader, run_listened  # noqa: E402

# Roles that say nothing of what a control is.
UNSPOKEN = {"unknown", "invalid", "filler", "redundant object"}
# Roles of controls that act when used.
ACTING = {"push button", "toggle button", "check box", "radio button", "combo box", "link",
          "menu item", "image"}


def states(node):
    return node.getState()


def label_of(reader, node):
    """The node's own name, else that of the label it is labelled by."""
    if node.name:
        return node.name
    for relation in node.getRelationSet():
        if relation.getRelationType() == reader.pyatspi.RELATION_LABELLED_BY:
            for i in range(relation.getNTargets()):
                if relation.getTarget(i).name:
                    return relation.getTarget(i).name
    return ""


def actions_of(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def audit(reader, window, what):
    """The reachable controls of window that lack a name, a spoken role or
    an action; an empty list when every one has what it needs."""
    pyatspi = reader.pyatspi
    faults = []
    reached = 0
    stack = [window]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        state = states(node)
        if not state.contains(pyatspi.STATE_SHOWING):
            continue
        stack.extend(node[i] for i in range(node.childCount))
        if not state.contains(pyatspi.STATE_ENABLED):
            continue  # nobody reaches it until it is
        role = node.getRoleName()
        acts = actions_of(node)
        # A label is read as text; one that can be selected from is no control.
        focusable = state.contains(pyatspi.STATE_FOCUSABLE) and role != "label"
        if not focusable and not (role in ACTING and acts):
            continue
        reached += 1
        name = label_of(reader, node)
        if not name:
            faults.append(f"an unnamed {role}")
        if role in UNSPOKEN:
            faults.append(f"{name or 'a control'} has no role a reader speaks ({role})")
        if role in ACTING and not [a for a in acts if a != "SetFocus"]:
            faults.append(f"the {role} {name!r} offers no action")
    expect(reached > 0, f"{what}: the reader reaches its controls ({reached})")
    expect(not faults, f"{what}: every control it reaches has a name, a role and its action "
                       f"({'; '.join(faults)})")


def window_named(reader, name, what):
    return reader.find(lambda n: n is not None and n.name == name and
                       n.getRoleName() in ("frame", "dialog", "window"), what)


def press(reader, node, what):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() == "press":
            action.doAction(i)
            return
    raise Failure(f"{what} has no press action")


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
    frame = window_named(reader, TITLE, "for the main window's frame")
    preview = reader.named("No picture")
    expect(preview.getRoleName() == "image" and
           preview.getState().contains(reader.pyatspi.STATE_FOCUSABLE),
           f"the preview is a picture the keyboard reaches ({preview.getRoleName()})")
    audit(reader, frame, "the main window")
    # In the focus order after the design's eighteen controls, from the
    # folder list that has the focus at the start.
    desktop.keys(main, *["Tab"] * 18)
    expect(poll(lambda: preview.getState().contains(reader.pyatspi.STATE_FOCUSED)),
           "Tab reaches the preview after the other controls")

    # The picture, by keyboard from the text file above it.
    desktop.click(main, *FIRST_ROW)
    editor = desktop.wait_window("a\\.txt$", "for the text file")
    audit(reader, window_named(reader, desktop.title(editor), "for the text window"),
          "the text window")
    desktop.keys(editor, "ctrl+f")
    desktop.wait_window("^Find", "for the find window")
    audit(reader, reader.find(lambda n: n is not None and n.getRoleName() in ("dialog", "frame")
                              and n.name.startswith("Find"), "the find window"),
          "the find window")
    desktop.keys(None, "Escape")
    desktop.keys(main, "Down", "Down")
    preview = reader.named("Preview of big.bmp")
    press(reader, preview, "the preview")
    viewer = desktop.wait_window("^big\\.bmp$", "for the viewer the preview's press opens")
    expect(desktop.title(viewer) == "big.bmp", "pressing the preview opens the viewer on big.bmp")
    audit(reader, window_named(reader, "big.bmp", "for the viewer"), "the picture viewer")
    desktop.keys(viewer, "Escape")
    desktop.wait_gone(viewer, "the viewer after Esc")

    desktop.keys(main, "alt+a")
    about = desktop.wait_window(f"^About {TITLE}$", "for About")
    audit(reader, window_named(reader, f"About {TITLE}", "for About"), "the About window")
    desktop.keys(about, "Escape")
    desktop.wait_gone(about, "About after Esc")

    desktop.keys(main, "F1")
    helper = desktop.wait_window(f"^{TITLE} Help$", "for the help viewer F1 opens")
    audit(reader, window_named(reader, f"{TITLE} Help", "for the help viewer"), "the help viewer")
    desktop.keys(helper, "Escape")
    desktop.wait_gone(helper, "the help viewer after Esc")

    exit_program(desktop, main, program, lambda: desktop.keys(main, "alt+x"),
                 "Alt+X ends the program")


if __name__ == "__main__":
    sys.exit(run_listened(__doc__, "ostrel-audit-", make_folders, drive))
