// SPDX-License-Identifier: GPL-3.0-or-later
#include "pointing_reference.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "BuildPaths.h"

namespace pointing_reference {

std::string Path() {
    return LUNARK_POINTING_REFERENCE;
}

std::vector<Case> Load() {
    std::ifstream in(Path());
    if (!in) throw std::runtime_error("cannot open " + Path());
    std::vector<Case> cases;
    std::string line;
    int number = 0;
    bool header = true;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty() || line[0] == '#') continue;
        if (header) {  // the column names
            header = false;
            continue;
        }
        std::istringstream fields(line);
        Case c{};
        char comma[8] = {};
        std::getline(fields, c.utc, ',');
        fields >> c.dayNumber >> comma[0] >> c.latitude >> comma[1] >> c.longitudeEast >> comma[2] >> c.heightMetres >>
            comma[3] >> c.moonAzimuth >> comma[4] >> c.moonElevation >> comma[5] >> c.sunAzimuth >> comma[6] >>
            c.sunElevation;
        if (!fields || std::string(comma, 7) != ",,,,,,,") {
            throw std::runtime_error(Path() + ":" + std::to_string(number) + ": not a reference line");
        }
        cases.push_back(c);
    }
    return cases;
}

Error Compare(long double elevation, long double azimuth, long double referenceElevation,
              long double referenceAzimuth) {
    constexpr long double kDegree = 3.14159265358979323846L / 180;
    return {elevation - referenceElevation,
            std::remainder(azimuth - referenceAzimuth, 360.0L) * std::cos(referenceElevation * kDegree)};
}

}  // namespace pointing_reference
