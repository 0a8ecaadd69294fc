#!/usr/bin/env python3
"""Moves the simulated fix, cuts it for three seconds and watches it happen.

    waymock-cli run --virtual --control &
    python3 example.py [SOCKET]
"""

import sys

from waymock_control import Waymock, WaymockError

address = sys.argv[1] if len(sys.argv) > 1 else None
with Waymock(address) as sim:
    sim.set(lat=48.5, lon=-11.25, speed_kmh=40, heading=90)
    print("fix:", sim.status()["fix"])
    try:
        sim.set(lat=91, lon=0)
    except WaymockError as refused:
        print("refused:", refused)
    sim.fault("no-fix", seconds=3)

with Waymock(address) as watcher:
    for event in watcher.subscribe():
        if event["event"] == "fault":
            print("no fix", event["phase"], "at", event["run_seconds"], "s of the run")
            if event["phase"] == "ends":
                break
        else:
            gga = next(line for line in event["text"].split("\r\n") if line[3:6] == "GGA")
            print(event["time"], gga)
