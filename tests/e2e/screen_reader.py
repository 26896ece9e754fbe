"""A screen reader's view of Dravix through AT-SPI, as Orca has it.

    screen_reader.py <slot list file> <launch log>

Finds the application and its frame, presses the toggle and waits for the ten slot buttons,
checks each one's name, path and shortcut against the slot list file, moves the keyboard focus
with Tab and Shift+Tab (typed with xdotool) and reads it off the buttons' states, presses the
slot whose file writes the launch log and checks that it started once. Exits non-zero on the first
difference, saying what it saw.
"""
import subprocess
import sys
import time

import pyatspi


def wait_for(what, check, seconds=5.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = check()
        if value:
            return value
        time.sleep(0.05)
    sys.exit(f"FAILED: {what}")


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    return next((app for app in desktop if app is not None and app.name == "Dravix"), None)


def main():
    slot_list, launch_log = sys.argv[1], sys.argv[2]
    with open(slot_list, newline="") as stored:
        lines = stored.read().split("\r\n")
    paths, names = lines[0:20:2], lines[1:20:2]

    app = wait_for("an application named Dravix on the bus", application)
    frame = app[0]
    if frame.getRole() != pyatspi.ROLE_FRAME or frame.childCount != 1:
        sys.exit(f"FAILED: the closed strip is {frame.getRoleName()} with {frame.childCount} nodes")
    toggle = frame[0]
    if (toggle.getRole() != pyatspi.ROLE_PUSH_BUTTON or toggle.name != "Dravix" or
            toggle.getIndexInParent() != 0):
        sys.exit(f"FAILED: the toggle is {toggle.getRoleName()} {toggle.name!r}")

    extents = lambda node, kind: tuple(node.queryComponent().getExtents(kind))
    # The stored place, Left 100 and Top 500, with no window manager to move it.
    for kind, expected in ((pyatspi.DESKTOP_COORDS, (100, 500, 26, 23)),
                           (pyatspi.WINDOW_COORDS, (0, 0, 26, 23))):
        if extents(toggle, kind) != expected or extents(frame, kind) != expected:
            sys.exit(f"FAILED: the closed strip lies at {extents(frame, kind)}, "
                     f"its toggle at {extents(toggle, kind)}, not {expected}")

    toggle.queryAction().doAction(0)
    wait_for("ten slot buttons after the toggle's press", lambda: frame.childCount == 11)
    # Once the slide ends, the window has risen 300 pixels and widened; each slot lies inside it,
    # where its place against the window says.
    wait_for("the slide's end", lambda: extents(frame, pyatspi.DESKTOP_COORDS)[2:] == (244, 323))
    left, top = extents(frame, pyatspi.DESKTOP_COORDS)[:2]
    for slot in range(10):
        x, y, width, height = extents(frame[slot + 1], pyatspi.WINDOW_COORDS)
        on_screen = extents(frame[slot + 1], pyatspi.DESKTOP_COORDS)
        if (on_screen != (left + x, top + y, width, height) or x < 0 or y < 0 or width <= 0 or
                height <= 0 or x + width > 244 or y + height > 323):
            sys.exit(f"FAILED: slot {slot} lies at {on_screen}, in the window at {(x, y)}")
    if not toggle.getState().contains(pyatspi.STATE_EXPANDED):
        sys.exit("FAILED: the open strip's toggle is not expanded")
    for slot in range(10):
        button = frame[slot + 1]
        expected = names[slot] or paths[slot] or f"Empty slot {slot}"
        seen = (button.getRoleName(), button.name, button.description,
                button.queryAction().getKeyBinding(0))
        seen += (button.getIndexInParent(),)
        if seen != ("push button", expected, paths[slot], str(slot), slot + 1):
            sys.exit(f"FAILED: slot {slot} reads {seen}")

    # The keys go to the strip's window, as a second start leaves it focused.
    window = subprocess.check_output(["xdotool", "search", "--class", "dravix"]).split()[0]
    subprocess.check_call(["xdotool", "windowfocus", "--sync", window])
    focused = lambda: [b.name for b in frame if b.getState().contains(pyatspi.STATE_FOCUSED)]
    for keys, expected in ((["Tab", "Tab"], names[1] or paths[1] or "Empty slot 1"),
                           (["shift+Tab"], names[0] or paths[0] or "Empty slot 0")):
        for key in keys:
            subprocess.check_call(["xdotool", "key", key])
        wait_for(f"the focus on {expected!r} after {keys}", lambda: focused() == [expected])

    started = next(slot for slot in range(10) if paths[slot])
    kept = frame[started + 1]
    frame[started + 1].queryAction().doAction(0)
    wait_for("the slot's file started", lambda: open(launch_log).read().count("started") >= 1)
    wait_for("the strip closed after the start", lambda: frame.childCount == 1)
    time.sleep(0.5)
    # A screen reader that kept a slot hears that it has no place now.
    if extents(kept, pyatspi.DESKTOP_COORDS) != (-1, -1, -1, -1):
        sys.exit(f"FAILED: the closed strip's slot lies at {extents(kept, pyatspi.DESKTOP_COORDS)}")
    count = open(launch_log).read().count("started")
    if count != 1:
        sys.exit(f"FAILED: the slot's file started {count} times")
    print(f"read {frame.childCount} node, then 11; slot {started} started once")


main()
