# SPDX-License-Identifier: GPL-3.0-or-later
"""What the astropy reference scripts share: astropy kept offline (no IERS download; the bundled Earth
orientation tables as far as they reach, the degraded-accuracy warning accepted beyond them), the program's
day numbers, and random station places."""
import datetime

from astropy.utils import iers

iers.conf.auto_download = False
iers.conf.auto_max_age = None
iers.conf.iers_degraded_accuracy = "warn"

DAY_ZERO = datetime.datetime(1899, 12, 30)


def day_number(t):
    """Days since 1899-12-30 00:00 of a datetime, whole seconds."""
    delta = t - DAY_ZERO
    return delta.days + delta.seconds / 86400


def place(rng, most_latitude=70.0):
    """A random station: latitude within +-most_latitude, any longitude, to 4 decimals."""
    return round(rng.uniform(-most_latitude, most_latitude), 4), round(rng.uniform(-180.0, 180.0), 4)
