// SPDX-License-Identifier: GPL-3.0-or-later
// The reference tables of tests/astro/data: comma-separated rows after '#' comment lines and one header line.
#pragma once

#include <string>
#include <vector>

std::vector<std::vector<std::string>> ReadTable(const std::string& path);
