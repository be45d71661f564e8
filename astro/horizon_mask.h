// SPDX-License-Identifier: GPL-3.0-or-later
// The horizon a station actually sees: buildings, trees and hills that hide the low sky in some
// directions. The mask is a list of points (azimuth from north through east, elevation), joined by straight
// lines in azimuth and elevation; the line from the last point goes on through north to the first. Below
// the mask the Moon is hidden, so the mask raises the lowest usable elevation in its direction.
//
// An empty mask hides nothing. Angles are degrees.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace horizon_mask {

struct Point {
    long double azimuth;    // [0, 360)
    long double elevation;  // [0, 90]
    bool operator==(const Point&) const = default;
};

class Mask {
public:
    Mask() = default;
    // Points in any order; they are sorted by azimuth. Throws std::invalid_argument for an azimuth outside
    // [0, 360), an elevation outside [0, 90] or two points at the same azimuth.
    explicit Mask(std::vector<Point> points);

    bool Empty() const { return points_.empty(); }
    const std::vector<Point>& Points() const { return points_; }

    // The mask's elevation in a direction (any azimuth, taken modulo 360); 0 for an empty mask.
    long double ElevationAt(long double azimuth) const;
    // The lowest usable elevation in a direction: the mask's, or `minimum` where that is higher.
    long double Lowest(long double azimuth, long double minimum) const;
    // The lowest and highest of the mask along the shorter arc between two azimuths (ends included).
    struct Span {
        long double low, high;
    };
    Span Along(long double fromAzimuth, long double toAzimuth) const;
    // The highest elevation of the whole mask (0 when empty).
    long double Highest() const;

    bool operator==(const Mask&) const = default;

private:
    std::vector<Point> points_;
};

// "AZ:EL,AZ:EL,..." (blanks allowed around the numbers; an empty text is the empty mask). The mask, or a
// sentence saying what is wrong with the text.
struct Parsed {
    Mask mask;
    std::string problem;  // empty when the text was read
};
Parsed Parse(std::string_view text);

// The text Parse reads back: "AZ:EL" pairs joined by commas, numbers without needless zeros.
std::string Text(const Mask& mask);

}  // namespace horizon_mask
