// SPDX-License-Identifier: GPL-3.0-or-later
#include "horizon_mask.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace horizon_mask {

namespace {

long double Wrapped(long double azimuth) {
    const long double wrapped = std::fmod(azimuth, 360.0L);
    return wrapped < 0 ? wrapped + 360 : wrapped;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool Number(std::string_view text, long double& value) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(number))
        return false;
    value = number;
    return true;
}

std::string NumberText(long double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2Lf", value);
    std::string result = text;
    while (result.back() == '0') result.pop_back();
    if (result.back() == '.') result.pop_back();
    return result == "-0" ? "0" : result;
}

}  // namespace

Mask::Mask(std::vector<Point> points) : points_(std::move(points)) {
    for (const Point& point : points_) {
        if (!(point.azimuth >= 0 && point.azimuth < 360))
            throw std::invalid_argument("an azimuth of the horizon mask is not from 0 to under 360 degrees");
        if (!(point.elevation >= 0 && point.elevation <= 90))
            throw std::invalid_argument("an elevation of the horizon mask is not from 0 to 90 degrees");
    }
    std::sort(points_.begin(), points_.end(), [](const Point& a, const Point& b) { return a.azimuth < b.azimuth; });
    for (std::size_t i = 1; i < points_.size(); ++i) {
        if (points_[i].azimuth == points_[i - 1].azimuth)
            throw std::invalid_argument("the horizon mask has two points at azimuth " + NumberText(points_[i].azimuth));
    }
}

long double Mask::ElevationAt(long double azimuth) const {
    if (points_.empty()) return 0;
    if (points_.size() == 1) return points_.front().elevation;
    azimuth = Wrapped(azimuth);
    // The segment that holds the azimuth: between two neighbours, or from the last point through north.
    const auto after = std::upper_bound(points_.begin(), points_.end(), azimuth,
                                        [](long double az, const Point& point) { return az < point.azimuth; });
    Point a, b;
    if (after == points_.begin() || after == points_.end()) {
        a = points_.back();
        b = points_.front();
        b.azimuth += 360;
        if (azimuth < a.azimuth) azimuth += 360;
    } else {
        a = *(after - 1);
        b = *after;
    }
    const long double fraction = (azimuth - a.azimuth) / (b.azimuth - a.azimuth);
    return a.elevation + fraction * (b.elevation - a.elevation);
}

long double Mask::Lowest(long double azimuth, long double minimum) const {
    return points_.empty() ? minimum : std::max(minimum, ElevationAt(azimuth));
}

Mask::Span Mask::Along(long double fromAzimuth, long double toAzimuth) const {
    if (points_.empty()) return {0, 0};
    const long double turn = std::fmod(toAzimuth - fromAzimuth + 540.0L * 3, 360.0L) - 180;
    const long double start = Wrapped(turn >= 0 ? fromAzimuth : toAzimuth), length = std::fabs(turn);
    long double low = ElevationAt(fromAzimuth), high = low;
    const long double end = ElevationAt(toAzimuth);
    low = std::min(low, end);
    high = std::max(high, end);
    // Between the ends the mask is straight except at its points.
    for (const Point& point : points_) {
        if (Wrapped(point.azimuth - start) <= length) {
            low = std::min(low, point.elevation);
            high = std::max(high, point.elevation);
        }
    }
    return {low, high};
}

long double Mask::Highest() const {
    long double highest = 0;
    for (const Point& point : points_) highest = std::max(highest, point.elevation);
    return highest;
}

Parsed Parse(std::string_view text) {
    std::vector<Point> points;
    if (Trimmed(text).empty()) return {};
    std::size_t number = 0;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = Trimmed(text.substr(0, comma));
        ++number;
        const std::size_t colon = item.find(':');
        Point point{};
        std::string quoted(1, '"');
        quoted.append(item).push_back('"');
        if (colon == std::string_view::npos || !Number(item.substr(0, colon), point.azimuth) ||
            !Number(item.substr(colon + 1), point.elevation)) {
            return {Mask{}, "The horizon mask's point " + std::to_string(number) + ", " + quoted +
                                ", is not AZ:EL, e.g. 120:15"};
        }
        if (!(point.azimuth >= 0 && point.azimuth < 360))
            return {Mask{}, "The horizon mask's point " + quoted + " has an azimuth outside 0 to under 360 degrees"};
        if (!(point.elevation >= 0 && point.elevation <= 90))
            return {Mask{}, "The horizon mask's point " + quoted + " has an elevation outside 0 to 90 degrees"};
        points.push_back(point);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    try {
        return {Mask(std::move(points)), {}};
    } catch (const std::invalid_argument& error) {
        std::string problem = error.what();
        problem.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(problem.front())));
        return {Mask{}, problem};
    }
}

std::string Text(const Mask& mask) {
    std::string text;
    for (const Point& point : mask.Points()) {
        if (!text.empty()) text += ',';
        text += NumberText(point.azimuth) + ':' + NumberText(point.elevation);
    }
    return text;
}

}  // namespace horizon_mask
