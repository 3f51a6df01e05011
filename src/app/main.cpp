#include <iostream>
#include <string>
#include <vector>

#include "command_line.h"

int main(int argc, char **argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const patchlens::CommandLine command = patchlens::ParseCommandLine(args);
    if (command.mode != patchlens::CommandLine::Mode::Viewer)
        return patchlens::RunWithoutWindow(command, std::cout, std::cerr);
    std::cerr << "patchlens: the viewer window is not available in this build; use --dump\n\n"
              << patchlens::UsageText();
    return 2;
}
