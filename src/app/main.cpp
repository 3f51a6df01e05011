#include <QApplication>
#include <QGuiApplication>
#include <QStyleFactory>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "command_line.h"
#include "patch_dump.h"
#include "print/sheet_printer.h"
#include "standard_streams.h"
#include "toolkit/dialogs.h"
#include "toolkit/program_folder.h"
#include "toolkit/text_conversion.h"
#include "viewer/main_window.h"

namespace {

[[noreturn]] void OutOfMemory() {
    std::fputs("Insufficient memory\n", stderr);
    std::_Exit(3);
}

// --sheet-pdf: the same sheet the printer gets, as a PDF; no display needed.
int RunSheetPdf(int argc, char **argv, const patchlens::CommandLine &command) {
    const patchlens::ByteOutput byteOutput;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The platform's chatter (a missing runtime folder, say) is no business of a command's output.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::cerr << message.toStdString() << '\n';
    });
    QGuiApplication app(argc, argv);
    const std::string &file = command.files.front();
    patchlens::Patch patch;
    const patchlens::LoadOutcome outcome = patchlens::LoadPatchFile(patch, patchlens::PathFromBytes(file));
    if (!outcome.readOk) {
        std::cerr << patchlens::VisibleText(file) << ": cannot read file: " << outcome.readError << '\n';
        return 1;
    }
    if (!outcome.decode.accepted) {
        // The refusal's lines are joined by CR LF; here each goes on a line of its own.
        std::string_view message = outcome.decode.message;
        std::cerr << patchlens::VisibleText(file) << ": ";
        for (;;) {
            const std::size_t end = message.find("\r\n");
            std::cerr << patchlens::VisibleText(message.substr(0, end)) << '\n';
            if (end == std::string_view::npos)
                break;
            message.remove_prefix(end + 2);
        }
        return 1;
    }
    const std::string path = patchlens::PathBytes(patch.path);
    const patchlens::PatchSheet sheet =
        patchlens::BuildPatchSheet({patch.panels, patch.name, command.patchNumber, path});
    const std::string error = patchlens::WriteSheetPdf(QString::fromStdString(command.sheetPdf), sheet);
    if (!error.empty()) {
        std::cerr << command.sheetPdf << ": " << error << '\n';
        return 1;
    }
    return 0;
}

int RunViewer(int argc, char **argv, const patchlens::CommandLine &command) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Patchlens"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    patchlens::QtDialogs dialogs;
    const patchlens::ProgramPaths paths = patchlens::FindProgramPaths();
    patchlens::MainWindow window(dialogs, paths);
    window.show();
    for (const std::string &problem : paths.copyProblems)
        dialogs.ShowMessage(&window, QStringLiteral("A file of the program folder could not be copied to ") +
                                         patchlens::PathToQString(paths.dataFolder) + QStringLiteral(":\n") +
                                         patchlens::ToQString(problem) +
                                         QStringLiteral("\nThe original stays as it is."));
    bool fileGiven = false;
    for (const std::string &arg : command.files) {
        const std::filesystem::path path = patchlens::PathFromBytes(arg).make_preferred(); // '\\' on Windows
        std::error_code ec;
        fileGiven = fileGiven || !std::filesystem::is_directory(path, ec);
        window.OpenPath(path);
    }
    // A folder alone: its first patch is shown.
    if (!fileGiven)
        window.LoadFirstListedPatch();
    return QApplication::exec();
}

} // namespace

int main(int argc, char **argv) {
    std::set_new_handler(OutOfMemory);
    const patchlens::CommandLine command =
        patchlens::ParseCommandLine(patchlens::ProgramArguments(argc, argv));
    if (command.mode != patchlens::CommandLine::Mode::Viewer)
        patchlens::UseStartingConsole();
    if (command.mode == patchlens::CommandLine::Mode::SheetPdf)
        return RunSheetPdf(argc, argv, command);
    if (command.mode != patchlens::CommandLine::Mode::Viewer || !patchlens::HasDisplay())
        return patchlens::RunToStandardOutput(command);
    return RunViewer(argc, argv, command);
}
