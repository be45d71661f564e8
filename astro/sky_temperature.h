// SPDX-License-Identifier: GPL-3.0-or-later
// The brightness temperature of the sky behind the Moon: the galactic background along the ecliptic from
// the 408 MHz all-sky survey of Haslam et al. (1982), as the weak-signal program WSJT-X publishes it at
// 144 MHz in 2-degree bins of ecliptic longitude (astro/data/sky_temperature_144mhz.csv), scaled to other
// frequencies with the synchrotron spectral index 2.6. The Moon keeps within about 7° of the ecliptic, so
// the table stands for the sky behind it.
#pragma once

namespace sky_temperature {

// The cosmic background, K: the part of the sky temperature that does not scale with frequency.
inline constexpr long double kCosmicBackgroundKelvin = 2.7L;

// The table's bin for an ecliptic longitude of date (degrees, any value): round(λ/2) mod 180, halves up;
// bin k is centred on 2k degrees.
int Bin(long double eclipticLongitude);

// The 144 MHz temperature of a bin (0-179), K.
long double KelvinAt144MHz(int bin);

// The sky temperature behind an ecliptic longitude of date at frequencyHz (positive), K:
// (T144 − 2.7)·(144 MHz / f)^2.6 + 2.7.
long double SkyTemperature(long double eclipticLongitude, long double frequencyHz);

// The coldest sky an EME path meets at frequencyHz, K: 13 K at 408 MHz, scaled by f^-2.6.
long double ColdestSky(long double frequencyHz);

}  // namespace sky_temperature
