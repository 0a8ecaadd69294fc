"""Drives the running window as a keyboard and screen-reader user would.

Finds the application "waymock" on the accessibility bus and runs the steps
given as arguments, in order:
  focus:NAME         gives the focus to the control whose accessible name is NAME
  key:KEYS           presses keys (xdotool names: alt+i, ctrl+a, Tab, F5)
  type:TEXT          types TEXT
  labels             prints "LABEL <accessible name>" for every label, as a
                     screen reader hears them
  until:PREFIX       waits (at most 20 s) for a label whose name begins with
                     PREFIX, and prints it as "LABEL <name>"
  show:NAME          prints "SHOW NAME|<text>|<value>|<description>|<on or
                     off>|<x>,<y>,<width>,<height>" for the control named NAME
  names:ROLE         prints "NAME <name>" for every control of ROLE ("push button")
  focused            prints "FOCUSED <role>|<name>|<x>,<y>,<width>,<height>" for
                     the control that has the focus
  wheel:NAME:N       turns the mouse wheel N notches down over the control named NAME
Controls are matched by their accessible name; a list box is named by the
entry it shows. Exits 1 with a message when a control is not found.
"""
import subprocess
import sys
import time

import pyatspi


def application():
    for _ in range(100):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == "waymock":
                return app
        time.sleep(0.1)
    sys.exit("waymock is not on the accessibility bus")


def descendants(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield child
            yield from descendants(child)


# The controls by name, as last seen: reading the whole tree over the bus
# takes a while, so it is read again only for a name not seen yet.
seen = {}


def control(app, name):
    if name not in seen:
        seen.clear()
        for node in descendants(app):
            if node.getRoleName() != "label":
                seen.setdefault(node.name, node)
    if name not in seen:
        sys.exit("no control named " + name)
    return seen[name]


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True)


def extents(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def shown(node):
    def attempt(read):
        try:
            return str(read())
        except NotImplementedError:
            return ""
    text = attempt(lambda: node.queryText().getText(0, -1))
    value = attempt(lambda: node.queryValue().currentValue)
    on = "on" if node.getState().contains(pyatspi.STATE_SENSITIVE) else "off"
    return "|".join([node.name, text, value, node.description, on,
                     ",".join(str(n) for n in extents(node))])


def run(app, kind, argument):
    if kind == "focus":
        control(app, argument).queryComponent().grabFocus()
    elif kind == "key":
        xdotool("key", "--delay", "30", argument)
    elif kind == "type":
        xdotool("type", "--delay", "30", argument)
    elif kind == "labels":
        for node in descendants(app):
            if node.getRoleName() == "label":
                print("LABEL " + node.name, flush=True)
    elif kind == "until":
        for _ in range(200):
            label = next((c.name for c in descendants(app)
                          if c.getRoleName() == "label" and c.name.startswith(argument)), None)
            if label is not None:
                print("LABEL " + label, flush=True)
                return
            time.sleep(0.1)
        sys.exit("no label began with " + argument)
    elif kind == "show":
        print("SHOW " + shown(control(app, argument)), flush=True)
    elif kind == "names":
        for node in descendants(app):
            if node.getRoleName() == argument:
                print("NAME " + node.name, flush=True)
    elif kind == "focused":
        node = next((c for c in descendants(app)
                     if c.getState().contains(pyatspi.STATE_FOCUSED)), None)
        print("FOCUSED " + ("" if node is None else node.getRoleName() + "|" + node.name + "|" +
                            ",".join(str(n) for n in extents(node))), flush=True)
    elif kind == "wheel":
        name, _, notches = argument.rpartition(":")
        x, y, width, height = extents(control(app, name))
        xdotool("mousemove", "--sync", str(x + width // 2), str(y + height // 2))
        xdotool("click", "--repeat", notches, "--delay", "50", "5")
    else:
        sys.exit("unknown step " + kind)


def main(steps):
    app = application()
    xdotool("search", "--sync", "--onlyvisible", "--name", "^Waymock$", "windowfocus", "--sync")
    for step in steps:
        kind, _, argument = step.partition(":")
        run(app, kind, argument)
        # Let the window take what the step did before the next one.
        if kind in ("focus", "key", "type", "wheel"):
            time.sleep(0.15)


main(sys.argv[1:])
