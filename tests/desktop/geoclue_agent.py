#!/usr/bin/python3
"""A GeoClue agent that lets every application have the location it asks
for: the desktop's agent, which would ask the user, stands aside in a test
that runs the location service on a private system bus.

    DBUS_SYSTEM_BUS_ADDRESS=... geoclue_agent.py AGENT-ID

AGENT-ID must be in the [agent] whitelist of geoclue.conf. Waits for the
service, and prints "ready" once it has taken the agent.
"""

import sys

from gi.repository import Gio, GLib

INTERFACE = """<node><interface name="org.freedesktop.GeoClue2.Agent">
  <method name="AuthorizeApp">
    <arg name="desktop_id" type="s" direction="in"/>
    <arg name="req_accuracy_level" type="u" direction="in"/>
    <arg name="authorized" type="b" direction="out"/>
    <arg name="allowed_accuracy_level" type="u" direction="out"/>
  </method>
  <property name="MaxAccuracyLevel" type="u" access="read"/>
</interface></node>"""
EXACT = 8


def authorize(connection, sender, path, interface, method, arguments, invocation):
    invocation.return_value(GLib.Variant("(bu)", (True, arguments.unpack()[1])))


def accuracy(connection, sender, path, interface, name):
    return GLib.Variant("u", EXACT)


bus = Gio.bus_get_sync(Gio.BusType.SYSTEM)
agent = Gio.DBusNodeInfo.new_for_xml(INTERFACE).interfaces[0]
bus.register_object("/org/freedesktop/GeoClue2/Agent", agent, authorize, accuracy, None)
loop = GLib.MainLoop()


def added(bus, result):
    # The service reads the agent's properties while it adds it, so the call
    # is answered from the loop.
    bus.call_finish(result)
    print("ready", flush=True)


def appeared(bus, name, owner):
    bus.call("org.freedesktop.GeoClue2", "/org/freedesktop/GeoClue2/Manager",
             "org.freedesktop.GeoClue2.Manager", "AddAgent",
             GLib.Variant("(s)", (sys.argv[1],)), None, Gio.DBusCallFlags.NONE, 10000, None, added)


# The service may still be starting: the agent waits for its name.
Gio.bus_watch_name_on_connection(bus, "org.freedesktop.GeoClue2", Gio.BusNameWatcherFlags.NONE,
                                 appeared, None)
loop.run()
