#include "command_line.h"

#include <algorithm>
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

#include "compare/patch_compare.h"
#include "compare_dump.h"
#include "patch/decode.h"
#include "patch/patch_folder.h"
#include "patch_dump.h"
#include "search/patch_search.h"
#include "sheet/sheet_output.h"
#include "standard_streams.h"
#include "text/path_bytes.h"

namespace patchlens {

namespace {

// "  Module: a, b, c" wrapped at 100 columns, continuation lines indented under the first model.
std::string ModelListText(const SearchModule &module) {
    const std::string head = "  " + std::string(module.entry) + ": ";
    const std::string indent(head.size(), ' ');
    std::string text = head;
    std::size_t column = head.size();
    for (std::size_t i = 0; i < module.models.size(); ++i) {
        const std::string item = std::string(module.models[i]) + (i + 1 < module.models.size() ? "," : "");
        if (column > head.size() && column + 1 + item.size() > 100) {
            text += "\n" + indent;
            column = indent.size();
        } else if (column > head.size()) {
            text += ' ';
            ++column;
        }
        text += item;
        column += item.size();
    }
    return text + "\n";
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string> &args) {
    CommandLine command;
    auto usageError = [&](std::string error) {
        command.mode = CommandLine::Mode::UsageError;
        command.error = std::move(error);
        return command;
    };
    bool dump = false;
    bool compare = false;
    bool search = false;
    bool sheet = false;
    bool numberGiven = false;
    bool image = false;
    bool compareImage = false;
    bool scaleGiven = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            command.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h" || arg == "--version") {
            if (args.size() > 1)
                return usageError(arg + " takes no other arguments; unexpected " + args[i == 0 ? 1 : 0]);
            command.mode = arg == "--version" ? CommandLine::Mode::Version : CommandLine::Mode::Help;
            return command;
        } else if (arg == "--dump") {
            dump = true;
        } else if (arg == "--compare") {
            compare = true;
        } else if (arg == "--all") {
            command.all = true;
        } else if (arg == "--json") {
            command.json = true;
        } else if (arg == "--sheet-pdf" || arg == "--number") {
            if (i + 1 == args.size())
                return usageError(arg + " needs a value");
            (arg == "--sheet-pdf" ? command.sheetPdf : command.patchNumber) = args[++i];
            if (arg == "--number" && command.patchNumber.size() > 2)
                return usageError("--number takes at most two characters");
            if (arg == "--sheet-pdf")
                sheet = true;
            numberGiven = numberGiven || arg == "--number";
        } else if (arg == "--image" || arg == "--compare-image") {
            if (i + 1 == args.size())
                return usageError(arg + " needs the name of the PNG to write");
            command.imageFile = args[++i];
            (arg == "--image" ? image : compareImage) = true;
        } else if (arg == "--scale") {
            if (i + 1 == args.size())
                return usageError(arg + " needs a value");
            const std::string &value = args[++i];
            char *end = nullptr;
            command.imageScale = std::strtod(value.c_str(), &end);
            if (value.empty() || end != value.c_str() + value.size() || !(command.imageScale >= 1) ||
                !(command.imageScale <= 8))
                return usageError("--scale takes a number from 1 to 8, not " + value);
            scaleGiven = true;
        } else if (arg == "--search" || arg == "--module" || arg == "--model") {
            // The value is the next argument as it stands, even when it begins with '-'.
            if (i + 1 == args.size())
                return usageError(arg + " needs a value");
            const std::string &value = args[++i];
            if (arg == "--search") {
                search = true;
                command.searchFolder = value;
            } else if (arg == "--module") {
                command.searchModule = value;
            } else {
                command.searchModel = value;
            }
        } else {
            return usageError("unknown option " + arg);
        }
    }
    if (command.json && !dump && !compare)
        return usageError("--json goes with --dump or --compare");
    if (command.all && !compare)
        return usageError("--all goes with --compare");
    if ((command.searchModule || command.searchModel) && !search)
        return usageError("--module and --model go with --search");
    if (numberGiven && !sheet)
        return usageError("--number goes with --sheet-pdf");
    if (scaleGiven && !image && !compareImage)
        return usageError("--scale goes with --image or --compare-image");
    if (image || compareImage) {
        if (image && compareImage)
            return usageError("--image and --compare-image cannot be combined");
        if (dump || compare || search || sheet || command.json || command.all)
            return usageError(std::string(image ? "--image" : "--compare-image") +
                              " cannot be combined with other modes");
        if (image && command.files.size() != 1)
            return usageError("--image takes one patch file");
        if (compareImage && command.files.size() != 2)
            return usageError("--compare-image takes two patch files");
        command.mode = image ? CommandLine::Mode::Image : CommandLine::Mode::CompareImage;
        return command;
    }
    if (sheet) {
        if (dump || compare || search || command.json)
            return usageError("--sheet-pdf cannot be combined with --dump, --compare or --search");
        if (command.sheetPdf.empty())
            return usageError("--sheet-pdf needs the name of the PDF to write");
        if (command.files.empty())
            return usageError("--sheet-pdf needs at least one patch file or folder");
        command.mode = CommandLine::Mode::SheetPdf;
        return command;
    }
    if (compare) {
        if (dump || search)
            return usageError("--compare cannot be combined with --dump or --search");
        if (command.files.size() != 2)
            return usageError("--compare takes two patch files");
        command.mode = CommandLine::Mode::Compare;
        return command;
    }
    if (search) {
        if (dump)
            return usageError("--search and --dump cannot be combined");
        if (!command.files.empty())
            return usageError("--search takes one folder; unexpected " + command.files.front());
        if (!command.searchModule && !command.searchModel)
            return usageError("--search needs --module MODULE and --model MODEL");
        if (!command.searchModule || !command.searchModel)
            return usageError(command.searchModule ? "--search needs --model MODEL"
                                                   : "--search needs --module MODULE");
        // Names are taken in any letter case; an unknown one is answered with the names there are.
        const SearchModule *module = nullptr;
        if (*command.searchModule != kModuleListPlaceholder) {
            module = FindSearchModuleIgnoringCase(*command.searchModule);
            if (module == nullptr) {
                std::string names;
                for (const SearchModule &each : SearchModules())
                    names += (names.empty() ? "" : ", ") + std::string(each.entry);
                usageError("--module " + *command.searchModule +
                           ": not a searchable module; the modules: " + names);
                command.usageShown = false;
                return command;
            }
            command.searchModule = std::string(module->entry);
        }
        if (module != nullptr && *command.searchModel != kSelectTypeEntry) {
            const std::string_view model = FindSearchModelIgnoringCase(*module, *command.searchModel);
            if (model.empty()) {
                std::string list = ModelListText(*module);
                list.pop_back();
                usageError("--model " + *command.searchModel + ": not a model of " +
                           std::string(module->entry) + "; its models:\n" + list);
                command.usageShown = false;
                return command;
            }
            command.searchModel = std::string(model);
        }
        command.mode = CommandLine::Mode::Search;
        return command;
    }
    if (dump) {
        if (command.files.empty())
            return usageError("--dump needs at least one patch file");
        command.mode = CommandLine::Mode::Dump;
    } else if (command.files.size() > 2) {
        return usageError("the viewer takes a folder and a file; unexpected " + command.files[2]);
    }
    return command;
}

