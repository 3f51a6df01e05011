#include <QApplication>
#include <QStyleFactory>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "command_line.h"
#include "toolkit/dialogs.h"
#include "toolkit/program_folder.h"
#include "toolkit/text_conversion.h"
#include "viewer/main_window.h"

namespace {

[[noreturn]] void OutOfMemory() {
    std::fputs("Insufficient memory\n", stderr);
    std::_Exit(3);
}

int RunViewer(int argc, char **argv, const patchlens::CommandLine &command) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Patchlens"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    patchlens::QtDialogs dialogs;
    patchlens::MainWindow window(dialogs, patchlens::FindProgramPaths());
    window.show();
    bool fileGiven = false;
    for (const std::string &arg : command.files) {
        const std::filesystem::path path = patchlens::PathFromBytes(arg);
        std::error_code ec;
        fileGiven = fileGiven || !std::filesystem::is_directory(path, ec);
        window.OpenPath(path);
    }
    // A folder alone: its first patch is shown.
    if (!fileGiven) window.LoadFirstListedPatch();
    return QApplication::exec();
}

}  // namespace

int main(int argc, char **argv) {
    std::set_new_handler(OutOfMemory);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const patchlens::CommandLine command = patchlens::ParseCommandLine(args);
    if (command.mode != patchlens::CommandLine::Mode::Viewer)
        return patchlens::RunWithoutWindow(command, std::cout, std::cerr);
    if (!patchlens::HasDisplay()) return patchlens::RunViewerWithoutDisplay(command, std::cout, std::cerr);
    return RunViewer(argc, argv, command);
}
