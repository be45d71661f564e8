// SPDX-License-Identifier: GPL-3.0-or-later
// Angle arithmetic of the astronomy library: degree/radian conversion, reduction to one turn, and the
// trigonometric functions in degrees. All angles are long double (80-bit extended on x86-64).
//
// Floating-point faults. The processor flags of <cfenv> are cleared before a computation and tested after
// it; an invalid operation, a division by zero or an overflow throws the matching exception below, whose
// what() is the message the user sees. A NaN result counts as an invalid operation and an infinite result
// as an overflow, so no NaN or infinity ever comes back as a result. Underflow and inexact results pass
// silently.
//
// The limits of the helpers are defined as follows:
//  - ArcTan2Rad/ArcTan2Deg with x = 0 (either sign): +90° for y > 0, -90° for y < 0 and 0 for y = 0 (a
//    direction along the denominator's axis, e.g. the Moon due east or west; at y = x = 0 there is no
//    direction and 0 is as good as any). No fault.
//  - ArcSinRad/ArcSinDeg with |x| = 1: exactly ±90°. With |x| > 1 (or NaN): InvalidOperation.
//  - NormalizeDegrees with a turn count x/360 that does not fit a 32-bit integer (|x| ≳ 7.7e11°), NaN or
//    an infinity: InvalidOperation, as the processor reports an out-of-range integer conversion.
//  - TanRad where the cosine is exactly 0: DivisionByZero (no long double argument reaches it).
#pragma once

#include <cmath>
#include <stdexcept>

namespace astro_math {

// Base of the three floating-point faults, so one handler can catch them all.
class FloatingPointError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "Invalid floating point operation"
class InvalidOperation : public FloatingPointError {
public:
    InvalidOperation();
};

// "Floating point division by zero"
class DivisionByZero : public FloatingPointError {
public:
    DivisionByZero();
};

// "Floating point overflow"
class FloatingPointOverflow : public FloatingPointError {
public:
    FloatingPointOverflow();
};

// Clears the floating-point exception flags; call it first in a computation checked by ThrowOnFault.
void ClearFaults() noexcept;

// Throws for the first fault flagged since ClearFaults, in the order invalid, division by zero, overflow.
void ThrowOnFlaggedFault();

// Keeps the compiler from moving arithmetic that produces or consumes `values` across this point: without
// it a flag test could be scheduled before the operation that raises the flag.
template <typename T>
inline void FenceOne(T& value) noexcept {
    __asm__ __volatile__("" : "+m"(value) : : "memory");
}
template <typename... T>
inline void Fence(T&... values) noexcept {
    (FenceOne(values), ...);
}

// Throws for a flagged fault (see ThrowOnFlaggedFault), then InvalidOperation for a NaN among `results`
// and FloatingPointOverflow for an infinity among them. Call after the results have been computed.
template <typename... T>
inline void ThrowOnFault(T... results) {
    Fence(results...);
    ThrowOnFlaggedFault();
    if ((... || std::isnan(results))) throw InvalidOperation();
    if ((... || std::isinf(results))) throw FloatingPointOverflow();
}

// x degrees in radians: x × (1/180) × π.
long double DegToRad(long double x);
// x radians in degrees: x × 180 × (1/π).
long double RadToDeg(long double x);
// x degrees reduced to [0, 360]; 360 itself comes back only for a tiny negative x where x + 360 rounds up.
long double NormalizeDegrees(long double x);
// Tangent of x radians, as sin x / cos x.
long double TanRad(long double x);
// arctan(y / x), plus π when x < 0: radians in [-π/2, 3π/2] (3π/2 only by rounding, for x < 0 and a
// quotient beyond the arctangent's resolution), not reduced to one turn.
long double ArcTan2Rad(long double y, long double x);
// arctan(x / √(1 − x²)): radians in [-π/2, π/2].
long double ArcSinRad(long double x);
// Sine, cosine and tangent of x degrees, reduced to one turn first.
long double SinDeg(long double x);
long double CosDeg(long double x);
long double TanDeg(long double x);
// ArcTan2Rad in degrees: [-90, 270].
long double ArcTan2Deg(long double y, long double x);
// ArcSinRad in degrees: [-90, 90].
long double ArcSinDeg(long double x);

// The same routines without the fault check, for code that checks once around a longer computation
// (ClearFaults ... ThrowOnFault). A fault raises the processor flag and, where the value has no meaning,
// gives NaN.
namespace unchecked {
long double DegToRad(long double x);
long double RadToDeg(long double x);
long double NormalizeDegrees(long double x);
long double TanRad(long double x);
long double ArcTan2Rad(long double y, long double x);
long double ArcSinRad(long double x);
long double SinDeg(long double x);
long double CosDeg(long double x);
long double TanDeg(long double x);
long double ArcTan2Deg(long double y, long double x);
long double ArcSinDeg(long double x);
}  // namespace unchecked

}  // namespace astro_math
