// SPDX-License-Identifier: GPL-3.0-or-later
#include "sky_temperature.h"

#include <array>
#include <cmath>
#include <stdexcept>

namespace sky_temperature {

namespace {

constexpr int kBins = 180;
constexpr long double kTableHz = 144e6L;
constexpr long double kSpectralIndex = 2.6L;
constexpr long double kColdestKelvin = 13.0L;
constexpr long double kColdestHz = 408e6L;

// astro/data/sky_temperature_144mhz.csv, K at 144 MHz, bin k centred on ecliptic longitude 2k degrees.
// clang-format off
constexpr std::array<short, kBins> kKelvin144 = {
    231, 234, 246, 257, 267, 275, 280, 283, 286, 291, 298, 305, 313, 322, 331,
    341, 351, 361, 369, 376, 381, 383, 382, 379, 374, 370, 366, 363, 361, 363,
    368, 376, 388, 401, 415, 428, 440, 453, 467, 487, 512, 544, 579, 607, 618,
    609, 588, 563, 539, 512, 482, 450, 422, 398, 379, 363, 349, 334, 319, 302,
    282, 262, 242, 226, 213, 205, 200, 198, 197, 196, 197, 200, 202, 204, 205,
    204, 203, 202, 201, 203, 206, 212, 218, 223, 227, 231, 236, 240, 243, 247,
    257, 276, 301, 324, 339, 346, 344, 339, 331, 323, 316, 312, 310, 312, 317,
    327, 341, 358, 375, 392, 407, 422, 437, 451, 466, 480, 494, 511, 530, 552,
    579, 612, 653, 702, 768, 863, 1008, 1232, 1557, 1966, 2385, 2719, 2924, 3018, 3038,
    2986, 2836, 2570, 2213, 1823, 1461, 1163, 939, 783, 677, 602, 543, 494, 452, 419,
    392, 373, 360, 353, 350, 350, 350, 350, 350, 350, 348, 344, 337, 329, 319,
    307, 295, 284, 276, 272, 272, 273, 274, 274, 271, 266, 260, 252, 245, 238,
};
// clang-format on
static_assert(kKelvin144.size() == kBins);

}  // namespace

int Bin(long double eclipticLongitude) {
    if (!std::isfinite(eclipticLongitude)) throw std::invalid_argument("the ecliptic longitude is not a number");
    const long double halves = std::floor(eclipticLongitude / 2 + 0.5L);
    const long double bin = halves - kBins * std::floor(halves / kBins);
    return static_cast<int>(bin) % kBins;
}

long double KelvinAt144MHz(int bin) {
    return kKelvin144.at(static_cast<std::size_t>(bin));
}

long double SkyTemperature(long double eclipticLongitude, long double frequencyHz) {
    const long double scale = std::pow(kTableHz / frequencyHz, kSpectralIndex);
    return (KelvinAt144MHz(Bin(eclipticLongitude)) - kCosmicBackgroundKelvin) * scale + kCosmicBackgroundKelvin;
}

long double ColdestSky(long double frequencyHz) {
    return kColdestKelvin * std::pow(kColdestHz / frequencyHz, kSpectralIndex);
}

}  // namespace sky_temperature
