#include "window_modes.h"

#include <QApplication>
#include <QGuiApplication>
#include <QStyleFactory>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "compare/compare_window.h"
#include "compare/patch_compare.h"
#include "image/patch_picture.h"
#include "print/sheet_printer.h"
#include "run_modes.h"
#include "standard_streams.h"
#include "text/text_output.h"
#include "toolkit/dialogs.h"
#include "toolkit/program_folder.h"
#include "toolkit/text_conversion.h"
#include "viewer/main_window.h"

namespace patchlens {

namespace {

// The files a --sheet-pdf collection is made of, in page order: a file as given, a folder as its
// patch files in the patch list's order. A folder without any is named on stderr.
std::vector<std::string> CollectionFiles(const patchlens::CommandLine &command, int &status) {
    std::vector<std::string> files;
    for (const std::string &arg : command.files) {
        std::error_code ec;
        if (!std::filesystem::is_directory(patchlens::PathFromBytes(arg), ec)) {
            files.push_back(arg);
            continue;
        }
        const std::vector<std::string> listed = patchlens::FolderPatchFiles(arg);
        if (listed.empty()) {
            std::cerr << patchlens::VisibleText(arg) << ": no patch files in this folder\n";
            status = 1;
        }
        files.insert(files.end(), listed.begin(), listed.end());
    }
    return files;
}

// The modes that write a file need no display: Qt's offscreen platform unless one is chosen, and
// only the platform's real troubles on stderr (its chatter about a missing runtime folder, say, is
// no business of a command's output).
void RunWithoutScreen() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::cerr << message.toStdString() << '\n';
    });
}

} // namespace

int RunSheetPdf(int argc, char **argv, const patchlens::CommandLine &command) {
    const patchlens::ByteOutput byteOutput;
    if (const int refused = patchlens::CheckOutputFile(command, std::cerr); refused != 0)
        return refused;
    RunWithoutScreen();
    QGuiApplication app(argc, argv);
    int status = 0;
    std::vector<std::string> pages;
    for (std::string &file : CollectionFiles(command, status)) {
        const patchlens::FreshPatch fresh = patchlens::DecodeFresh(patchlens::PathFromBytes(file));
        if (patchlens::ReportLoadTrouble(std::cerr, file, fresh.outcome))
            status = 1;
        else
            pages.push_back(std::move(file));
    }
    if (pages.empty()) {
        std::cerr << patchlens::VisibleText(command.sheetPdf) << ": not written: no patch to print\n";
        return 1;
    }
    const std::string title = patchlens::CollectionName(command.files.front());
    const std::string error = patchlens::WriteSheetPdf(
        QString::fromStdString(command.sheetPdf), patchlens::ToQString(title), pages.size(),
        [&](std::size_t k) {
            const patchlens::FreshPatch fresh = patchlens::DecodeFresh(patchlens::PathFromBytes(pages[k]));
            // A file changed since it was found: its page shows what the viewer would show now.
            if (patchlens::ReportLoadTrouble(std::cerr, pages[k], fresh.outcome))
                status = 1;
            const std::string path = patchlens::PathBytes(fresh.patch.path);
            const std::string number = patchlens::CollectionPatchNumber(command.patchNumber, k);
            return patchlens::BuildPatchSheet(
                {fresh.patch.panels, fresh.patch.name, number, path, k + 1, pages.size()});
        });
    if (!error.empty()) {
        std::cerr << patchlens::VisibleText(command.sheetPdf) << ": " << error << '\n';
        return 1;
    }
    return status;
}

int RunImage(int argc, char **argv, const patchlens::CommandLine &command) {
    const patchlens::ByteOutput byteOutput;
    if (const int refused = patchlens::CheckOutputFile(command, std::cerr); refused != 0)
        return refused;
    RunWithoutScreen();
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion"))); // the viewer's look
    std::vector<patchlens::FreshPatch> patches;
    bool usable = true;
    for (const std::string &file : command.files) {
        patches.push_back(patchlens::DecodeFresh(patchlens::PathFromBytes(file)));
        usable = !patchlens::ReportLoadTrouble(std::cerr, file, patches.back().outcome) && usable;
    }
    if (!usable) {
        std::cerr << patchlens::VisibleText(command.imageFile) << ": not written\n";
        return 1;
    }
    QImage picture;
    if (command.mode == patchlens::CommandLine::Mode::Image) {
        const patchlens::Patch &patch = patches.front().patch;
        patchlens::PatchPicture board;
        board.Show(patchlens::PathToQString(patch.path.filename()), patchlens::ToQString(patch.name), patch.panels);
        picture = board.Render(command.imageScale);
    } else {
        const patchlens::Patch &a = patches[0].patch, &b = patches[1].patch;
        picture = patchlens::CompareWindow::Picture(
            patchlens::ComparePatches(a, b), {patchlens::PathToQString(a.path), patchlens::ToQString(a.name)},
            {patchlens::PathToQString(b.path), patchlens::ToQString(b.name)}, false, command.imageScale);
    }
    const QString output = patchlens::PathToQString(patchlens::PathFromBytes(command.imageFile));
    if (const QString error = patchlens::SavePng(picture, output); !error.isEmpty()) {
        std::cerr << patchlens::VisibleText(command.imageFile) << ": " << error.toStdString() << '\n';
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

} // namespace patchlens
