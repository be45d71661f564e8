#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reference values for the EME planning tests, computed by astropy.

Writes two tables:
- tests/astro/data/plan_range_rates.csv: 500 random instants (2000-2040, whole seconds) and station pairs
  (latitude within +-70 degrees, any longitude, height 0), the topocentric range rate of the Moon at each
  station in m/s: the change of get_body()'s topocentric distance over +-1 s (the observer turns with the
  Earth, so the rotation is included).
- tests/astro/data/plan_windows.csv: for 30 station pairs over 30 days each (the first pair the centres of
  the locators JO22IC and FN20XR from 2026-12-07, the others random), the instants at which the Moon rises
  above or sinks below 5 degrees of airless elevation at both stations at once (the lower of the two
  elevations crossing 5 degrees).

The elevations come from the Moon's place in the terrestrial frame (get_body transformed to ITRS) seen from
the station's WGS-84 position against its ellipsoid normal. They are sampled every 5 minutes; an interval is
split into ten while an edge lies in it, or while the Moon could cross a minimum and back within it (its
elevation changes by less than 0.3 degree a minute), down to 0.3 s, and the edge is interpolated there. No
window longer than a few seconds can hide between the samples.

Runs offline with Debian's python3-astropy (no IERS download; the degraded-accuracy warning is accepted), in
about two minutes.

Usage: scripts/make-plan-reference.py           (rewrite both tables)
       scripts/make-plan-reference.py --check   (recompute the first 20 range rates and the first pair's
                                                 first 3 days, and compare with the committed tables: rates
                                                 within 1 mm/s, edges within 1 s)
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
import numpy as np  # noqa: E402
from astropy.coordinates import ITRS, EarthLocation, get_body  # noqa: E402
from astropy.time import Time, TimeDelta  # noqa: E402

SEED = 20261208
DAY_ZERO = datetime.datetime(1899, 12, 30)
FIRST = datetime.datetime(2000, 1, 1)
LAST = datetime.datetime(2040, 1, 1)
RATES = 500
PAIRS = 30
DAYS = 30
MIN_EL = 5.0
COARSE_S = 300
FINEST_S = 0.3
SPLIT = 10
MOST_DEGREES_PER_SECOND = 0.3 / 60
# JO22IC and FN20XR: the centres of the two sub-squares (5' by 2.5'), the stations of the station window's test.
FIXED_PAIR = (datetime.datetime(2026, 12, 7), (52.0 + 2.5 * 2.5 / 60, 4.0 + 8.5 * 5 / 60),
              (40.0 + 17.5 * 2.5 / 60, -76.0 + 23.5 * 5 / 60))
CHECK_RATES = 20
CHECK_DAYS = 3


def day_number(t):
    delta = t - DAY_ZERO
    return delta.days + delta.seconds / 86400


def place(rng):
    return round(rng.uniform(-70.0, 70.0), 4), round(rng.uniform(-180.0, 180.0), 4)


