// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "eme_calendar.h"

// The calendar of the days ahead as text: the columns of the station window's Calendar page and of
// lunark-position --calendar, in UTF-8, and the same rows as JSON.
namespace CalendarText {

// The column titles: Date, Highest, At, Up h, one "h <locator>" per DX station, Dec, Distance km, Loss dB,
// Sun, Degr. dB, Rating, Marks.
std::vector<std::string> Headers(const std::vector<std::string>& dxLocators);

// The cells of a day under those titles: "2026-12-08", "42.3", "21:14", "9.8", the DX hours, "+18.4",
// "384123", "3.1", "95.2" (with "!" when the Sun is closer than 15°), "3.4", "fair", "perigee full".
std::vector<std::string> Cells(const eme_calendar::Day& day);

// Header and rows, one a line, columns right-aligned to their widest cell and two blanks apart.
std::string Table(const std::vector<eme_calendar::Day>& days, const std::vector<std::string>& dxLocators);

// A JSON array of one object per day: date, highest_el, highest_at, hours_up, mutual_hours (an array of
// {"dx", "hours"}), declination, distance_km, path_loss_db, sun_moon_deg, sun_close, degradation_db,
// rating, perigee, apogee, new_moon, full_moon.
std::string Json(const std::vector<eme_calendar::Day>& days, const std::vector<std::string>& dxLocators);

}  // namespace CalendarText
