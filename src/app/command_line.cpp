#include "command_line.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "patch/decode.h"
#include "patch/patch_folder.h"
#include "patch_dump.h"

namespace patchlens {

CommandLine ParseCommandLine(const std::vector<std::string> &args) {
    CommandLine command;
    auto usageError = [&](std::string error) {
        command.mode = CommandLine::Mode::UsageError;
        command.error = std::move(error);
        return command;
    };
    bool dump = false;
    bool optionsEnded = false;
    for (const std::string &arg : args) {
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            command.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            command.mode = CommandLine::Mode::Help;
            return command;
        } else if (arg == "--version") {
            command.mode = CommandLine::Mode::Version;
            return command;
        } else if (arg == "--dump") {
            dump = true;
        } else if (arg == "--json") {
            command.json = true;
        } else {
            return usageError("unknown option " + arg);
        }
    }
    if (command.json && !dump)
        return usageError("--json goes with --dump");
    if (dump) {
        if (command.files.empty())
            return usageError("--dump needs at least one patch file");
        command.mode = CommandLine::Mode::Dump;
    }
    return command;
}

std::string UsageText() {
    return "Usage: patchlens [FOLDER] [FILE]\n"
           "       patchlens --dump [--json] FILE...\n"
           "\n"
           "Patchlens shows DigiTech RP350 patch files (.rp350p) as the processor's front panel does.\n"
           "\n"
           "  FOLDER, FILE     start the viewer with the folder's patches listed and the file\n"
           "                   loaded (a folder alone: its first patch); without a display,\n"
           "                   print them as text instead\n"
           "  --dump FILE...   decode the files in order, as stepping through them in the viewer\n"
           "                   would, and print what the viewer shows after each\n"
           "  --json           with --dump: one JSON object per file, in a JSON array\n"
           "  --help           this text\n"
           "  --version        the program version\n"
           "\n"
           "Exit status: 0 when every file was read and accepted, 1 when a file was refused or\n"
           "could not be read, 2 for a usage error.\n";
}

int RunDump(const CommandLine &command, std::ostream &out, std::ostream &err) {
    Patch patch;
    int status = 0;
    if (command.json)
        out << '[';
    for (std::size_t i = 0; i < command.files.size(); ++i) {
        const std::string &path = command.files[i];
        const LoadOutcome outcome = LoadPatchFile(patch, std::filesystem::path(path));
        if (!outcome.readOk) {
            err << path << ": cannot read file\n";
            status = 1;
        }
        if (!outcome.decode.accepted)
            status = 1;
        const DumpedFile file{path, !outcome.decode.accepted, outcome.decode.message};
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

bool HasDisplay() {
#if defined(_WIN32) || defined(__APPLE__)
    return true;
#else
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char *value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
#endif
}

int RunViewerWithoutDisplay(const CommandLine &command, std::ostream &out, std::ostream &err) {
    CommandLine dump = command;
    dump.mode = CommandLine::Mode::Dump;
    dump.files.clear();
    for (const std::string &arg : command.files) {
        std::error_code ec;
        if (!std::filesystem::is_directory(arg, ec)) {
            dump.files.push_back(arg);
            continue;
        }
        std::vector<std::string> names;
        for (const std::filesystem::path &name : ListPatchFiles(arg)) names.push_back(name.string());
        std::sort(names.begin(), names.end());
        for (const std::string &name : names) dump.files.push_back((std::filesystem::path(arg) / name).string());
    }
    out << "No display is available (neither DISPLAY nor WAYLAND_DISPLAY is set), so the viewer window "
           "cannot open: printing the patches as text instead.\n\n";
    if (dump.files.empty()) {
        out << "No patch files were given.\n";
        return 0;
    }
    return RunDump(dump, out, err);
}

int RunWithoutWindow(const CommandLine &command, std::ostream &out, std::ostream &err) {
    switch (command.mode) {
    case CommandLine::Mode::Help:
        out << UsageText();
        return 0;
    case CommandLine::Mode::Version:
        out << "patchlens " << kVersionText << '\n';
        return 0;
    case CommandLine::Mode::Dump:
        return RunDump(command, out, err);
    case CommandLine::Mode::UsageError:
        err << "patchlens: " << command.error << "\n\n" << UsageText();
        return 2;
    case CommandLine::Mode::Viewer:
        break;
    }
    return 0;
}

} // namespace patchlens