bool IsWindowMode(CommandLine::Mode mode) {
    return mode == CommandLine::Mode::SheetPdf || mode == CommandLine::Mode::Image ||
           mode == CommandLine::Mode::CompareImage;
}

int CheckImageOutput(const CommandLine &command, std::ostream &err) {
    std::vector<std::filesystem::path> inputs;
    for (const std::string &file : command.files)
        inputs.push_back(PathFromBytes(file));
    const Status refusal = OutputRefusal(PathFromBytes(command.imageFile), inputs, "a picture");
    if (refusal.ok())
        return 0;
    err << "patchlens: " << VisibleText(command.imageFile)
        << ": not written: " << VisibleText(refusal.message()) << '\n';
    return 2;
}

int CheckSheetPdfOutput(const CommandLine &command, std::ostream &err) {
    std::vector<std::filesystem::path> inputs;
    inputs.reserve(command.files.size());
    for (const std::string &file : command.files)
        inputs.push_back(PathFromBytes(file));
    const std::filesystem::path output = PathFromBytes(command.sheetPdf);
    const Status allowed = OutputRefusal(output, inputs, "a PDF");
    if (allowed.ok())
        return 0;
    std::string refusal = allowed.message();
    if (HasPatchFileName(output))
        refusal += " (the PDF's name comes first: --sheet-pdf OUT.pdf FILE_OR_FOLDER...)";
    err << "patchlens: " << VisibleText(command.sheetPdf) << ": not written: " << VisibleText(refusal)
        << '\n';
    return 2;
}

