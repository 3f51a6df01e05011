// `patchlens`: the command line. Every mode that needs no window runs here without the window
// toolkit; the viewer and the printed sheet are handed to the window program beside it.

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "run_modes.h"
#include "standard_streams.h"
#include "window_program.h"

namespace {

[[noreturn]] void OutOfMemory() {
    std::fputs("Insufficient memory\n", stderr);
    std::_Exit(3);
}

} // namespace

int main(int argc, char **argv) {
    std::set_new_handler(OutOfMemory);
    const patchlens::CommandLine command =
        patchlens::ParseCommandLine(patchlens::ProgramArguments(argc, argv));
    const bool viewer = command.mode == patchlens::CommandLine::Mode::Viewer;
    const bool window = patchlens::IsWindowMode(command.mode) || (viewer && patchlens::HasDisplay());
    if (!window)
        return patchlens::RunToStandardOutput(command);
    if (patchlens::IsWindowMode(command.mode)) {
        const patchlens::ByteOutput byteOutput;
        if (const int refused = patchlens::CheckOutputFile(command, std::cerr); refused != 0)
            return refused;
    }
    const std::string reason = patchlens::ExecWindowProgram(patchlens::OwnProgramPath(argv[0]), argv, viewer);
    std::cerr << "patchlens: cannot start the window program: " << reason << '\n';
    return 1;
}
