// SPDX-License-Identifier: GPL-3.0-or-later
// The Earth-Moon-Earth path at one instant, in the figures an operator weighs before calling: how far the
// echo is smeared by the Moon's apparent rotation (libration spreading), how far apart two stations' linear
// polarisations are, how close the Sun stands to the Moon, how hot the sky behind the Moon is and what the
// path costs against the best case. Everything is seen from the station, on the precise topocentric Moon of
// pointing.h, without refraction.
//
// Day numbers are UTC days since 1899-12-30 00:00; angles are degrees; frequencies Hz (positive, else
// std::invalid_argument). A fault in the arithmetic throws as pointing::PrecisePosition does.
#pragma once

#include "pointing.h"

namespace eme_path {

// The Moon's mean radius, km.
inline constexpr long double kMoonRadiusKm = 1737.4L;
// The inclination of the lunar equator to the ecliptic, degrees.
inline constexpr long double kLunarEquatorInclination = 1.54242L;
// The receiving system's own noise temperature assumed by the degradation, K.
inline constexpr long double kReceiverKelvin = 80;
// The non-reciprocity shown when the offset makes the cosine vanish, dB.
inline constexpr long double kMostNonReciprocityDb = 25;

// The Moon seen from a station: its ecliptic place of date (true equinox, with the nutation) and distance.
struct MoonPlace {
    long double eclipticLongitude;  // λ, degrees in [0, 360)
    long double eclipticLatitude;   // β, degrees
    long double distanceKm;
};

// The Moon's apparent rotation seen from the station, rad/s: the rate at which the point of its surface
// nearest the observer (its optical libration, Meeus' Astronomical Algorithms, chapter 53) moves across the
// lunar surface, east (cos b·dl/dt) and north (db/dt). Only this rotation, across the line of sight,
// spreads the echo in frequency.
struct Rotation {
    long double east;
    long double north;
};

// The limb-to-limb Doppler spread, Hz: of one's own echo, 4·R·|ω|·f/c, and of the path between two
// stations, 2·R·|ω_home + ω_dx|·f/c.
long double EchoSpread(const Rotation& rotation, long double frequencyHz);
long double DxSpread(const Rotation& home, const Rotation& dx, long double frequencyHz);

// The parallactic angle, degrees: the angle at the Moon between the directions to the zenith and to the
// celestial pole, from the station's latitude and the Moon's azimuth (from north through east) and
// elevation; positive west of the meridian.
long double ParallacticAngle(long double latitude, long double azimuth, long double elevation);

// An angle between linear polarisations folded into [-90, 90).
long double FoldedPolarisation(long double degrees);

// The largest difference between the two directions of a path that a linear polarisation offset can
// cause, dB: −20·log10|cos 2·offset|, at most kMostNonReciprocityDb.
long double NonReciprocity(long double offsetDegrees);

// The angle between the centres of the Sun and the Moon seen from the station, degrees.
long double SunMoonAngle(double utcDayNumber, const pointing::Station& station);

// How fast the Doppler shift of one's own echo changes, Hz/s.
long double DopplerRate(double utcDayNumber, const pointing::Station& station, long double frequencyHz);

// The Moon's semi-diameter seen from distanceKm, degrees.
long double SemiDiameter(long double distanceKm);

// How much worse one's own echo is than with the Moon at perigee in front of the coldest sky, for a
// receiving system of kReceiverKelvin, dB: 40·log10(d/perigee) + 10·log10((Tsky + 80)/(Tmin + 80)).
long double Degradation(long double distanceKm, long double skyKelvin, long double frequencyHz);

// Everything at one station.
struct StationFigures {
    MoonPlace moon;
    Rotation rotation;
    long double parallacticAngle;  // degrees
    long double spreadHz;
    long double sunMoonDegrees;
    long double dopplerRateHzPerSecond;
    long double semiDiameterDegrees;
    long double skyKelvin;
    long double degradationDb;
};
StationFigures FiguresAt(double utcDayNumber, const pointing::Station& station, long double frequencyHz);

// Both stations and what lies between them.
struct PathFigures {
    StationFigures home;
    StationFigures dx;
    long double dxSpreadHz;
    long double polarisationOffsetDegrees;  // the DX station's parallactic angle less ours, folded
    long double nonReciprocityDb;
};
PathFigures PathAt(double utcDayNumber, const pointing::Station& home, const pointing::Station& dx,
                   long double frequencyHz);
// The same from the two stations' figures at one instant and frequency.
PathFigures PathBetween(const StationFigures& home, const StationFigures& dx, long double frequencyHz);

}  // namespace eme_path