def cases():
    """Every random choice, drawn in one order so that a subset can be recomputed."""
    rng = random.Random(SEED)
    span = int((LAST - FIRST).total_seconds())
    instants = [FIRST + datetime.timedelta(seconds=rng.randrange(span)) for _ in range(RATES)]
    a = [place(rng) for _ in range(RATES)]
    b = [place(rng) for _ in range(RATES)]
    pairs = [FIXED_PAIR]
    for _ in range(PAIRS - 1):
        pairs.append((FIRST + datetime.timedelta(days=rng.randrange(span // 86400)), place(rng), place(rng)))
    return (instants, a, b), pairs


def range_rate_lines(instants, a, b):
    times = Time([t.isoformat() for t in instants], scale="utc")
    rates = []
    for station in (a, b):
        loc = EarthLocation.from_geodetic([s[1] for s in station] * u.deg, [s[0] for s in station] * u.deg,
                                          0 * u.m, ellipsoid="WGS84")
        after = get_body("moon", times + TimeDelta(1, format="sec"), location=loc).distance.to(u.m).value
        before = get_body("moon", times - TimeDelta(1, format="sec"), location=loc).distance.to(u.m).value
        rates.append((after - before) / 2)
    lines = ["# Topocentric range rates of the Moon from astropy %s (get_body distance, +-1 s), written by "
             "scripts/make-plan-reference.py" % astropy.__version__,
             "# longitudes east-positive, height 0 on WGS-84; rates in m/s, positive receding",
             "utc,day_number,lat_a,lon_a,lat_b,lon_b,rate_a,rate_b"]
    for i, t in enumerate(instants):
        lines.append("%sZ,%.8f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f" % (
            t.isoformat(), day_number(t), a[i][0], a[i][1], b[i][0], b[i][1], rates[0][i], rates[1][i]))
    return lines


class Observer:
    """Stations on the WGS-84 ellipsoid, one per sample: their place and local vertical in ITRS."""

    def __init__(self, latitudes, longitudes):
        loc = EarthLocation.from_geodetic(np.asarray(longitudes) * u.deg, np.asarray(latitudes) * u.deg,
                                          0 * u.m, ellipsoid="WGS84")
        self.place = np.stack([loc.x.to(u.m).value, loc.y.to(u.m).value, loc.z.to(u.m).value])
        lat, lon = np.radians(latitudes), np.radians(longitudes)
        self.up = np.stack([np.cos(lat) * np.cos(lon), np.cos(lat) * np.sin(lon), np.sin(lat)])

    def elevation(self, moon):
        d = moon - self.place
        return np.degrees(np.arcsin((d * self.up).sum(0) / np.linalg.norm(d, axis=0)))


def margins(pair_index, seconds, pairs):
    """The Moon's elevation above the minimum at both stations of each sample's pair."""
    starts = np.array([day_number(pairs[i][0]) for i in pair_index]) * 86400.0
    epoch = Time(DAY_ZERO.isoformat(), scale="utc")
    times = epoch + TimeDelta(starts + seconds, format="sec")
    moon = get_body("moon", times).transform_to(ITRS(obstime=times)).cartesian.xyz.to(u.m).value
    result = []
    for side in (1, 2):
        station = Observer([pairs[i][side][0] for i in pair_index], [pairs[i][side][1] for i in pair_index])
        result.append(station.elevation(moon) - MIN_EL)
    return result


def may_change(a_home, a_dx, b_home, b_dx, length):
    """Whether the state (both above the minimum) may differ somewhere between two samples of equal state."""
    reach = MOST_DEGREES_PER_SECOND * length
    inside = (a_home > 0) & (a_dx > 0)
    dips = (a_home + b_home <= reach) | (a_dx + b_dx <= reach)
    deficit = lambda x: np.maximum(0.0, -x)  # noqa: E731
    rises = (deficit(a_home) + deficit(b_home) < reach) & (deficit(a_dx) + deficit(b_dx) < reach)
    return np.where(inside, dips, rises)


def edges(pairs, days):
    """(pair, "rise" or "set", seconds from the pair's start) of every mutual edge, in time order per pair."""
    steps = int(days * 86400 // COARSE_S)
    pair_index = np.repeat(np.arange(len(pairs)), steps + 1)
    seconds = np.tile(np.arange(steps + 1) * float(COARSE_S), len(pairs))
    home, dx = margins(pair_index, seconds, pairs)
    # Intervals between neighbouring samples of the same pair.
    same = pair_index[:-1] == pair_index[1:]
    ia = np.nonzero(same)[0]
    iv = dict(pair=pair_index[ia], t0=seconds[ia], t1=seconds[ia + 1], h0=home[ia], h1=home[ia + 1],
              d0=dx[ia], d1=dx[ia + 1])
    found = []
    length = float(COARSE_S)
    while len(iv["pair"]):
        in0 = (iv["h0"] > 0) & (iv["d0"] > 0)
        in1 = (iv["h1"] > 0) & (iv["d1"] > 0)
        crossing = in0 != in1
        if length <= FINEST_S:
            for k in np.nonzero(crossing)[0]:
                m0, m1 = min(iv["h0"][k], iv["d0"][k]), min(iv["h1"][k], iv["d1"][k])
                at = iv["t0"][k] + (iv["t1"][k] - iv["t0"][k]) * m0 / (m0 - m1)
                found.append((int(iv["pair"][k]), "rise" if in1[k] else "set", at))
            break
        keep = crossing | may_change(iv["h0"], iv["d0"], iv["h1"], iv["d1"], length)
        k = np.nonzero(keep)[0]
        length /= SPLIT
        inner = np.arange(1, SPLIT) * length
        sub_pair = np.repeat(iv["pair"][k], SPLIT - 1)
        sub_t = (iv["t0"][k][:, None] + inner[None, :]).ravel()
        sh, sd = margins(sub_pair, sub_t, pairs) if len(k) else (np.empty(0), np.empty(0))
        sh, sd = sh.reshape(len(k), SPLIT - 1), sd.reshape(len(k), SPLIT - 1)
        th = np.hstack([iv["h0"][k][:, None], sh, iv["h1"][k][:, None]])
        td = np.hstack([iv["d0"][k][:, None], sd, iv["d1"][k][:, None]])
        tt = np.hstack([iv["t0"][k][:, None], sub_t.reshape(len(k), SPLIT - 1), iv["t1"][k][:, None]])
        iv = dict(pair=np.repeat(iv["pair"][k], SPLIT), t0=tt[:, :-1].ravel(), t1=tt[:, 1:].ravel(),
                  h0=th[:, :-1].ravel(), h1=th[:, 1:].ravel(), d0=td[:, :-1].ravel(), d1=td[:, 1:].ravel())
    return sorted(found, key=lambda e: (e[0], e[2]))


def window_lines(pairs, days):
    lines = ["# Mutual Moon windows above %.0f degrees (airless) from astropy %s, %d days from the start, "
             "written by scripts/make-plan-reference.py" % (MIN_EL, astropy.__version__, days),
             "# edge: rise or set of the lower of the two elevations through the minimum, as a day number",
             "start_day_number,lat_a,lon_a,lat_b,lon_b,edge,edge_day_number"]
    for pair, kind, at in edges(pairs, days):
        start, a, b = pairs[pair]
        lines.append("%.8f,%.4f,%.4f,%.4f,%.4f,%s,%.8f" % (
            day_number(start), a[0], a[1], b[0], b[1], kind, day_number(start) + at / 86400))
    return lines


def rows(lines):
    return [line.split(",") for line in lines if not line.startswith("#")][1:]


def check(data):
    (instants, a, b), pairs = cases()
    problems = []
    with open(os.path.join(data, "plan_range_rates.csv"), encoding="ascii") as table:
        committed = rows(table.read().splitlines())[:CHECK_RATES]
    fresh = rows(range_rate_lines(instants[:CHECK_RATES], a[:CHECK_RATES], b[:CHECK_RATES]))
    for old, new in zip(committed, fresh):
        if old[:6] != new[:6] or any(abs(float(o) - float(n)) > 1e-3 for o, n in zip(old[6:], new[6:])):
            problems.append("range rate %s: committed %s, astropy %s" % (old[0], old[6:], new[6:]))
    with open(os.path.join(data, "plan_windows.csv"), encoding="ascii") as table:
        first = rows(table.read().splitlines())
    limit = float(first[0][0]) + CHECK_DAYS
    committed = [r for r in first if r[:5] == first[0][:5] and float(r[6]) < limit - 1 / 86400]
    fresh = rows(window_lines(pairs[:1], CHECK_DAYS))
    if len(committed) != len(fresh):
        problems.append("%d edges committed in the first %d days, astropy finds %d" % (
            len(committed), CHECK_DAYS, len(fresh)))
    for old, new in zip(committed, fresh):
        if old[:6] != new[:6] or abs(float(old[6]) - float(new[6])) * 86400 > 1:
            problems.append("edge: committed %s, astropy %s" % (",".join(old), ",".join(new)))
    return problems


def main():
    warnings.simplefilter("ignore")
    data = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "astro", "data")
    if sys.argv[1:] == ["--check"]:
        problems = check(data)
        if problems:
            sys.exit("make-plan-reference: the committed tables differ from what astropy computes:\n" +
                     "\n".join(problems))
        print("make-plan-reference: the committed tables agree with astropy")
        return
    (instants, a, b), pairs = cases()
    with open(os.path.join(data, "plan_range_rates.csv"), "w", encoding="ascii", newline="\n") as out:
        out.write("\n".join(range_rate_lines(instants, a, b)) + "\n")
    with open(os.path.join(data, "plan_windows.csv"), "w", encoding="ascii", newline="\n") as out:
        out.write("\n".join(window_lines(pairs, DAYS)) + "\n")


if __name__ == "__main__":
    main()
