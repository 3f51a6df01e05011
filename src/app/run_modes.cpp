#include "run_modes.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#define STDOUT_FILENO 1
#define isatty _isatty
#else
#include <unistd.h>
#endif

#include "collection_modes.h"
#include "compare/patch_compare.h"
#include "compare_dump.h"
#include "patch/patch_folder.h"
#include "patch_dump.h"
#include "search/patch_search.h"
#include "sheet/sheet_output.h"
#include "standard_streams.h"
#include "text/path_bytes.h"
#include "text/text_output.h"

namespace patchlens {

int CheckOutputFile(const CommandLine &command, std::ostream &err) {
    const bool sheet = command.mode == CommandLine::Mode::SheetPdf;
    const std::string &named = sheet ? command.sheetPdf : command.imageFile;
    std::vector<std::filesystem::path> inputs;
    for (const std::string &file : command.files)
        inputs.push_back(PathFromBytes(file));
    const Status allowed = OutputRefusal(PathFromBytes(named), inputs, sheet ? "a PDF" : "a picture");
    if (allowed.ok())
        return 0;
    std::string refusal = allowed.message();
    if (sheet && HasPatchFileName(PathFromBytes(named)))
        refusal += " (the PDF's name comes first: --sheet-pdf OUT.pdf FILE_OR_FOLDER...)";
    err << "patchlens: " << VisibleText(named) << ": not written: " << VisibleText(refusal) << '\n';
    return 2;
}

bool ReportLoadTrouble(std::ostream &err, std::string_view path, const Status &outcome) {
    if (outcome.ok())
        return false;
    if (outcome.error().kind() != ErrorKind::Refused) {
        err << VisibleText(path) << ": cannot read file: " << outcome.message() << '\n';
        return true;
    }
    // The refusal's lines are joined by CR LF; here each goes on a line of its own.
    std::string_view message = outcome.error().message();
    err << VisibleText(path) << ": ";
    for (;;) {
        const std::size_t end = message.find("\r\n");
        err << VisibleText(message.substr(0, end)) << '\n';
        if (end == std::string_view::npos)
            return true;
        message.remove_prefix(end + 2);
    }
}

int RunDump(const CommandLine &command, std::ostream &out, std::ostream &err) {
    Patch patch;
    int status = 0;
    if (command.json)
        out << '[';
    for (std::size_t i = 0; i < command.files.size(); ++i) {
        const std::string &path = command.files[i];
        const Status outcome = LoadPatchFile(patch, PathFromBytes(path));
        const bool refused = !outcome.ok() && outcome.error().kind() == ErrorKind::Refused;
        if (!outcome.ok() && !refused)
            err << VisibleText(path) << ": cannot read file: " << outcome.message() << '\n';
        if (!outcome.ok())
            status = 1;
        const DumpedFile file{path, refused, refused ? outcome.message() : std::string()};
        if (command.json) {
            out << (i > 0 ? ",\n " : "");
            WriteJsonRecord(out, file, patch);
        } else {
            if (i > 0)
                out << "\n\n";
            WriteTextSummary(out, file, patch);
        }
    }
    if (command.json)
        out << "]\n";
    out.flush();
    return status;
}

int RunCompare(const CommandLine &command, std::ostream &out, std::ostream &err) {
    const std::string &pathA = command.files[0];
    const std::string &pathB = command.files[1];
    const FreshPatch a = DecodeFresh(PathFromBytes(pathA));
    const FreshPatch b = DecodeFresh(PathFromBytes(pathB));
    const bool troubleA = ReportLoadTrouble(err, pathA, a.outcome);
    if (ReportLoadTrouble(err, pathB, b.outcome) || troubleA)
        return 2;
    const PatchComparison comparison = ComparePatches(a.patch, b.patch);
    const ComparedFile fileA{pathA, a.patch.name};
    const ComparedFile fileB{pathB, b.patch.name};
    if (command.json)
        WriteComparisonJson(out, fileA, fileB, comparison);
    else
        WriteComparisonText(out, fileA, fileB, comparison, command.all);
    out.flush();
    return comparison.differs ? 1 : 0;
}

std::vector<std::string> FolderPatchFiles(const std::string &folder) {
    const std::filesystem::path path = PathFromBytes(folder);
    std::vector<std::filesystem::path> names = ListPatchFiles(path);
    SortAsListed(names);
    std::vector<std::string> files;
    files.reserve(names.size());
    for (const std::filesystem::path &name : names)
        files.push_back(PathBytes(path / name));
    return files;
}

std::string CollectionName(const std::string &first) {
    std::error_code ec;
    std::filesystem::path path = PathFromBytes(first);
    if (!std::filesystem::is_directory(path, ec))
        return PathBytes(path.stem());
    // "samples/", "." and ".." name a folder too.
    path = std::filesystem::absolute(path, ec).lexically_normal();
    if (!path.has_filename())
        path = path.parent_path();
    return PathBytes(path.filename());
}

int RunSearch(const CommandLine &command, std::ostream &out, std::ostream &err, bool outIsTerminal) {
    const SearchModule *module = command.searchModule ? FindSearchModule(*command.searchModule) : nullptr;
    const bool modelChosen = command.searchModel && *command.searchModel != kSelectTypeEntry;
    // A trailing separator, which tab completion adds, names the same folder.
    const std::filesystem::path folder = WithoutTrailingSeparators(PathFromBytes(command.searchFolder));
    if (const auto refusal = CheckSearchStart(folder, module != nullptr, modelChosen, false)) {
        err << refusal->error.message() << '\n';
        return 1;
    }
    SearchObserver observer;
    observer.onResult = [&](const std::filesystem::path &path) {
        out << (outIsTerminal ? VisibleText(PathText(path)) : PathText(path)) << '\n';
    };
    const SearchOutcome outcome = RunPatchSearch(folder, MakeSearchTarget(*module, *command.searchModel),
                                                 {.keepResults = false}, &observer);
    out.flush();
    err << VisibleText(outcome.status) << '\n';
    return 0;
}

bool HasDisplay() {
#if defined(_WIN32) || defined(__APPLE__)
    return true;
#else
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char *value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return true;
    }
    return false;
#endif
}