std::string UsageText() {
    std::string text =
        "Usage: patchlens [FOLDER] [FILE]\n"
        "       patchlens --dump [--json] FILE...\n"
        "       patchlens --compare [--all] [--json] A B\n"
        "       patchlens --search FOLDER --module MODULE --model MODEL\n"
        "       patchlens --sheet-pdf OUT.pdf [--number NN] FILE_OR_FOLDER...\n"
        "       patchlens --image OUT.png [--scale S] FILE\n"
        "       patchlens --compare-image OUT.png [--scale S] A B\n"
        "\n"
        "Patchlens shows DigiTech RP350 patch files (.rp350p) as the processor's front panel does.\n"
        "\n"
        "  FOLDER, FILE     start the viewer with the folder's patches listed and the file\n"
        "                   loaded (a folder alone: its first patch); without a display,\n"
        "                   print them as text instead\n"
        "  --dump FILE...   decode the files in order, as stepping through them in the viewer\n"
        "                   would, and print what the viewer shows after each\n"
        "  --json           with --dump: one JSON object per file, in a JSON array; with\n"
        "                   --compare: the whole comparison as one JSON object\n"
        "  --compare A B    decode both patch files from scratch and print, module by module,\n"
        "                   what differs: the lamp and the display lines, A beside B\n"
        "  --all            with --compare: every module and line, differing rows marked *\n"
        "  --search FOLDER  list the patch files (paths holding .rp350p, .rp250p or .rp150p, in\n"
        "                   any letter case) in FOLDER and every folder below it, level by\n"
        "                   level, in which MODULE is on and uses MODEL, one path per line;\n"
        "                   the model only has to be part of the file's model text (Phaser\n"
        "                   also finds Trig Phaser). The final status goes to stderr\n"
        "  --module MODULE  with --search: one of the searchable modules below\n"
        "  --model MODEL    with --search: one of that module's models\n"
        "  --sheet-pdf OUT.pdf  write the printed patch sheet of each file, as the viewer would\n"
        "                   print it, to OUT.pdf, one landscape page per patch in the order\n"
        "                   given; a folder stands for its patch files in the patch list's order\n"
        "  --number NN      with --sheet-pdf: the patch number of the first page (default 01);\n"
        "                   one or two digits count up page by page (after 99: 100), anything\n"
        "                   else is printed on every page\n"
        "  --image OUT.png  write the patch as a picture, as the viewer's \"Save Image...\"\n"
        "                   does: the file's name, the patch name and the fifteen panels\n"
        "  --compare-image OUT.png  write the comparison of A and B as the compare window\n"
        "                   shows it, as a picture\n"
        "  --scale S        with --image and --compare-image: pixels per pixel of the window,\n"
        "                   1 to 8 (default 2, sharp when a forum shrinks it)\n"
        "  --help           this text\n"
        "  --version        the program version\n"
        "\n"
        "Searchable modules and their models:\n";
    for (const SearchModule &module : SearchModules())
        text += ModelListText(module);
    text += "\n"
            "Exit status: 0 when every file was read and accepted (--search: after any search, with\n"
            "or without results), 1 when a file was refused or could not be read (--search: when\n"
            "the search is refused, the reason on stderr; --sheet-pdf: the file is skipped, and\n"
            "also when the PDF cannot be written; --image, --compare-image: nothing is written),\n"
            "2 for a usage error, 4 when the output could not be written whole. --compare, as\n"
            "diff: 0 when the two patches show the same, 1 when they differ, 2 when a file is\n"
            "refused or unreadable or for a usage error.\n";
    return text;
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
    const SearchRefusal refusal = CheckSearchStart(folder, module != nullptr, modelChosen, false);
    if (refusal.refused) {
        err << refusal.message << '\n';
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
