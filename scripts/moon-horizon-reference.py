#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reference times at which the Moon's centre crosses the horizon, from astropy (offline).

The topocentric apparent Moon (get_body, then AltAz with pressure 0: no refraction) is sampled
every minute from each start instant; the first change of sign of the altitude is refined by
bisection to a second. Prints one C++ table row per case for tests/astro/moon_rise_set_test.cpp:
latitude, east longitude, start (UTC), crossing (UTC), rising.
"""
import warnings

import numpy as np
from astropy import units as u
from astropy.coordinates import AltAz, EarthLocation, get_body
from astropy.time import Time
from astropy.utils import iers

iers.conf.auto_download = False
iers.conf.auto_max_age = None
iers.conf.iers_degraded_accuracy = "warn"
warnings.simplefilter("ignore")

CASES = [  # latitude, east longitude, start instant (UTC)
    (52.0833, 4.6667, "2023-03-22T12:00:00"),
    (52.0833, 4.6667, "2026-12-07T06:00:00"),
    (-33.8750, 151.2083, "2024-07-01T00:00:00"),
    (0.0417, -78.5000, "2025-01-15T18:30:00"),
    (60.1667, 24.9167, "2024-12-24T09:00:00"),
    (40.0000, -105.0000, "2030-05-05T05:05:00"),
    (-45.0000, 170.0000, "1999-08-11T11:00:00"),
    (35.6667, 139.7500, "2021-05-26T10:00:00"),
]


def altitude(location, times):
    moon = get_body("moon", times, location)
    return moon.transform_to(AltAz(obstime=times, location=location, pressure=0 * u.hPa)).alt.deg


def crossing(lat, lon, start):
    location = EarthLocation.from_geodetic(lon * u.deg, lat * u.deg, 0 * u.m)
    t0 = Time(start, scale="utc")
    times = t0 + np.arange(0, 2 * 1440) * u.min
    alt = altitude(location, times)
    index = int(np.nonzero(np.sign(alt[1:]) != np.sign(alt[:-1]))[0][0])
    low, high = times[index], times[index + 1]
    rising = alt[index] < alt[index + 1]
    for _ in range(12):
        middle = low + (high - low) / 2
        above = altitude(location, middle) > 0
        if above == rising:
            high = middle
        else:
            low = middle
    return (low + (high - low) / 2), rising


for lat, lon, start in CASES:
    when, rising = crossing(lat, lon, start)
    print(f'    {{{lat:.4f}, {lon:.4f}, "{start}Z", "{when.utc.isot[:19]}Z", {"true" if rising else "false"}}},')