int RunViewerWithoutDisplay(const CommandLine &command, std::ostream &out, std::ostream &err) {
    CommandLine dump = command;
    dump.mode = CommandLine::Mode::Dump;
    dump.files.clear();
    for (const std::string &arg : command.files) {
        const std::filesystem::path folder = PathFromBytes(arg);
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec)) {
            dump.files.push_back(arg);
            continue;
        }
        for (std::string &file : FolderPatchFiles(arg))
            dump.files.push_back(std::move(file));
    }
    out << "No display is available (neither DISPLAY nor WAYLAND_DISPLAY is set), so the viewer window "
           "cannot open: printing the patches as text instead.\n\n";
    if (dump.files.empty()) {
        out << "No patch files were given.\n";
        return 0;
    }
    return RunDump(dump, out, err);
}

namespace {

int RunMode(const CommandLine &command, std::ostream &out, std::ostream &err, bool outIsTerminal) {
    switch (command.mode) {
    case CommandLine::Mode::Help:
        out << UsageText();
        return 0;
    case CommandLine::Mode::Version:
        out << "patchlens " << kVersionText << '\n' << kLicenceNotice;
        return 0;
    case CommandLine::Mode::Dump:
        return RunDump(command, out, err);
    case CommandLine::Mode::Compare:
        return RunCompare(command, out, err);
    case CommandLine::Mode::Search:
        return RunSearch(command, out, err, outIsTerminal);
    case CommandLine::Mode::List:
        return RunList(command, out, err, outIsTerminal);
    case CommandLine::Mode::Duplicates:
        return RunDuplicates(command, out, err, outIsTerminal);
    case CommandLine::Mode::CompareFolders:
        return RunCompareFolders(command, out, err, outIsTerminal);
    case CommandLine::Mode::UsageError:
        err << "patchlens: " << command.error << '\n';
        if (command.usageShown)
            err << '\n' << UsageText();
        return 2;
    case CommandLine::Mode::Viewer:
        return RunViewerWithoutDisplay(command, out, err);
    case CommandLine::Mode::SheetPdf:
    case CommandLine::Mode::Image:
    case CommandLine::Mode::CompareImage:
        break;
    }
    return 0;
}

} // namespace

int RunWithoutWindow(const CommandLine &command, std::ostream &out, std::ostream &err, bool outIsTerminal) {
    errno = 0;
    const int status = RunMode(command, out, err, outIsTerminal);
    if (out.flush())
        return status;
    const int error = errno;
    err << "patchlens: the output could not be written whole";
    if (error != 0)
        err << ": " << std::strerror(error);
    err << '\n';
    return kOutputFailedStatus;
}

int RunToStandardOutput(const CommandLine &command) {
    const ByteOutput byteOutput;
    const int status = RunWithoutWindow(command, std::cout, std::cerr, ::isatty(STDOUT_FILENO) == 1);
    if (status == kOutputFailedStatus)
        return status;
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return status;
    std::cerr << "patchlens: the output could not be written whole: "
              << std::strerror(errno != 0 ? errno : EIO) << '\n';
    return kOutputFailedStatus;
}

} // namespace patchlens
