"""Reads NMEA lines on standard input with pynmea2 (checksums checked) and
prints, per line, one JSON object with what pynmea2 made of it."""
import json
import sys

import pynmea2


def value(message, name):
    """The attribute as JSON can carry it, or the error it raised."""
    try:
        v = getattr(message, name)
    except Exception as e:  # pynmea2 raises from its computed properties
        return {"error": type(e).__name__}
    if v is None or isinstance(v, (bool, int, float, str)):
        return v
    return str(v)


FIELDS = {
    "GGA": ["timestamp", "latitude", "longitude", "gps_qual", "num_sats", "horizontal_dil",
            "altitude", "altitude_units", "geo_sep", "geo_sep_units"],
    "GLL": ["latitude", "longitude", "timestamp", "status", "faa_mode"],
    "RMC": ["timestamp", "status", "latitude", "longitude", "spd_over_grnd", "true_course",
            "datestamp", "mag_variation", "mag_var_dir", "datetime"],
    "VTG": ["true_track", "mag_track", "spd_over_grnd_kts", "spd_over_grnd_kmph", "faa_mode"],
    "GSA": ["mode", "mode_fix_type", "pdop", "hdop", "vdop"]
           + ["sv_id%02d" % i for i in range(1, 13)],
    "GSV": ["num_messages", "msg_num", "num_sv_in_view"]
           + [f % i for i in range(1, 5)
              for f in ("sv_prn_num_%d", "elevation_deg_%d", "azimuth_%d", "snr_%d")],
    "ZDA": ["timestamp", "day", "month", "year", "datestamp"],
}

for line in sys.stdin.buffer.read().decode("ascii").split("\r\n"):
    if not line:
        continue
    try:
        message = pynmea2.parse(line, check=True)
    except pynmea2.ParseError as e:
        print(json.dumps({"line": line, "error": type(e).__name__}))
        continue
    result = {"line": line, "talker": message.talker, "type": message.sentence_type}
    for name in FIELDS.get(message.sentence_type, []):
        result[name] = value(message, name)
    print(json.dumps(result))
