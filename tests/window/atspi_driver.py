"""Drives the running window as a keyboard and screen-reader user would.

Finds the application "waymock" on the accessibility bus and runs the steps
given as arguments, in order:
  focus:NAME         gives the focus to the control whose accessible name is NAME
  key:KEYS           presses keys (xdotool names: alt+i, ctrl+a, Tab, F5)
  type:TEXT          types TEXT
  labels             prints "LABEL <accessible name>" for every label, as a
                     screen reader hears them
Exits 1 with a message when a control is not found.
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


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True)


def main(steps):
    app = application()
    xdotool("search", "--sync", "--onlyvisible", "--name", "^Waymock$", "windowfocus", "--sync")
    for step in steps:
        kind, _, argument = step.partition(":")
        if kind == "focus":
            control = next((c for c in descendants(app)
                            if c.name == argument and c.getRoleName() != "label"), None)
            if control is None:
                sys.exit("no control named " + argument)
            control.queryComponent().grabFocus()
        elif kind == "key":
            xdotool("key", "--delay", "30", argument)
        elif kind == "type":
            xdotool("type", "--delay", "30", argument)
        elif kind == "labels":
            for control in descendants(app):
                if control.getRoleName() == "label":
                    print("LABEL " + control.name, flush=True)
        else:
            sys.exit("unknown step " + step)
        # Let the window take each step before the next.
        time.sleep(0.15)


main(sys.argv[1:])
