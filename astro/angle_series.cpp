// SPDX-License-Identifier: GPL-3.0-or-later
#include "angle_series.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <limits>

#include "astro_math.h"

namespace angle_series {

namespace am = astro_math::unchecked;

double Narrow(long double x) {
    // A conversion of a value beyond the double range would be undefined; make it the overflow the
    // processor reports for it.
    if (std::fabs(x) > std::numeric_limits<double>::max()) {
        std::feraiseexcept(FE_OVERFLOW);
        return x > 0 ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity();
    }
    return static_cast<double>(x);
}

UnitTurn TurnOf(long double degrees) {
    const double radians = Narrow(am::DegToRad(am::NormalizeDegrees(degrees)));
    return {std::cos(radians), std::sin(radians)};
}

long double ArcSinOfSineDeg(long double x) {
    return am::ArcSinDeg(std::clamp(x, -1.0L, 1.0L));
}

}  // namespace angle_series
