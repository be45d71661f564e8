#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reference values of the EME path figures (echo spread, polarisation offset, Sun-Moon angle, sky
temperature, degradation), computed with astropy.

Writes tests/astro/data/path_reference.csv: 200 instants (the first 2026-12-21 00:00 UTC, the others random
between 2000 and 2040, whole seconds) for each of 10 station pairs (the first the centres of the locators
JO22IC and FN20XR, the others random: latitude within +-70 degrees, any longitude, height 0 on WGS-84). Each
row takes one of 144, 432, 1296 and 10368 MHz in turn, so every pair and every instant meets several.

- The Moon's topocentric place: get_body() seen from the station (GCRS about the observer), turned into the
  true equator and equinox of date (erfa.pnm06a) and then into the ecliptic of date with the true obliquity
  (erfa.obl06 + the nutation in obliquity of erfa.nut06a).
- Optical libration, as in Meeus' Astronomical Algorithms (chapter 53), from that ecliptic place:
  W = lambda - dpsi - Omega, tan A = (sin W cos b cos I - sin b sin I) / (cos W cos b), l = A - F,
  sin b' = -sin W cos b sin I - sin b cos I, I = 1.54242 degrees, Omega and F the Moon's mean node and mean
  argument of latitude (erfa.faom03, erfa.faf03).
- The apparent rotation: the libration's rate by central differences over +-60 s, the vector
  (cos b' dl/dt, db'/dt); spread = 4 R w f / c for one's own echo, 2 R |w_a + w_b| f / c for the path a->b.
- Parallactic angle q = atan2(-cos(lat) sin(A), sin(lat) cos(h) - cos(lat) sin(h) cos(A)), A and h the
  Moon's azimuth (from north through east) and elevation in astropy's AltAz without refraction; the offset
  q_b - q_a folded into -90..+90.
- Sun-Moon angle: the separation of get_body("sun") and get_body("moon") from the station.
- Sky temperature: the 144 MHz table astro/data/sky_temperature_144mhz.csv at bin round(lambda/2) mod 180
  (halves up), lambda the true-equinox longitude above, scaled as (T - 2.7) (144/f)^2.6 + 2.7.
- Degradation: 40 log10(d / 356400 km) + 10 log10((Tsky + 80) / (Tmin + 80)), Tmin = 13 (408/f)^2.6, d the
  Moon's distance from the station.
- Doppler rate of one's own echo: -2 f/c times the second difference of the distance over +-60 s.

Runs offline with Debian's python3-astropy (no IERS download; the degraded-accuracy warning is accepted), in
under a minute.

Usage: scripts/make-path-reference.py           (rewrite the table)
       scripts/make-path-reference.py --check   (recompute the first 40 rows and compare with the committed
                                                 table: every value within 1e-6 of its own size or 1e-4)
