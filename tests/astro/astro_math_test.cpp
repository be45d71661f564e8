// SPDX-License-Identifier: GPL-3.0-or-later
#include "astro_math.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <string>

namespace {

using namespace astro_math;

constexpr long double kPi = std::numbers::pi_v<long double>;
constexpr long double kNaN = std::numeric_limits<long double>::quiet_NaN();
constexpr long double kInf = std::numeric_limits<long double>::infinity();

TEST(NormalizeDegrees, ReducesToOneTurnRoundingTheTurnCountToEven) {
    struct Case {
        long double in, out;
    };
    const Case cases[] = {
        {-30.0L, 330.0L},
        {180.0L, 180.0L},  // 0.5 turn rounds to 0
        {540.0L, 180.0L},  // 1.5 rounds to 2, leaving -180, lifted by one turn
        {900.0L, 180.0L},  // 2.5 rounds to 2
        {-180.0L, 180.0L},
        {360.0L, 0.0L},
        {0.0L, 0.0L},
        {720.0L, 0.0L},
        {-36946.83734L, 133.16266L},
        // Beyond 2^31 degrees the turn count times 360 no longer fits 32 bits, but the result stays exact.
        {720000000045.0L, 45.0L},
        {-720000000045.0L, 315.0L},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(NormalizeDegrees(c.in), c.out, 1e-9L) << static_cast<double>(c.in);
    }
    // A negative value so close to zero that one turn added rounds to a whole turn.
    EXPECT_EQ(NormalizeDegrees(-1e-30L), 360.0L);
}

TEST(ArcTan2Deg, CoversMinusNinetyToTwoSeventyWithoutReducing) {
    struct Case {
        long double y, x, degrees;
    };
    const Case cases[] = {
        {1, 1, 45},
        {1, -1, 135},
        {-1, -1, 225},
        {-1, 1, -45},
        {0, -1, 180},
        {0, 1, 0},
        // Zero denominator: the direction along the y axis, no fault.
        {1, 0, 90},
        {-1, 0, -90},
        {2, -0.0L, 90},
        {0, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(ArcTan2Deg(c.y, c.x), c.degrees, 1e-15L) << c.y << ", " << c.x;
        EXPECT_NEAR(ArcTan2Rad(c.y, c.x), c.degrees * kPi / 180, 1e-17L) << c.y << ", " << c.x;
    }
}

TEST(ArcSinDeg, IsExactAtTheEndsAndSteepNearThem) {
    EXPECT_NEAR(ArcSinDeg(0.5L), 30.0L, 1e-15L);
    EXPECT_NEAR(ArcSinDeg(-0.5L), -30.0L, 1e-15L);
    EXPECT_NEAR(ArcSinDeg(1.0L), 90.0L, 1e-15L);
    EXPECT_NEAR(ArcSinDeg(-1.0L), -90.0L, 1e-15L);
    // arcsin(-1 + e) = -90° + √(2e) rad to first order: about -89.9974377° for e = 1e-9.
    const long double nearEnd = ArcSinDeg(-1.0L + 1e-9L);
    EXPECT_GT(nearEnd, -90.0L);
    EXPECT_NEAR(nearEnd, -90.0L + std::sqrt(2e-9L) * 180 / kPi, 1e-9L);
}

TEST(DegreeTrigonometry, ReducesTheArgumentFirst) {
    EXPECT_NEAR(DegToRad(180.0L), kPi, 1e-18L);
    EXPECT_NEAR(RadToDeg(kPi), 180.0L, 1e-15L);
    EXPECT_EQ(SinDeg(390.0L), SinDeg(30.0L));
    EXPECT_EQ(CosDeg(-60.0L), CosDeg(300.0L));
    struct Case {
        long double degrees, sin, cos;
    };
    const Case cases[] = {{30, 0.5L, std::sqrt(3.0L) / 2},
                          {-30, -0.5L, std::sqrt(3.0L) / 2},
                          {135, std::sqrt(0.5L), -std::sqrt(0.5L)},
                          {3600 + 270, -1, 0}};
    for (const Case& c : cases) {
        EXPECT_NEAR(SinDeg(c.degrees), c.sin, 1e-17L) << static_cast<double>(c.degrees);
        EXPECT_NEAR(CosDeg(c.degrees), c.cos, 1e-17L) << static_cast<double>(c.degrees);
    }
    EXPECT_NEAR(TanDeg(45.0L), 1.0L, 1e-17L);
    EXPECT_NEAR(TanDeg(-405.0L), -1.0L, 1e-17L);
    EXPECT_NEAR(TanRad(kPi / 4), 1.0L, 1e-17L);
}

// Runs `call` and returns the message of the floating-point fault it threw, or "" when it threw none.
template <typename Fault>
std::string FaultMessage(const std::function<void()>& call) {
    try {
        call();
    } catch (const Fault& fault) {
        return fault.what();
    }
    return "";
}

TEST(FloatingPointFaults, BadArgumentsThrowWithTheProgramsMessages) {
    const std::string invalid = "Invalid floating point operation";
    const std::string overflow = "Floating point overflow";
    struct Case {
        const char* name;
        std::function<void()> call;
        const std::string& message;
    };
    const long double big = std::numeric_limits<long double>::max();
    const Case cases[] = {
        {"NormalizeDegrees(NaN)", [] { NormalizeDegrees(kNaN); }, invalid},
        {"NormalizeDegrees(inf)", [] { NormalizeDegrees(-kInf); }, invalid},
        {"NormalizeDegrees(2^31 turns)", [] { NormalizeDegrees(360.0L * 2147483648.0L); }, invalid},
        {"SinDeg(1e300)", [] { SinDeg(1e300L); }, invalid},
        {"CosDeg(NaN)", [] { CosDeg(kNaN); }, invalid},
        {"TanDeg(inf)", [] { TanDeg(kInf); }, invalid},
        {"ArcSinDeg(1.5)", [] { ArcSinDeg(1.5L); }, invalid},
        {"ArcSinRad(-1 - 1e-18)", [] { ArcSinRad(-1.0L - 1e-18L); }, invalid},
        {"ArcSinDeg(NaN)", [] { ArcSinDeg(kNaN); }, invalid},
        {"ArcTan2Deg(NaN, 1)", [] { ArcTan2Deg(kNaN, 1); }, invalid},
        {"ArcTan2Deg(NaN, 0)", [] { ArcTan2Deg(kNaN, 0); }, invalid},
        {"TanRad(NaN)", [] { TanRad(kNaN); }, invalid},
        {"RadToDeg(max)", [&] { RadToDeg(big); }, overflow},
        {"DegToRad(inf)", [] { DegToRad(kInf); }, overflow},
        {"ArcTan2Rad(max, min)", [&] { ArcTan2Rad(big, std::numeric_limits<long double>::min()); }, overflow},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FaultMessage<std::runtime_error>(c.call), c.message) << c.name;
    }
    // The kinds are told apart by type as well as by message.
    EXPECT_EQ(FaultMessage<InvalidOperation>([] { ArcSinDeg(2); }), invalid);
    EXPECT_EQ(FaultMessage<FloatingPointOverflow>([&] { RadToDeg(big); }), overflow);
}

TEST(FloatingPointFaults, ExtremeArgumentsGiveAValueInRangeOrAFault) {
    struct Helper {
        const char* name;
        long double (*call)(long double);
        long double low, high;
    };
    const Helper helpers[] = {
        {"NormalizeDegrees", NormalizeDegrees, 0, 360},
        {"SinDeg", SinDeg, -1, 1},
        {"CosDeg", CosDeg, -1, 1},
        {"TanDeg", TanDeg, -kInf, kInf},
        {"ArcSinDeg", ArcSinDeg, -90, 90},
        {"ArcSinRad", ArcSinRad, -kPi / 2, kPi / 2},
        {"TanRad", TanRad, -kInf, kInf},
        {"DegToRad", DegToRad, -kInf, kInf},
        {"RadToDeg", RadToDeg, -kInf, kInf},
    };
    const long double max = std::numeric_limits<long double>::max();
    const long double specials[] = {0.0L,     -0.0L, 1e-4940L, 1.0L, -1.0L, 1e10L, 1e300L,
                                    -1e4000L, max,   -max,     kNaN, kInf,  -kInf};
    for (const Helper& helper : helpers) {
        for (const long double x : specials) {
            try {
                const long double y = helper.call(x);
                EXPECT_TRUE(std::isfinite(y) && y >= helper.low && y <= helper.high) << helper.name << " " << x;
            } catch (const FloatingPointError&) {
            }
        }
    }
    for (const long double y : specials) {
        for (const long double x : specials) {
            try {
                const long double a = ArcTan2Deg(y, x);
                EXPECT_TRUE(a >= -90 && a <= 270) << y << ", " << x;
            } catch (const FloatingPointError&) {
            }
        }
    }
}

TEST(FloatingPointFaults, FlagsAreMappedToOneExceptionEachAndClearedFirst) {
    struct Case {
        int flags;
        std::string message;
    };
    const Case cases[] = {
        {FE_INVALID, "Invalid floating point operation"},
        {FE_DIVBYZERO, "Floating point division by zero"},
        {FE_OVERFLOW, "Floating point overflow"},
        {FE_INVALID | FE_OVERFLOW, "Invalid floating point operation"},
        {FE_UNDERFLOW | FE_INEXACT, ""},  // these pass silently
    };
    for (const Case& c : cases) {
        const std::string message = FaultMessage<FloatingPointError>([&] {
            ClearFaults();
            std::feraiseexcept(c.flags);
            ThrowOnFault(1.0L);
        });
        EXPECT_EQ(message, c.message) << c.flags;
    }
    EXPECT_EQ(FaultMessage<DivisionByZero>([] {
                  ClearFaults();
                  std::feraiseexcept(FE_DIVBYZERO);
                  ThrowOnFlaggedFault();
              }),
              "Floating point division by zero");

    // A flag left over from earlier work is not blamed on the next computation.
    std::feraiseexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    EXPECT_NEAR(SinDeg(30.0L), 0.5L, 1e-17L);
    std::feraiseexcept(FE_INVALID);
    EXPECT_NEAR(NormalizeDegrees(-30.0L), 330.0L, 1e-15L);
    std::feclearexcept(FE_ALL_EXCEPT);
}

}  // namespace
