#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reference values for the EME planning tests, computed by astropy.

Writes two tables:
- tests/astro/data/plan_range_rates.csv: 200 random instants (2000-2040, whole seconds) and station pairs
  (latitude within +-70 degrees, any longitude, height 0), the topocentric range rate of the Moon at each
  station in m/s: the change of get_body()'s topocentric distance over +-1 s (the observer turns with the
  Earth, so the rotation is included).
- tests/astro/data/plan_windows.csv: for 8 random station pairs over 3 days each, the instants at which the
  Moon rises above or sinks below 5 degrees of airless elevation at both stations at once (the lower of
  the two elevations crossing 5 degrees), found on a 30 s grid and interpolated linearly.

Runs offline with Debian's python3-astropy (no IERS download; the degraded-accuracy warning is accepted).

Usage: scripts/make-plan-reference.py
"""
import datetime
import os
import random
import warnings

from astropy.utils import iers

iers.conf.auto_download = False
iers.conf.auto_max_age = None
iers.conf.iers_degraded_accuracy = "warn"

import astropy  # noqa: E402
import astropy.units as u  # noqa: E402
import numpy as np  # noqa: E402
from astropy.coordinates import AltAz, EarthLocation, get_body  # noqa: E402
from astropy.time import Time, TimeDelta  # noqa: E402

SEED = 20261208
DAY_ZERO = datetime.datetime(1899, 12, 30)
FIRST = datetime.datetime(2000, 1, 1)
LAST = datetime.datetime(2040, 1, 1)
RATES = 200
PAIRS = 8
DAYS = 3
STEP_S = 30
MIN_EL = 5.0


def day_number(t):
    delta = t - DAY_ZERO
    return delta.days + delta.seconds / 86400


def place(rng):
    return round(rng.uniform(-70.0, 70.0), 4), round(rng.uniform(-180.0, 180.0), 4)


def range_rates(rng, out):
    span = int((LAST - FIRST).total_seconds())
    instants = [FIRST + datetime.timedelta(seconds=rng.randrange(span)) for _ in range(RATES)]
    a = [place(rng) for _ in range(RATES)]
    b = [place(rng) for _ in range(RATES)]
    times = Time([t.isoformat() for t in instants], scale="utc")
    rates = []
    for station in (a, b):
        loc = EarthLocation.from_geodetic([s[1] for s in station] * u.deg, [s[0] for s in station] * u.deg,
                                          0 * u.m, ellipsoid="WGS84")
        after = get_body("moon", times + TimeDelta(1, format="sec"), location=loc).distance.to(u.m).value
        before = get_body("moon", times - TimeDelta(1, format="sec"), location=loc).distance.to(u.m).value
        rates.append((after - before) / 2)
    out.write("# Topocentric range rates of the Moon from astropy %s (get_body distance, +-1 s), written by "
              "scripts/make-plan-reference.py\n" % astropy.__version__)
    out.write("# longitudes east-positive, height 0 on WGS-84; rates in m/s, positive receding\n")
    out.write("utc,day_number,lat_a,lon_a,lat_b,lon_b,rate_a,rate_b\n")
    for i, t in enumerate(instants):
        out.write("%sZ,%.8f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f\n" % (
            t.isoformat(), day_number(t), a[i][0], a[i][1], b[i][0], b[i][1], rates[0][i], rates[1][i]))


def windows(rng, out):
    out.write("# Mutual Moon windows above %.0f degrees (airless) from astropy %s, %d days from the start, "
              "written by scripts/make-plan-reference.py\n" % (MIN_EL, astropy.__version__, DAYS))
    out.write("# edge: rise or set of the lower of the two elevations through the minimum, as a day number\n")
    out.write("start_day_number,lat_a,lon_a,lat_b,lon_b,edge,edge_day_number\n")
    span = int((LAST - FIRST).total_seconds() / 86400)
    steps = DAYS * 86400 // STEP_S + 1
    for _ in range(PAIRS):
        start = FIRST + datetime.timedelta(days=rng.randrange(span))
        a, b = place(rng), place(rng)
        times = Time(start.isoformat(), scale="utc") + TimeDelta(np.arange(steps) * STEP_S, format="sec")
        lowest = None
        for station in (a, b):
            loc = EarthLocation.from_geodetic(station[1] * u.deg, station[0] * u.deg, 0 * u.m, ellipsoid="WGS84")
            alt = get_body("moon", times, location=loc).transform_to(
                AltAz(obstime=times, location=loc, pressure=0 * u.hPa)).alt.deg
            lowest = alt if lowest is None else np.minimum(lowest, alt)
        margin = lowest - MIN_EL
        for i in range(steps - 1):
            if (margin[i] > 0) == (margin[i + 1] > 0):
                continue
            fraction = margin[i] / (margin[i] - margin[i + 1])
            edge = day_number(start) + (i + fraction) * STEP_S / 86400
            out.write("%.8f,%.4f,%.4f,%.4f,%.4f,%s,%.8f\n" % (
                day_number(start), a[0], a[1], b[0], b[1], "rise" if margin[i + 1] > 0 else "set", edge))


def main():
    warnings.simplefilter("ignore")
    rng = random.Random(SEED)
    data = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "astro", "data")
    with open(os.path.join(data, "plan_range_rates.csv"), "w", encoding="ascii", newline="\n") as out:
        range_rates(rng, out)
    with open(os.path.join(data, "plan_windows.csv"), "w", encoding="ascii", newline="\n") as out:
        windows(rng, out)


if __name__ == "__main__":
    main()