"""
import datetime
import math
import os
import random
import sys
import warnings

from astropy_offline import day_number, place  # first: astropy stays offline

import astropy  # noqa: I100
import astropy.units as u
import erfa
import numpy as np
from astropy.coordinates import AltAz, EarthLocation, get_body
from astropy.time import Time, TimeDelta

SEED = 20261221
FIRST = datetime.datetime(2000, 1, 1)
LAST = datetime.datetime(2040, 1, 1)
WORKED_INSTANT = datetime.datetime(2026, 12, 21)
INSTANTS = 200
PAIRS = 10
FREQUENCIES_MHZ = (144.0, 432.0, 1296.0, 10368.0)
# JO22IC and FN20XR: the centres of the two sub-squares (5' by 2.5').
FIXED_PAIR = ((52.0 + 2.5 * 2.5 / 60, 4.0 + 8.5 * 5 / 60), (40.0 + 17.5 * 2.5 / 60, -76.0 + 23.5 * 5 / 60))
HALF_SPAN_S = 60.0
MOON_RADIUS_KM = 1737.4
LIGHT_KM_S = 299792.458
PERIGEE_KM = 356400.0
LUNAR_EQUATOR_INCLINATION = math.radians(1.54242)
RECEIVER_K = 80.0
CHECK_ROWS = 40

HERE = os.path.dirname(os.path.abspath(__file__))
SKY_TABLE = os.path.join(HERE, "..", "astro", "data", "sky_temperature_144mhz.csv")
OUTPUT = os.path.join(HERE, "..", "tests", "astro", "data", "path_reference.csv")


def cases():
    """(instant, station a, station b, frequency) of every row, drawn in one order."""
    rng = random.Random(SEED)
    span = int((LAST - FIRST).total_seconds())
    instants = [WORKED_INSTANT] + [FIRST + datetime.timedelta(seconds=rng.randrange(span))
                                   for _ in range(INSTANTS - 1)]
    pairs = [FIXED_PAIR] + [(place(rng), place(rng)) for _ in range(PAIRS - 1)]
    rows = []
    for i, t in enumerate(instants):
        for j, (a, b) in enumerate(pairs):
            rows.append((t, a, b, FREQUENCIES_MHZ[(i + j) % len(FREQUENCIES_MHZ)]))
    return rows


def sky_table():
    with open(SKY_TABLE, encoding="ascii") as table:
        lines = [line for line in table.read().splitlines() if line and not line.startswith("#")][1:]
    kelvin = [0.0] * 180
    for line in lines:
        longitude, t144 = line.split(",")
        kelvin[(int(longitude) // 2) % 180] = float(t144)
    return kelvin


class Side:
    """One station of every row: the Moon's topocentric place at t-h, t, t+h and what follows from it."""

    def __init__(self, times, stations):
        loc = EarthLocation.from_geodetic([s[1] for s in stations] * u.deg, [s[0] for s in stations] * u.deg,
                                          0 * u.m, ellipsoid="WGS84")
        self.latitude = np.radians([s[0] for s in stations])
        self.libration, self.longitude, self.distance = [], [], []
        for offset in (-HALF_SPAN_S, 0.0, HALF_SPAN_S):
            at = times + TimeDelta(offset, format="sec")
            moon = get_body("moon", at, location=loc)
            lam, beta, distance = self.ecliptic_of_date(moon, at)
            self.libration.append(self.optical_libration(lam, beta, at))
            self.longitude.append(lam)
            self.distance.append(distance)
            if offset == 0.0:
                horizontal = moon.transform_to(AltAz(obstime=at, location=loc, pressure=0 * u.hPa))
                self.azimuth = horizontal.az.to(u.rad).value
                self.elevation = horizontal.alt.to(u.rad).value
                self.sun_moon = get_body("sun", at, location=loc).separation(moon).to(u.deg).value

    @staticmethod
    def ecliptic_of_date(moon, at):
        tt1, tt2 = at.tt.jd1, at.tt.jd2
        vector = moon.cartesian.xyz.to(u.km).value  # GCRS about the observer, shape (3, n)
        matrix = erfa.pnm06a(tt1, tt2)               # GCRS to the true equator and equinox of date
        true = np.einsum("nij,jn->in", matrix, vector)
        _, deps = erfa.nut06a(tt1, tt2)
        eps = erfa.obl06(tt1, tt2) + deps
        x, y, z = true
        lam = np.arctan2(y * np.cos(eps) + z * np.sin(eps), x) % (2 * np.pi)
        distance = np.sqrt(x * x + y * y + z * z)
        beta = np.arcsin((z * np.cos(eps) - y * np.sin(eps)) / distance)
        return lam, beta, distance

    @staticmethod
    def optical_libration(lam, beta, at):
        tt1, tt2 = at.tt.jd1, at.tt.jd2
        centuries = ((tt1 - 2451545.0) + tt2) / 36525.0
        dpsi, _ = erfa.nut06a(tt1, tt2)
        node = erfa.faom03(centuries)
        argument = erfa.faf03(centuries)
        w = lam - dpsi - node
        i = LUNAR_EQUATOR_INCLINATION
        a = np.arctan2(np.sin(w) * np.cos(beta) * np.cos(i) - np.sin(beta) * np.sin(i), np.cos(w) * np.cos(beta))
        lon = a - argument
        lat = np.arcsin(-np.sin(w) * np.cos(beta) * np.sin(i) - np.sin(beta) * np.cos(i))
        return lon, lat

    def rotation(self):
        """The apparent rotation (cos b dl/dt, db/dt), rad/s."""
        (l0, b0), (_, b1), (l2, b2) = self.libration
        dl = (l2 - l0 + np.pi) % (2 * np.pi) - np.pi
        return np.stack([np.cos(b1) * dl, b2 - b0]) / (2 * HALF_SPAN_S)

    def parallactic(self):
        a, h, lat = self.azimuth, self.elevation, self.latitude
        return np.arctan2(-np.cos(lat) * np.sin(a), np.sin(lat) * np.cos(h) - np.cos(lat) * np.sin(h) * np.cos(a))

    def doppler_rate(self, hertz):
        d0, d1, d2 = self.distance
        return -2 * hertz / LIGHT_KM_S * (d2 - 2 * d1 + d0) / HALF_SPAN_S ** 2

    def sky(self, kelvin144, mhz):
        longitude = np.degrees(self.longitude[1])
        bins = np.floor(longitude / 2 + 0.5).astype(int) % 180
        return longitude, (np.array([kelvin144[b] for b in bins]) - 2.7) * (144.0 / mhz) ** 2.6 + 2.7

    def degradation(self, sky, mhz):
        coldest = 13.0 * (408.0 / mhz) ** 2.6
        return 40 * np.log10(self.distance[1] / PERIGEE_KM) + 10 * np.log10((sky + RECEIVER_K) / (coldest + RECEIVER_K))


