// SPDX-License-Identifier: GPL-3.0-or-later
#include "astro_math.h"

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

namespace astro_math {

namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;
constexpr long double kOneOverPi = 1.0L / kPi;
constexpr long double kOneOver180 = 1.0L / 180.0L;
constexpr long double k180 = 180.0L;
constexpr long double kOneOver360 = 1.0L / 360.0L;
constexpr long double k360 = 360.0L;

constexpr long double kNaN = std::numeric_limits<long double>::quiet_NaN();

// Runs one helper between ClearFaults and ThrowOnFault.
template <typename... A>
long double Checked(long double (*helper)(A...), A... arguments) {
    ClearFaults();
    Fence(arguments...);
    long double result = helper(arguments...);
    ThrowOnFault(result);
    return result;
}

}  // namespace

InvalidOperation::InvalidOperation() : FloatingPointError("Invalid floating point operation") {}
DivisionByZero::DivisionByZero() : FloatingPointError("Floating point division by zero") {}
FloatingPointOverflow::FloatingPointOverflow() : FloatingPointError("Floating point overflow") {}

void ClearFaults() noexcept {
    std::feclearexcept(FE_ALL_EXCEPT);
}

void ThrowOnFlaggedFault() {
    int flags = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    if (flags & FE_INVALID) throw InvalidOperation();
    if (flags & FE_DIVBYZERO) throw DivisionByZero();
    if (flags & FE_OVERFLOW) throw FloatingPointOverflow();
}

namespace unchecked {

long double DegToRad(long double x) {
    return x * kOneOver180 * kPi;
}

long double RadToDeg(long double x) {
    return x * k180 * kOneOverPi;
}

long double NormalizeDegrees(long double x) {
    // The turn count is rounded to nearest, ties to even (the default rounding mode), and must fit the
    // 32-bit integer that holds it; converting an out-of-range value would be undefined, so it is
    // reported as the invalid operation the processor's integer store reports. llrint is a single integer
    // store, where nearbyint would save and restore the whole floating-point environment.
    const long double turns = x * kOneOver360;
    if (!(std::fabs(turns) <= 4294967296.0L)) {
        std::feraiseexcept(FE_INVALID);
        return kNaN;
    }
    const long long k = std::llrint(turns);
    if (k < INT32_MIN || k > INT32_MAX) {
        std::feraiseexcept(FE_INVALID);
        return kNaN;
    }
    // 64-bit product: k × 360 overflows 32 bits beyond about 6 million turns.
    x -= static_cast<long double>(k * 360);
    if (x < 0) x += k360;  // x was in [-180, 180], so one turn is enough
    return x;
}

long double TanRad(long double x) {
    return std::sin(x) / std::cos(x);
}

long double ArcTan2Rad(long double y, long double x) {
    if (x == 0) {
        if (std::isnan(y)) return y;
        return y > 0 ? kPi / 2 : (y < 0 ? -kPi / 2 : 0.0L);
    }
    long double a = std::atan(y / x);
    if (x < 0) a += kPi;
    return a;
}

long double ArcSinRad(long double x) {
    if (x == 1) return kPi / 2;
    if (x == -1) return -kPi / 2;
    return std::atan(x / std::sqrt(1 - x * x));  // |x| > 1: the square root flags the invalid operation
}

long double SinDeg(long double x) {
    return std::sin(DegToRad(NormalizeDegrees(x)));
}

long double CosDeg(long double x) {
    return std::cos(DegToRad(NormalizeDegrees(x)));
}

long double TanDeg(long double x) {
    return TanRad(DegToRad(NormalizeDegrees(x)));
}

long double ArcTan2Deg(long double y, long double x) {
    return RadToDeg(ArcTan2Rad(y, x));
}

long double ArcSinDeg(long double x) {
    return RadToDeg(ArcSinRad(x));
}

}  // namespace unchecked

long double DegToRad(long double x) {
    return Checked(unchecked::DegToRad, x);
}
long double RadToDeg(long double x) {
    return Checked(unchecked::RadToDeg, x);
}
long double NormalizeDegrees(long double x) {
    return Checked(unchecked::NormalizeDegrees, x);
}
long double TanRad(long double x) {
    return Checked(unchecked::TanRad, x);
}
long double ArcTan2Rad(long double y, long double x) {
    return Checked(unchecked::ArcTan2Rad, y, x);
}
long double ArcSinRad(long double x) {
    return Checked(unchecked::ArcSinRad, x);
}
long double SinDeg(long double x) {
    return Checked(unchecked::SinDeg, x);
}
long double CosDeg(long double x) {
    return Checked(unchecked::CosDeg, x);
}
long double TanDeg(long double x) {
    return Checked(unchecked::TanDeg, x);
}
long double ArcTan2Deg(long double y, long double x) {
    return Checked(unchecked::ArcTan2Deg, y, x);
}
long double ArcSinDeg(long double x) {
    return Checked(unchecked::ArcSinDeg, x);
}

}  // namespace astro_math
