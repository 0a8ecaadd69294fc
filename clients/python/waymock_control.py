"""Steer a running Waymock simulator from Python (standard library only).

Start the simulator with a control channel::

    waymock-cli run --virtual --control

then, in a test suite::

    from waymock_control import Waymock

    with Waymock() as sim:
        sim.set(lat=48.5, lon=-11.25, speed_kmh=40)
        sim.fault("no-fix", seconds=3)
        print(sim.status()["fix"])

Every method sends one request line and returns the reply as a dict; a reply
with "ok": false raises WaymockError with the simulator's reason, and nothing
was changed.
"""

import json
import os
import socket

__all__ = ["Waymock", "WaymockError", "default_socket_path"]


class WaymockError(Exception):
    """The simulator refused a request; the message says why."""


def default_socket_path():
    """Where `waymock-cli run --control` listens unless given a path."""
    runtime = os.environ.get("XDG_RUNTIME_DIR", "")
    if runtime:
        return os.path.join(runtime, "waymock", "control.sock")
    return "/tmp/waymock-%d/control.sock" % os.geteuid()


class Waymock:
    """A connection to one simulator: a Unix socket path, or (host, port) for
    --control-tcp."""

    def __init__(self, address=None, timeout=10.0):
        if address is None:
            address = default_socket_path()
        if isinstance(address, tuple):
            self._socket = socket.create_connection(address, timeout=timeout)
        else:
            self._socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            self._socket.settimeout(timeout)
            self._socket.connect(address)
        self._pending = b""

    def close(self):
        self._socket.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def request(self, cmd, **fields):
        """Sends {"cmd": cmd, **fields} and returns the reply."""
        message = dict(fields, cmd=cmd)
        self._socket.sendall(json.dumps(message).encode() + b"\n")
        reply = self._read_line()
        if reply is None:
            raise WaymockError("The simulator closed the connection.")
        if not reply.get("ok"):
            raise WaymockError(reply.get("error", "The simulator refused the request."))
        return reply

    def status(self):
        return self.request("status")

    def set(self, **values):
        """lat, lon (decimal degrees, north and east positive), alt, speed_kmh,
        speed_knots, heading, pdop, hdop, vdop, satellites (a list of dicts
        with prn, elevation, azimuth, snr)."""
        return self.request("set", **values)

    def start(self):
        return self.request("start")

    def stop(self):
        return self.request("stop")

    def pause(self):
        return self.request("pause")

    def resume(self):
        return self.request("resume")

    def move(self, **fields):
        """speed_kmh and heading; or route (a file the simulator can read),
        with speed_kmh or track_time=True (and rate), and end (stop, loop,
        reverse); or steps=True to go back to the fixed steps."""
        return self.request("move", **fields)

    def fault(self, type, **parameters):
        """One of no-fix, frozen-fix, jump, bad-checksum, dropout,
        drop-sentence, truncated-line, time-shift, leap-second,
        satellites-lost, hdop-degrade, with seconds= or bursts= and the
        type's own parameters."""
        return self.request("fault", type=type, **parameters)

    def subscribe(self):
        """Yields the stream: {"event": "burst", "time", "text"} for every
        burst sent and {"event": "fault", "type", "phase", "run_seconds"} as
        faults begin and end."""
        self.request("subscribe")
        while True:
            event = self._read_line()
            if event is None:
                return
            yield event

    def _read_line(self):
        while b"\n" not in self._pending:
            chunk = self._socket.recv(65536)
            if not chunk:
                return None
            self._pending += chunk
        line, self._pending = self._pending.split(b"\n", 1)
        return json.loads(line)