def table_lines(rows):
    times = Time([r[0].isoformat() for r in rows], scale="utc")
    mhz = np.array([r[3] for r in rows])
    hertz = mhz * 1e6
    a, b = Side(times, [r[1] for r in rows]), Side(times, [r[2] for r in rows])
    kelvin144 = sky_table()
    wa, wb = a.rotation(), b.rotation()
    spread_a = 4 * MOON_RADIUS_KM * np.linalg.norm(wa, axis=0) * hertz / LIGHT_KM_S
    spread_b = 4 * MOON_RADIUS_KM * np.linalg.norm(wb, axis=0) * hertz / LIGHT_KM_S
    dx_spread = 2 * MOON_RADIUS_KM * np.linalg.norm(wa + wb, axis=0) * hertz / LIGHT_KM_S
    offset = np.degrees(b.parallactic() - a.parallactic())
    offset = (offset + 90) % 180 - 90
    lon_a, sky_a = a.sky(kelvin144, mhz)
    lon_b, sky_b = b.sky(kelvin144, mhz)
    lines = ["# EME path figures from astropy %s (get_body, erfa), written by scripts/make-path-reference.py"
             % astropy.__version__,
             "# a: home, b: DX; longitudes east-positive, height 0 on WGS-84; lambda: the Moon's topocentric "
             "ecliptic longitude of date (degrees); spreads and Doppler rate in Hz and Hz/s; angles in degrees; "
             "sky in K; degradation in dB",
             "utc,day_number,lat_a,lon_a,lat_b,lon_b,mhz,spread_a,spread_b,dx_spread,polarisation_offset,"
             "sun_moon_a,sun_moon_b,lambda_a,lambda_b,sky_a,sky_b,degradation_a,degradation_b,doppler_rate_a"]
    degradation_a, degradation_b = a.degradation(sky_a, mhz), b.degradation(sky_b, mhz)
    doppler_rate_a = a.doppler_rate(hertz)
    for k, (t, pa, pb, f) in enumerate(rows):
        lines.append("%sZ,%.8f,%.4f,%.4f,%.4f,%.4f,%g,%.4f,%.4f,%.4f,%.5f,%.5f,%.5f,%.5f,%.5f,%.3f,%.3f,%.4f,%.4f,%.5f" % (
            t.isoformat(), day_number(t), pa[0], pa[1], pb[0], pb[1], f, spread_a[k], spread_b[k], dx_spread[k],
            offset[k], a.sun_moon[k], b.sun_moon[k], lon_a[k], lon_b[k], sky_a[k], sky_b[k], degradation_a[k],
            degradation_b[k], doppler_rate_a[k]))
    return lines


def rows_of(lines):
    return [line.split(",") for line in lines if not line.startswith("#")][1:]


def check():
    with open(OUTPUT, encoding="ascii") as table:
        committed = rows_of(table.read().splitlines())[:CHECK_ROWS]
    fresh = rows_of(table_lines(cases()[:CHECK_ROWS]))
    problems = []
    for old, new in zip(committed, fresh):
        if old[:7] != new[:7] or any(abs(float(o) - float(n)) > max(1e-4, 1e-6 * abs(float(n)))
                                     for o, n in zip(old[7:], new[7:])):
            problems.append("committed %s\n  astropy %s" % (",".join(old), ",".join(new)))
    return problems


def main():
    warnings.simplefilter("ignore")
    if sys.argv[1:] == ["--check"]:
        problems = check()
        if problems:
            sys.exit("make-path-reference: the committed table differs from what astropy computes:\n" +
                     "\n".join(problems))
        print("make-path-reference: the committed table agrees with astropy")
        return
    with open(OUTPUT, "w", encoding="ascii", newline="\n") as out:
        out.write("\n".join(table_lines(cases())) + "\n")


if __name__ == "__main__":
    main()
