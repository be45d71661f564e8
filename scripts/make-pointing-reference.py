#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reference positions of the Moon and the Sun for the precise pointing tests.

Draws 1000 instants between 1975 and 2045 (UTC, whole milliseconds) and 1000 places (latitude within
+-80 degrees, any longitude, height 0-3000 m above the WGS-84 ellipsoid), and writes for each the
topocentric apparent azimuth and elevation of the Moon and the Sun as astropy computes them: get_body()
(its built-in ephemeris) transformed to AltAz with pressure 0, i.e. without refraction.

Runs offline with Debian's python3-astropy: no IERS download is attempted; the bundled Earth orientation
tables are used as far as they reach and astropy's degraded-accuracy warning is accepted beyond them.

Usage: scripts/make-pointing-reference.py [OUTPUT.csv]   (default tests/astro/data/pointing_reference.csv)
       scripts/make-pointing-reference.py --check          (recompute and compare with the committed table:
                                                           same cases, angles within 1e-6 degree)
"""
import datetime
import os
import random
import sys
import warnings

from astropy.utils import iers

iers.conf.auto_download = False
iers.conf.auto_max_age = None
iers.conf.iers_degraded_accuracy = "warn"

import astropy  # noqa: E402
import astropy.units as u  # noqa: E402
from astropy.coordinates import AltAz, EarthLocation, get_body  # noqa: E402
from astropy.time import Time  # noqa: E402

COUNT = 1000
SEED = 20261207
DAY_ZERO = datetime.datetime(1899, 12, 30)
FIRST = datetime.datetime(1975, 1, 1)
LAST = datetime.datetime(2045, 1, 1)


def compute():
    """The table's lines: the header lines, then one line per case."""
    rng = random.Random(SEED)
    span_ms = int((LAST - FIRST).total_seconds() * 1000)
    instants, lats, lons, heights = [], [], [], []
    for _ in range(COUNT):
        instants.append(FIRST + datetime.timedelta(milliseconds=rng.randrange(span_ms)))
        lats.append(round(rng.uniform(-80.0, 80.0), 6))
        lons.append(round(rng.uniform(-180.0, 180.0), 6))
        heights.append(round(rng.uniform(0.0, 3000.0), 1))

    warnings.simplefilter("ignore")  # the degraded-accuracy and leap-second notices, expected offline
    times = Time([t.isoformat(timespec="milliseconds") for t in instants], scale="utc")
    place = EarthLocation.from_geodetic(lons * u.deg, lats * u.deg, heights * u.m, ellipsoid="WGS84")
    frame = AltAz(obstime=times, location=place, pressure=0 * u.hPa)
    moon = get_body("moon", times, location=place).transform_to(frame)
    sun = get_body("sun", times, location=place).transform_to(frame)

    lines = [
        "# Topocentric apparent positions from astropy " + astropy.__version__ +
        " (get_body, AltAz, pressure 0), written by scripts/make-pointing-reference.py",
        "# day_number: days since 1899-12-30 00:00 UTC; longitude east-positive; height metres "
        "above the WGS-84 ellipsoid; angles in degrees, azimuth from north through east",
        "utc,day_number,latitude,longitude,height,moon_azimuth,moon_elevation,sun_azimuth,sun_elevation",
    ]
    for i, t in enumerate(instants):
        delta = t - DAY_ZERO
        day_number = delta.days + (delta.seconds * 1000 + delta.microseconds // 1000) / 86400000
        lines.append("%s,%.10f,%.6f,%.6f,%.1f,%.7f,%.7f,%.7f,%.7f" % (
            t.isoformat(timespec="milliseconds") + "Z", day_number, lats[i], lons[i], heights[i],
            moon.az.deg[i], moon.alt.deg[i], sun.az.deg[i], sun.alt.deg[i]))
    return lines


def same(committed, computed):
    """Whether two tables hold the same cases with angles within 1e-6 degree."""
    if len(committed) != len(computed):
        return False
    for old, new in zip(committed, computed):
        if old.startswith("#") and new.startswith("#"):
            continue
        a, b = old.split(","), new.split(",")
        if len(a) != len(b) or a[:5] != b[:5]:
            return False
        if a[0] == "utc":
            continue
        for x, y in zip(a[5:], b[5:]):
            difference = abs(float(x) - float(y))
            if min(difference, 360 - difference) > 1e-6:
                return False
    return True


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    committed = os.path.join(here, "..", "tests", "astro", "data", "pointing_reference.csv")
    if sys.argv[1:] == ["--check"]:
        with open(committed, encoding="ascii") as table:
            if not same(table.read().splitlines(), compute()):
                sys.exit("make-pointing-reference: %s differs from what astropy computes" % committed)
        print("make-pointing-reference: %s agrees with astropy" % committed)
        return
    output = sys.argv[1] if len(sys.argv) > 1 else committed
    lines = compute()
    with open(output, "w", encoding="ascii", newline="\n") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
