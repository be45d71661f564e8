// SPDX-License-Identifier: GPL-3.0-or-later
#include "pointing.h"

#include <cmath>

#include "astro_math.h"
#include "astro_time.h"
#include "moon.h"
#include "sky_frames.h"
#include "sun.h"

namespace pointing {

namespace {

// The body's apparent geocentric place and distance at a dynamical-time day number.
struct GeocentricPlace {
    long double rightAscension, declination, distanceKm;
};

GeocentricPlace BodyPlace(Target target, double dynamicalDayNumber, const sky_frames::NutationValues& nutation) {
    if (target == Target::Sun) {
        const sun::SunApparent sun = sun::SunApparentPositionUnchecked(dynamicalDayNumber, nutation);
        return {sun.place.rightAscension, sun.place.declination, sun.distanceKm};
    }
    moon::MoonCoordinates record{};
    moon::MoonEclipticPosition(record, dynamicalDayNumber);
    return {record.rightAscension, record.declination, record.distance};
}

}  // namespace

TopocentricApparent TopocentricApparentUnchecked(Target target, double utcDayNumber, const Station& station) {
    const double dynamical = astro_time::TerrestrialTime(utcDayNumber);
    const sky_frames::NutationValues nutation = sky_frames::NutationAt(dynamical);
    const GeocentricPlace geocentric = BodyPlace(target, dynamical, nutation);

    // The Earth turns with Universal Time, taken as UTC.
    const long double siderealTime = sky_frames::ApparentSiderealTime(utcDayNumber, nutation);
    const sky_frames::GeocentricObserver observer =
        sky_frames::ObserverOnEllipsoid(station.latitude, station.heightMetres);
    return {
        sky_frames::TopocentricFromGeocentric(geocentric.rightAscension, geocentric.declination, geocentric.distanceKm,
                                              siderealTime, -station.longitudeEast, observer),
        nutation, siderealTime};
}

Direction PrecisePosition(Target target, double utcDayNumber, const Station& station, const Atmosphere& atmosphere) {
    astro_math::ClearFaults();
    astro_math::Fence(utcDayNumber);
    const TopocentricApparent seen = TopocentricApparentUnchecked(target, utcDayNumber, station);
    const sky_frames::TopocentricPlace& topocentric = seen.place;
    const sky_frames::HorizontalPosition horizontal =
        sky_frames::EquatorialToHorizontal(topocentric.rightAscension, topocentric.declination, seen.siderealTime,
                                           -station.longitudeEast, station.latitude);

    Direction direction{};
    direction.elevation = horizontal.altitude;
    if (atmosphere.refraction) {
        direction.elevation +=
            sky_frames::Refraction(horizontal.altitude, atmosphere.temperatureCelsius, atmosphere.pressureHpa);
    }
    direction.azimuth = horizontal.azimuth + 180.0L;
    if (direction.azimuth > 360.0L) direction.azimuth -= 360.0L;
    direction.distanceKm = topocentric.distanceKm;
    astro_math::ThrowOnFault(direction.elevation, direction.azimuth, direction.distanceKm);
    return direction;
}

}  // namespace pointing
