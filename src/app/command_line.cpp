#include "command_line.h"

#include "patch/decode.h"
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
    return "Usage: patchlens [FILE | FOLDER]\n"
           "       patchlens --dump [--json] FILE...\n"
           "\n"
           "Patchlens shows DigiTech RP350 patch files (.rp350p) as the processor's front panel does.\n"
           "\n"
           "  FILE, FOLDER     start the viewer with the patch loaded, or the folder listed\n"
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
