#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reference range rates for the radio's Doppler tests, computed by astropy.

Writes tests/tracking/data/radio_doppler.csv: for four pairs of stations given by locator (each at the
centre of its sub-square, height 0 on WGS-84), every three hours over 30 days from 2026-12-07, the
topocentric range rate of the Moon at each station in m/s, as scripts/make-plan-reference.py computes it
(get_body()'s topocentric distance over +-1 s, the observer turning with the Earth). The tests turn them
into the one-way Doppler at 10368 MHz, -f0*rate/c, and the frequencies of each radio mode.

Runs offline with Debian's python3-astropy (no IERS download; the degraded-accuracy warning is accepted).

Usage: scripts/make-doppler-reference.py           (rewrite the table)
       scripts/make-doppler-reference.py --check   (recompute its first 20 rows and compare: within 1 mm/s)
"""
import datetime
import importlib.util
import os
import sys
import warnings

HERE = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location("plan_reference", os.path.join(HERE, "make-plan-reference.py"))
plan_reference = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(plan_reference)

PAIRS = [("JO22IC", "FN20XR"), ("QF56OD", "IO91WM"), ("PM95VR", "KP20LE"), ("GG87JC", "RE78IX")]
START = datetime.datetime(2026, 12, 7)
STEP = datetime.timedelta(hours=3)
COUNT = 240
CHECK_ROWS = 20
TABLE = os.path.join(HERE, "..", "tests", "tracking", "data", "radio_doppler.csv")


def centre(locator):
    """The centre of a six-character locator's sub-square: latitude, longitude east, degrees."""
    lon = (ord(locator[0]) - ord("A")) * 20 + int(locator[2]) * 2 + (ord(locator[4]) - ord("A")) * 5 / 60 - 180
    lat = (ord(locator[1]) - ord("A")) * 10 + int(locator[3]) + (ord(locator[5]) - ord("A")) * 2.5 / 60 - 90
    return lat + 1.25 / 60, lon + 2.5 / 60


def table_lines(limit=None):
    instants, homes, dxs, names = [], [], [], []
    for home, dx in PAIRS:
        for i in range(COUNT):
            instants.append(START + i * STEP)
            homes.append(centre(home))
            dxs.append(centre(dx))
            names.append((home, dx))
    if limit is not None:
        instants, homes, dxs, names = instants[:limit], homes[:limit], dxs[:limit], names[:limit]
    rates = plan_reference.rows(plan_reference.range_rate_lines(instants, homes, dxs))
    lines = ["# Topocentric range rates of the Moon from astropy %s (get_body distance, +-1 s), written by "
             "scripts/make-doppler-reference.py" % plan_reference.astropy.__version__,
             "# stations at the centres of their locators' sub-squares, height 0 on WGS-84; rates in m/s, "
             "positive receding",
             "utc,day_number,home,dx,rate_home,rate_dx"]
    for (home, dx), row in zip(names, rates):
        lines.append(",".join([row[0], row[1], home, dx, row[6], row[7]]))
    return lines


def main():
    warnings.simplefilter("ignore")
    if sys.argv[1:] == ["--check"]:
        with open(TABLE, encoding="ascii") as table:
            committed = plan_reference.rows(table.read().splitlines())[:CHECK_ROWS]
        fresh = plan_reference.rows(table_lines(CHECK_ROWS))
        problems = ["%s: committed %s, astropy %s" % (old[0], old[4:], new[4:]) for old, new in zip(committed, fresh)
                    if old[:4] != new[:4] or any(abs(float(o) - float(n)) > 1e-3 for o, n in zip(old[4:], new[4:]))]
        if problems or len(committed) != CHECK_ROWS:
            sys.exit("make-doppler-reference: the committed table differs from what astropy computes:\n" +
                     "\n".join(problems))
        print("make-doppler-reference: the committed table agrees with astropy")
        return
    os.makedirs(os.path.dirname(TABLE), exist_ok=True)
    with open(TABLE, "w", encoding="ascii", newline="\n") as out:
        out.write("\n".join(table_lines()) + "\n")


if __name__ == "__main__":
    main()
