// SPDX-License-Identifier: GPL-3.0-or-later
// lunark-position: prints the Moon's position for the station and the rotator commands for it.
#include <iostream>
#include <string>
#include <vector>

#include "PositionTool.h"
#include "Unit3.h"

int main(int argc, char* argv[]) {
    const std::string invokedAs = argc > 0 && argv[0] != nullptr ? argv[0] : "lunark-position";
    const std::string executablePath = Unit3::RunningExecutablePath(invokedAs);
    const std::vector<std::string> arguments(argc > 1 ? argv + 1 : argv, argc > 1 ? argv + argc : argv);
    return PositionTool::Run(arguments, executablePath, std::cout, std::cerr);
}
