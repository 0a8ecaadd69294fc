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

Only a simulator of your own user is talked to: on the Unix socket, the
folder must be yours (and private, for the default one) and the process
listening must run as you or root; on TCP (``Waymock(("127.0.0.1", port))``)
the client first says hello with the token the simulator wrote to a file only
you can read (``default_token_path(port)`` unless ``token_file`` names another).
"""

import json
import math
import os
import socket
import stat
import struct

__all__ = ["Waymock", "WaymockError", "default_socket_path", "default_token_path"]

# Far more than any reply; the stream's lines are a burst each.
_LONGEST_REPLY = 1024 * 1024


class WaymockError(Exception):
    """The simulator refused a request; the message says why."""


def default_socket_path():
    """Where `waymock-cli run --control` listens unless given a path."""
    runtime = os.environ.get("XDG_RUNTIME_DIR", "")
    if runtime:
        return os.path.join(runtime, "waymock", "control.sock")
    return "/tmp/waymock-%d/control.sock" % os.geteuid()


def default_token_path(port):
    """Where `waymock-cli run --control-tcp` writes the token for `port`."""
    return os.path.join(os.path.dirname(default_socket_path()), "tcp-%d.token" % port)


def _trusted(uid):
    return uid == os.geteuid() or uid == 0


def _check_folder(path):
    """Refuses a folder where another user could listen in the simulator's place."""
    folder = os.path.dirname(path) or "."
    info = os.lstat(folder)
    sticky = bool(info.st_mode & stat.S_ISVTX)
    if not stat.S_ISDIR(info.st_mode):
        raise WaymockError("The control folder %s is not a folder." % folder)
    if info.st_uid != os.geteuid() and not (info.st_uid == 0 and sticky):
        raise WaymockError("The control folder %s belongs to another user." % folder)
    if folder == os.path.dirname(default_socket_path()) and info.st_mode & 0o077:
        raise WaymockError("The control folder %s is open to other users; it must be private "
                           "(mode 0700)." % folder)
    if info.st_mode & (stat.S_IWGRP | stat.S_IWOTH) and not sticky:
        raise WaymockError("Other users may write in the control folder %s, so they could "
                           "replace the socket." % folder)


def _read_token(path):
    try:
        descriptor = os.open(path, os.O_RDONLY | os.O_NOFOLLOW | os.O_CLOEXEC)
    except OSError as error:
        raise WaymockError("Cannot read the control token %s (does a simulator listen on that "
                           "port with --control-tcp?). %s." % (path, error.strerror))
    with os.fdopen(descriptor, "rb") as token:
        info = os.fstat(token.fileno())
        if info.st_uid != os.geteuid():
            raise WaymockError("The control token %s belongs to another user; it is not used."
                               % path)
        if info.st_mode & 0o077:
            raise WaymockError("The control token %s is open to other users; it is not used."
                               % path)
        return token.read(257).decode("ascii", "replace").strip()


def _check_numbers(value, field):
    """JSON holds no NaN or infinity: refused here, naming the field."""
    if isinstance(value, float) and not math.isfinite(value):
        raise WaymockError('"%s" must be a finite number, not %r.' % (field, value))
    if isinstance(value, dict):
        for key, item in value.items():
            _check_numbers(item, key)
    if isinstance(value, (list, tuple)):
        for item in value:
            _check_numbers(item, field)


class Waymock:
    """A connection to one simulator: a Unix socket path, or (host, port) for
    --control-tcp with its token (read from `token_file`, by default
    default_token_path(port)). `timeout` bounds each wait for a reply."""

    def __init__(self, address=None, timeout=10.0, token_file=None):
        if address is None:
            address = default_socket_path()
        self._pending = b""
        if isinstance(address, tuple):
            token = _read_token(token_file or default_token_path(address[1]))
            self._socket = socket.create_connection(address, timeout=timeout)
            self.request("hello", token=token)
            return
        _check_folder(address)
        self._socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._socket.settimeout(timeout)
        self._socket.connect(address)
        credentials = self._socket.getsockopt(socket.SOL_SOCKET, socket.SO_PEERCRED,
                                              struct.calcsize("3i"))
        _, uid, _ = struct.unpack("3i", credentials)
        if not _trusted(uid):
            self._socket.close()
            raise WaymockError("The process listening at %s runs as another user (uid %d); "
                               "nothing was sent to it." % (address, uid))

    def close(self):
        self._socket.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def request(self, cmd, **fields):
        """Sends {"cmd": cmd, **fields} and returns the reply."""
        message = dict(fields, cmd=cmd)
        _check_numbers(message, cmd)
        self._socket.sendall(json.dumps(message, allow_nan=False).encode() + b"\n")
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
            if len(self._pending) > _LONGEST_REPLY:
                raise WaymockError("The simulator's reply is longer than 1 MiB; it is not read.")
            chunk = self._socket.recv(65536)
            if not chunk:
                return None
            self._pending += chunk
        line, self._pending = self._pending.split(b"\n", 1)
        return json.loads(line)
