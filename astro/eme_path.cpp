// SPDX-License-Identifier: GPL-3.0-or-later
#include "eme_path.h"

#include <cmath>
#include <stdexcept>

#include "astro_math.h"
#include "astro_time.h"
#include "eme_plan.h"
#include "moon.h"
#include "sky_temperature.h"

namespace eme_path {

namespace {

namespace am = astro_math::unchecked;

constexpr double kSecond = 1.0 / 86400;
// Half the span of the central differences. The libration point drifts by a few thousandths of a degree
// in a minute, far above the rounding of the day number (microseconds), while the rates change over hours.
constexpr double kRotationHalfSpanSeconds = 60;
constexpr double kDopplerRateHalfSpanSeconds = 30;

void RequirePositive(long double frequencyHz) {
    if (!(frequencyHz > 0 && std::isfinite(frequencyHz)))
        throw std::invalid_argument("the frequency must be a positive number of hertz");
}

// The optical libration: the selenographic longitude and latitude of the point of the Moon's surface
// nearest the observer, degrees.
struct Libration {
    long double longitude;
    long double latitude;
};

// The Moon's topocentric place with what the horizon and the libration need of the instant.
struct Seen {
    MoonPlace moon;
    long double rightAscension, declination, siderealTime, nutationInLongitude;
};

Seen MoonSeen(double utcDayNumber, const pointing::Station& station) {
    const pointing::TopocentricApparent seen =
        pointing::TopocentricApparentUnchecked(pointing::Target::Moon, utcDayNumber, station);
    const long double alpha = seen.place.rightAscension, delta = seen.place.declination;
    const long double sinE = am::SinDeg(seen.nutation.epsilon), cosE = am::CosDeg(seen.nutation.epsilon);
    const long double sinA = am::SinDeg(alpha), cosA = am::CosDeg(alpha);
    const long double sinD = am::SinDeg(delta), cosD = am::CosDeg(delta);
    MoonPlace moon{};
    moon.eclipticLongitude = am::NormalizeDegrees(am::ArcTan2Deg(sinA * cosD * cosE + sinD * sinE, cosA * cosD));
    if (moon.eclipticLongitude >= 360) moon.eclipticLongitude -= 360;
    moon.eclipticLatitude = am::ArcSinDeg(sinD * cosE - cosD * sinE * sinA);
    moon.distanceKm = seen.place.distanceKm;
    return {moon, alpha, delta, seen.siderealTime, seen.nutation.deltaPsi};
}

Libration LibrationOf(double utcDayNumber, const pointing::Station& station) {
    // The mean elements first: their routine starts its own fault check.
    const moon::LunarElements elements = moon::MeanLunarElements(astro_time::TerrestrialTime(utcDayNumber));
    const long double argumentOfLatitude = elements.argumentOfLatitude;
    const long double node = elements.meanLongitude - argumentOfLatitude;
    const Seen seen = MoonSeen(utcDayNumber, station);
    // W: the Moon's longitude from the lunar equator's ascending node, on the mean equinox of date.
    const long double w = seen.moon.eclipticLongitude - seen.nutationInLongitude - node;
    const long double sinW = am::SinDeg(w), cosW = am::CosDeg(w);
    const long double sinB = am::SinDeg(seen.moon.eclipticLatitude), cosB = am::CosDeg(seen.moon.eclipticLatitude);
    const long double sinI = am::SinDeg(kLunarEquatorInclination), cosI = am::CosDeg(kLunarEquatorInclination);
    const long double a = am::ArcTan2Deg(sinW * cosB * cosI - sinB * sinI, cosW * cosB);
    return {std::remainder(a - argumentOfLatitude, 360.0L), am::ArcSinDeg(-sinW * cosB * sinI - sinB * cosI)};
}

Rotation RotationOf(double utcDayNumber, const pointing::Station& station) {
    const double before = utcDayNumber - kRotationHalfSpanSeconds * kSecond;
    const double after = utcDayNumber + kRotationHalfSpanSeconds * kSecond;
    const Libration early = LibrationOf(before, station), late = LibrationOf(after, station);
    // The day numbers actually used, so their rounding does not enter the rate.
    const long double seconds = (after - before) * 86400.0L;
    const long double latitude = (early.latitude + late.latitude) / 2;
    const long double east = std::remainder(late.longitude - early.longitude, 360.0L) * am::CosDeg(latitude);
    return {am::DegToRad(east) / seconds, am::DegToRad(late.latitude - early.latitude) / seconds};
}

long double ParallacticOf(const Seen& seen, const pointing::Station& station) {
    const sky_frames::HorizontalPosition horizontal = sky_frames::EquatorialToHorizontal(
        seen.rightAscension, seen.declination, seen.siderealTime, -station.longitudeEast, station.latitude);
    return ParallacticAngle(station.latitude, horizontal.azimuth + 180, horizontal.altitude);
}

// The angle between two directions given by right ascension and declination, degrees: from the chord,
// which keeps its precision at small angles.
long double Separation(long double alpha1, long double delta1, long double alpha2, long double delta2) {
    const long double dx = am::CosDeg(delta1) * am::CosDeg(alpha1) - am::CosDeg(delta2) * am::CosDeg(alpha2);
    const long double dy = am::CosDeg(delta1) * am::SinDeg(alpha1) - am::CosDeg(delta2) * am::SinDeg(alpha2);
    const long double dz = am::SinDeg(delta1) - am::SinDeg(delta2);
    const long double chord = std::sqrt(dx * dx + dy * dy + dz * dz);
    return 2 * am::ArcSinDeg(std::fmin(1.0L, chord / 2));
}

long double SunMoonOf(double utcDayNumber, const pointing::Station& station, const Seen& moon) {
    const pointing::TopocentricApparent sun =
        pointing::TopocentricApparentUnchecked(pointing::Target::Sun, utcDayNumber, station);
    return Separation(moon.rightAscension, moon.declination, sun.place.rightAscension, sun.place.declination);
}

long double Length(const Rotation& rotation) {
    return std::hypot(rotation.east, rotation.north);
}

}  // namespace

long double EchoSpread(const Rotation& rotation, long double frequencyHz) {
    RequirePositive(frequencyHz);
    return 4 * kMoonRadiusKm * Length(rotation) * frequencyHz / eme_plan::kLightKmPerSecond;
}

long double DxSpread(const Rotation& home, const Rotation& dx, long double frequencyHz) {
    RequirePositive(frequencyHz);
    const Rotation sum{home.east + dx.east, home.north + dx.north};
    return 2 * kMoonRadiusKm * Length(sum) * frequencyHz / eme_plan::kLightKmPerSecond;
}

long double ParallacticAngle(long double latitude, long double azimuth, long double elevation) {
    const long double sinPhi = am::SinDeg(latitude), cosPhi = am::CosDeg(latitude);
    const long double sinA = am::SinDeg(azimuth), cosA = am::CosDeg(azimuth);
    const long double sinH = am::SinDeg(elevation), cosH = am::CosDeg(elevation);
    return am::RadToDeg(std::atan2(-cosPhi * sinA, sinPhi * cosH - cosPhi * sinH * cosA));
}

long double FoldedPolarisation(long double degrees) {
    return degrees - 180 * std::floor((degrees + 90) / 180);
}

long double NonReciprocity(long double offsetDegrees) {
    const long double cosine = std::fabs(am::CosDeg(2 * offsetDegrees));
    const long double floor = std::pow(10.0L, -kMostNonReciprocityDb / 20);
    return cosine <= floor ? kMostNonReciprocityDb : -20 * std::log10(cosine);
}

long double SunMoonAngle(double utcDayNumber, const pointing::Station& station) {
    astro_math::ClearFaults();
    const long double angle = SunMoonOf(utcDayNumber, station, MoonSeen(utcDayNumber, station));
    astro_math::ThrowOnFault(angle);
    return angle;
}

long double DopplerRate(double utcDayNumber, const pointing::Station& station, long double frequencyHz) {
    RequirePositive(frequencyHz);
    const double before = utcDayNumber - kDopplerRateHalfSpanSeconds * kSecond;
    const double after = utcDayNumber + kDopplerRateHalfSpanSeconds * kSecond;
    return (eme_plan::EchoDoppler(after, station, frequencyHz) - eme_plan::EchoDoppler(before, station, frequencyHz)) /
           ((after - before) * 86400.0L);
}

long double SemiDiameter(long double distanceKm) {
    return am::ArcSinDeg(kMoonRadiusKm / distanceKm);
}

long double Degradation(long double distanceKm, long double skyKelvin, long double frequencyHz) {
    RequirePositive(frequencyHz);
    const long double coldest = sky_temperature::ColdestSky(frequencyHz);
    return eme_plan::SpreadingLossOverPerigee(distanceKm, distanceKm) +
           10 * std::log10((skyKelvin + kReceiverKelvin) / (coldest + kReceiverKelvin));
}

StationFigures FiguresAt(double utcDayNumber, const pointing::Station& station, long double frequencyHz) {
    RequirePositive(frequencyHz);
    StationFigures figures{};
    figures.rotation = RotationOf(utcDayNumber, station);
    figures.dopplerRateHzPerSecond = DopplerRate(utcDayNumber, station, frequencyHz);
    astro_math::ClearFaults();
    const Seen seen = MoonSeen(utcDayNumber, station);
    figures.moon = seen.moon;
    figures.parallacticAngle = ParallacticOf(seen, station);
    figures.sunMoonDegrees = SunMoonOf(utcDayNumber, station, seen);
    figures.semiDiameterDegrees = SemiDiameter(seen.moon.distanceKm);
    astro_math::ThrowOnFault(figures.rotation.east, figures.rotation.north, figures.moon.eclipticLongitude,
                             figures.moon.eclipticLatitude, figures.moon.distanceKm, figures.parallacticAngle,
                             figures.sunMoonDegrees, figures.semiDiameterDegrees);
    figures.spreadHz = EchoSpread(figures.rotation, frequencyHz);
    figures.skyKelvin = sky_temperature::SkyTemperature(seen.moon.eclipticLongitude, frequencyHz);
    figures.degradationDb = Degradation(seen.moon.distanceKm, figures.skyKelvin, frequencyHz);
    return figures;
}

PathFigures PathAt(double utcDayNumber, const pointing::Station& home, const pointing::Station& dx,
                   long double frequencyHz) {
    return PathBetween(FiguresAt(utcDayNumber, home, frequencyHz), FiguresAt(utcDayNumber, dx, frequencyHz),
                       frequencyHz);
}

PathFigures PathBetween(const StationFigures& home, const StationFigures& dx, long double frequencyHz) {
    PathFigures path{};
    path.home = home;
    path.dx = dx;
    path.dxSpreadHz = DxSpread(path.home.rotation, path.dx.rotation, frequencyHz);
    path.polarisationOffsetDegrees = FoldedPolarisation(path.dx.parallacticAngle - path.home.parallacticAngle);
    path.nonReciprocityDb = NonReciprocity(path.polarisationOffsetDegrees);
    return path;
}

}  // namespace eme_path
