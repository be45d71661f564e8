// lunark-position: prints the Moon's position for the station and the rotator commands for it.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "PositionTool.h"

int main(int argc, char* argv[]) {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string invokedAs = argc > 0 && argv[0] != nullptr ? argv[0] : "lunark-position";
    const std::string executablePath = error || self.empty() ? invokedAs : self.string();
    const std::vector<std::string> arguments(argc > 1 ? argv + 1 : argv, argc > 1 ? argv + argc : argv);
    return PositionTool::Run(arguments, executablePath, std::cout, std::cerr);
}
