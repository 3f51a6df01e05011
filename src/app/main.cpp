#include <cstdio>
#include <cstdlib>
#include <new>

#include "command_line.h"
#include "run_modes.h"
#include "standard_streams.h"
#include "window_modes.h"

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
    if (command.mode != patchlens::CommandLine::Mode::Viewer)
        patchlens::UseStartingConsole();
    if (command.mode == patchlens::CommandLine::Mode::SheetPdf)
        return patchlens::RunSheetPdf(argc, argv, command);
    if (command.mode == patchlens::CommandLine::Mode::Image ||
        command.mode == patchlens::CommandLine::Mode::CompareImage)
        return patchlens::RunImage(argc, argv, command);
    if (command.mode != patchlens::CommandLine::Mode::Viewer || !patchlens::HasDisplay())
        return patchlens::RunToStandardOutput(command);
    return patchlens::RunViewer(argc, argv, command);
}
