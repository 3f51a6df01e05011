// `patchlens`: the command line. Every mode that needs no window runs here without the window
// toolkit; the viewer and the printed sheet are handed to the window program beside it.

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "command_line.h"
#include "window_program.h"

namespace {

[[noreturn]] void OutOfMemory() {
    std::fputs("Insufficient memory\n", stderr);
    std::_Exit(3);
}

} // namespace

int main(int argc, char **argv) {
    std::set_new_handler(OutOfMemory);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const patchlens::CommandLine command = patchlens::ParseCommandLine(args);
    const bool window = command.mode == patchlens::CommandLine::Mode::SheetPdf ||
                        (command.mode == patchlens::CommandLine::Mode::Viewer && patchlens::HasDisplay());
    if (!window)
        return patchlens::RunToStandardOutput(command);
    const std::string reason = patchlens::ExecWindowProgram(patchlens::OwnProgramPath(argv[0]), argv);
    std::cerr << "patchlens: cannot start the window program: " << reason << '\n';
    return 1;
}
