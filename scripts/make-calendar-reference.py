#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reference values for the calendar tests, computed by astropy.

Writes tests/astro/data/calendar_days.csv: for three station pairs over 60 UTC days each (JO22IC with FN20XR
from 2026-12-07, a southern pair from 2027-06-01, a far northern pair from 2031-03-01), per day: the Moon's
highest airless elevation at the home station and when, the hours it stands above 5 degrees there, the hours
above 5 degrees at both stations at once, the same hours at home under the horizon mask MASK (the lowest
usable elevation the higher of 5 degrees and the mask, straight lines between its points through north),
and whether the Moon's perigee or apogee (least or greatest geocentric distance) falls within the day.

Elevations and azimuths come from the Moon's place in the terrestrial frame (get_body transformed to ITRS)
seen from the station's WGS-84 position against its ellipsoid normal, sampled every 30 s; an edge is
interpolated between samples, the highest point fitted by a parabola through the best sample and its
neighbours. The geocentric distance is get_body's, sampled every 30 s.

Usage: scripts/make-calendar-reference.py           (rewrite the table, about a minute)
       scripts/make-calendar-reference.py --check   (recompute the first pair's first 3 days and compare:
                                                     elevations within 0.005 degree, hours within 10 s)
"""
import datetime
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from astropy_offline import check_or_write, day_number  # noqa: E402

import astropy  # noqa: E402
import astropy.units as u  # noqa: E402
import numpy as np  # noqa: E402
from astropy.coordinates import ITRS, EarthLocation, get_body  # noqa: E402
from astropy.time import Time, TimeDelta  # noqa: E402

DAYS = 60
STEP_S = 30
MIN_EL = 5.0
MASK = [(0.0, 10.0), (90.0, 25.0), (180.0, 3.0), (270.0, 15.0)]
PAIRS = [
    (datetime.datetime(2026, 12, 7), (52.0 + 2.5 * 2.5 / 60, 4.0 + 8.5 * 5 / 60),
     (40.0 + 17.5 * 2.5 / 60, -76.0 + 23.5 * 5 / 60)),
    (datetime.datetime(2027, 6, 1), (-33.9, 151.2), (-26.2, 28.0)),
    (datetime.datetime(2031, 3, 1), (64.1, -21.9), (35.7, 139.7)),
]
CHECK_DAYS = 3


def mask_at(azimuth):
    az = np.array([p[0] for p in MASK] + [MASK[0][0] + 360])
    el = np.array([p[1] for p in MASK] + [MASK[0][1]])
    return np.interp(np.mod(azimuth, 360.0), az, el)


class Observer:
    def __init__(self, latitude, longitude):
        loc = EarthLocation.from_geodetic(longitude * u.deg, latitude * u.deg, 0 * u.m, ellipsoid="WGS84")
        self.place = np.array([loc.x.to(u.m).value, loc.y.to(u.m).value, loc.z.to(u.m).value])[:, None]
        lat, lon = np.radians(latitude), np.radians(longitude)
        self.up = np.array([np.cos(lat) * np.cos(lon), np.cos(lat) * np.sin(lon), np.sin(lat)])[:, None]
        self.east = np.array([-np.sin(lon), np.cos(lon), 0.0])[:, None]
        self.north = np.array([-np.sin(lat) * np.cos(lon), -np.sin(lat) * np.sin(lon), np.cos(lat)])[:, None]

    def seen(self, moon):
        d = moon - self.place
        elevation = np.degrees(np.arcsin((d * self.up).sum(0) / np.linalg.norm(d, axis=0)))
        azimuth = np.mod(np.degrees(np.arctan2((d * self.east).sum(0), (d * self.north).sum(0))), 360.0)
        return elevation, azimuth


def hours_above(margin, seconds):
    """Hours with margin > 0 between the first and the last sample, edges interpolated."""
    a, b = margin[:-1], margin[1:]
    length = seconds[1:] - seconds[:-1]
    both = (a > 0) & (b > 0)
    total = length[both].sum()
    rise = (a <= 0) & (b > 0)
    total += (length * b / (b - a))[rise].sum()
    fall = (a > 0) & (b <= 0)
    total += (length * a / (a - b))[fall].sum()
    return total / 3600


def rows_for(start, home, dx, days):
    seconds = np.arange(0, days * 86400 + STEP_S, STEP_S, dtype=float)
    # One sample before and after, for the distance's extremes at the ends.
    seconds = np.concatenate([[-STEP_S], seconds, [days * 86400 + STEP_S]])
    times = Time(start.isoformat(), scale="utc") + TimeDelta(seconds, format="sec")
    body = get_body("moon", times)
    distance = body.distance.to(u.km).value
    moon = body.transform_to(ITRS(obstime=times)).cartesian.xyz.to(u.m).value
    el_home, az_home = Observer(*home).seen(moon)
    el_dx, _ = Observer(*dx).seen(moon)
    least = [i for i in range(1, len(seconds) - 1) if distance[i] < distance[i - 1] and distance[i] <= distance[i + 1]]
    most = [i for i in range(1, len(seconds) - 1) if distance[i] > distance[i - 1] and distance[i] >= distance[i + 1]]
    lines = []
    per_day = 86400 // STEP_S
    for day in range(days):
        first = 1 + day * per_day
        span = slice(first, first + per_day + 1)
        s, e = seconds[span] - day * 86400, el_home[span]
        k = int(np.argmax(e))
        highest, at = e[k], s[k]
        if 0 < k < len(e) - 1:
            denominator = e[k - 1] - 2 * e[k] + e[k + 1]
            if denominator < 0:
                shift = 0.5 * (e[k - 1] - e[k + 1]) / denominator
                highest = e[k] - 0.25 * (e[k - 1] - e[k + 1]) * shift
                at = s[k] + shift * STEP_S
        home_margin = e - MIN_EL
        mutual = np.minimum(home_margin, el_dx[span] - MIN_EL)
        masked = e - np.maximum(MIN_EL, mask_at(az_home[span]))
        start_day = day_number(start) + day
        lines.append("%.8f,%.4f,%.4f,%.4f,%.4f,%.4f,%.8f,%.5f,%.5f,%.5f,%d,%d" % (
            start_day, home[0], home[1], dx[0], dx[1], highest, start_day + at / 86400,
            hours_above(home_margin, s), hours_above(mutual, s), hours_above(masked, s),
            any(first <= i < first + per_day for i in least), any(first <= i < first + per_day for i in most)))
    return lines


def table(days, pairs):
    lines = ["# The Moon's days from astropy %s (airless, WGS-84, height 0), written by "
             "scripts/make-calendar-reference.py" % astropy.__version__,
             "# hours above %.0f degrees; masked: under the mask %s; perigee/apogee: 1 when it falls in the day"
             % (MIN_EL, " ".join("%g:%g" % p for p in MASK)),
             "day_number,lat_a,lon_a,lat_b,lon_b,highest_el,highest_day_number,hours_up,mutual_hours,"
             "masked_hours,perigee,apogee"]
    for start, home, dx in pairs:
        lines += rows_for(start, home, dx, days)
    return lines


def rows(lines):
    return [line.split(",") for line in lines if not line.startswith("#")][1:]


def check(data):
    with open(os.path.join(data, "calendar_days.csv"), encoding="ascii") as committed_file:
        committed = rows(committed_file.read().splitlines())[:CHECK_DAYS]
    fresh = rows(table(CHECK_DAYS, PAIRS[:1]))
    problems = []
    for old, new in zip(committed, fresh):
        same = old[:5] == new[:5] and old[10:] == new[10:] and abs(float(old[5]) - float(new[5])) <= 0.005
        same = same and all(abs(float(o) - float(n)) * 3600 <= 10 for o, n in zip(old[7:10], new[7:10]))
        if not same:
            problems.append("committed %s, astropy %s" % (",".join(old), ",".join(new)))
    return problems


def write(data):
    with open(os.path.join(data, "calendar_days.csv"), "w", encoding="ascii", newline="\n") as out:
        out.write("\n".join(table(DAYS, PAIRS)) + "\n")


if __name__ == "__main__":
    check_or_write("make-calendar-reference",
                   os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "astro", "data"), check, write)
