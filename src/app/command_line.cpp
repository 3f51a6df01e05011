#include "command_line.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <variant>

#include "base/result.h"
#include "search/patch_search.h"

namespace patchlens {

namespace {

using Mode = CommandLine::Mode;

constexpr unsigned Bit(Mode mode) {
    return 1u << static_cast<unsigned>(mode);
}

// Stores an option's value in the command line; Refused, with the usage error, for a value it
// does not take.
using Take = Status (*)(CommandLine &command, const std::string &value);

template <auto field> Status Store(CommandLine &command, const std::string &value) {
    command.*field = value;
    return {};
}

Status TakeNumber(CommandLine &command, const std::string &value) {
    command.patchNumber = value;
    if (value.size() > 2)
        return Error::Refused("--number takes at most two characters");
    return {};
}

Status TakeScale(CommandLine &command, const std::string &value) {
    char *end = nullptr;
    command.imageScale = std::strtod(value.c_str(), &end);
    if (value.empty() || end != value.c_str() + value.size() || !(command.imageScale >= 1) ||
        !(command.imageScale <= 8))
        return Error::Refused("--scale takes a number from 1 to 8, not " + value);
    return {};
}

constexpr std::monostate kNothing; // what an option takes that takes nothing and sets nothing

// Whether the mode of an option cannot do without it.
enum Presence : bool { kOptional, kNeeded };

// An option: what follows its name in the help (its value, or the files of the mode it chooses),
// the modes it goes with (the option choosing a mode goes with that mode), what it takes (a value,
// the next argument as it stands even when it begins with '-', stored by a Take; or nothing, setting
// a flag or not), and its help, each line after the first indented under the first. The row
// without a name is the viewer's, for its files.
struct Option {
    std::string_view name, shown;
    unsigned modes;
    std::variant<std::monostate, Take, bool CommandLine::*> takes;
    std::string_view help;
    Presence presence = kOptional; // a needed one is named with the others its mode needs
    std::string_view noValue = "needs a value";
};

// The options in the order of the help.
constexpr Option kOptions[] = {
    {"", "FOLDER, FILE", Bit(Mode::Viewer), kNothing,
     "start the viewer with the folder's patches listed and the file\n"
     "loaded (a folder alone: its first patch); without a display,\n"
     "print them as text instead"},
    {"--dump", "FILE...", Bit(Mode::Dump), kNothing,
     "decode the files in order, as stepping through them in the viewer\n"
     "would, and print what the viewer shows after each"},
    {"--json", "",
     Bit(Mode::Dump) | Bit(Mode::Compare) | Bit(Mode::List) | Bit(Mode::Duplicates) |
         Bit(Mode::CompareFolders),
     &CommandLine::json,
     "with --dump: one JSON object per file, in a JSON array; with\n"
     "--compare: the whole comparison as one JSON object; with --list,\n"
     "--duplicates and --compare-folders: the rows, groups or\n"
     "differences as a JSON array"},
    {"--compare", "A B", Bit(Mode::Compare), kNothing,
     "decode both patch files from scratch and print, module by module,\n"
     "what differs: the lamp and the display lines, A beside B"},
    {"--all", "", Bit(Mode::Compare), &CommandLine::all,
     "with --compare: every module and line, differing rows marked *"},
    {"--search", "FOLDER", Bit(Mode::Search), Store<&CommandLine::searchFolder>,
     "list the patch files (paths holding .rp350p, .rp250p or .rp150p, in\n"
     "any letter case) in FOLDER and every folder below it, level by\n"
     "level, in which MODULE is on and uses MODEL, one path per line;\n"
     "the model only has to be part of the file's model text (Phaser\n"
     "also finds Trig Phaser). The final status goes to stderr"},
    {"--module", "MODULE", Bit(Mode::Search), Store<&CommandLine::searchModule>,
     "with --search: one of the searchable modules below", kNeeded},
    {"--model", "MODEL", Bit(Mode::Search), Store<&CommandLine::searchModel>,
     "with --search: one of that module's models", kNeeded},
    {"--list", "FOLDER...", Bit(Mode::List), kNothing,
     "print every patch file of the folders (names ending in .rp350p in\n"
     "any letter case) as one row while they are read, in the order the\n"
     "search walks them: the file (relative to its folder; with several\n"
     "folders, the folder as given before it), the patch name and, for\n"
     "each module, its model line as the panel shows it, in parentheses\n"
     "when the module is off; a refused file with its reason (also on\n"
     "stderr)"},
    {"--recursive", "", Bit(Mode::List) | Bit(Mode::Duplicates), &CommandLine::recursive,
     "with --list and --duplicates: every folder below them too, level\n"
     "by level (links to folders are not followed)"},
    {"--where", "FILTER", Bit(Mode::List), Store<&CommandLine::where>,
     "with --list: only the patches the filter takes (see Filters)"},
    {"--csv", "", Bit(Mode::List), &CommandLine::csv,
     "with --list: the rows as CSV (RFC 4180): file, name, each module's\n"
     "model line and on or off, and the reason a file was refused"},
    {"--duplicates", "FOLDER...", Bit(Mode::Duplicates), kNothing,
     "print the groups of patch files that show the same (--compare finds\n"
     "no difference; the names may differ), one path per line, an empty\n"
     "line between groups"},
    {"--variants", "", Bit(Mode::Duplicates), &CommandLine::variants,
     "with --duplicates: the groups of variants instead: every accepted\n"
     "file of one chain (each module's lamp and model line) that holds\n"
     "at least two different sounds"},
    {"--compare-folders", "OLD NEW", Bit(Mode::CompareFolders), kNothing,
     "compare two folder trees, files matched by their path below each:\n"
     "one line per difference, sorted by path: added PATH, removed PATH,\n"
     "changed PATH: the modules that differ, moved OLDPATH -> NEWPATH (a\n"
     "removed file that shows the same as an added one)"},
    {"--sheet-pdf", "OUT.pdf", Bit(Mode::SheetPdf), Store<&CommandLine::sheetPdf>,
     "write the printed patch sheet of each file, as the viewer would\n"
     "print it, to OUT.pdf, one landscape page per patch in the order\n"
     "given; a folder stands for its patch files in the patch list's order"},
    {"--number", "NN", Bit(Mode::SheetPdf), TakeNumber,
     "with --sheet-pdf: the patch number of the first page (default 01);\n"
     "one or two digits count up page by page (after 99: 100), anything\n"
     "else is printed on every page"},
    {"--image", "OUT.png", Bit(Mode::Image), Store<&CommandLine::imageFile>,
     "write the patch as a picture, as the viewer's \"Save Image...\"\n"
     "does: the file's name, the patch name and the fifteen panels",
     kOptional, "needs the name of the PNG to write"},
    {"--compare-image", "OUT.png", Bit(Mode::CompareImage), Store<&CommandLine::imageFile>,
     "write the comparison of A and B as the compare window\n"
     "shows it, as a picture",
     kOptional, "needs the name of the PNG to write"},
    {"--scale", "S", Bit(Mode::Image) | Bit(Mode::CompareImage), TakeScale,
     "with --image and --compare-image: pixels per pixel of the window,\n"
     "1 to 8 (default 2, sharp when a forum shrinks it)"},
    {"--help", "", Bit(Mode::Help), kNothing, "this text"},
    {"--version", "", Bit(Mode::Version), kNothing, "the program version"},
};

// The modes that stand alone, with no other argument.
constexpr unsigned kAlone = Bit(Mode::Help) | Bit(Mode::Version);

// A mode, in the order of the usage: the option choosing it ("" for the viewer), its line of the
// usage, and how many files it takes, with the message for any other number (naming the first
// file too many when it needs none).
struct ModeRule {
    Mode mode;
    std::string_view option;
    std::string_view usage;
    std::size_t fewestFiles, mostFiles;
    std::string_view filesError;
};

constexpr ModeRule kModes[] = {
    {Mode::Viewer, "", "[FOLDER] [FILE]", 0, 2, "the viewer takes a folder and a file"},
    {Mode::Dump, "--dump", "--dump [--json] FILE...", 1, SIZE_MAX, "--dump needs at least one patch file"},
    {Mode::Compare, "--compare", "--compare [--all] [--json] A B", 2, 2, "--compare takes two patch files"},
    {Mode::Search, "--search", "--search FOLDER --module MODULE --model MODEL", 0, 0,
     "--search takes one folder"},
    {Mode::List, "--list", "--list FOLDER... [--recursive] [--where FILTER] [--csv | --json]", 1, SIZE_MAX,
     "--list needs at least one folder"},
    {Mode::Duplicates, "--duplicates", "--duplicates FOLDER... [--recursive] [--variants] [--json]", 1,
     SIZE_MAX, "--duplicates needs at least one folder"},
    {Mode::CompareFolders, "--compare-folders", "--compare-folders OLD NEW [--json]", 2, 2,
     "--compare-folders takes two folders, OLD and NEW"},
    {Mode::SheetPdf, "--sheet-pdf", "--sheet-pdf OUT.pdf [--number NN] FILE_OR_FOLDER...", 1, SIZE_MAX,
     "--sheet-pdf needs at least one patch file or folder"},
    {Mode::Image, "--image", "--image OUT.png [--scale S] FILE", 1, 1, "--image takes one patch file"},
    {Mode::CompareImage, "--compare-image", "--compare-image OUT.png [--scale S] A B", 2, 2,
     "--compare-image takes two patch files"},
};

// Modes chosen together: the first of these found is named.
constexpr struct {
    unsigned mode, others;
    std::string_view message;
} kConflicts[] = {
    {Bit(Mode::Image), Bit(Mode::CompareImage), "--image and --compare-image cannot be combined"},
    {Bit(Mode::Image), ~0u, "--image cannot be combined with other modes"},
    {Bit(Mode::CompareImage), ~0u, "--compare-image cannot be combined with other modes"},
    {Bit(Mode::List), ~0u, "--list cannot be combined with other modes"},
    {Bit(Mode::Duplicates), ~0u, "--duplicates cannot be combined with other modes"},
    {Bit(Mode::CompareFolders), ~0u, "--compare-folders cannot be combined with other modes"},
    {Bit(Mode::SheetPdf), Bit(Mode::Dump) | Bit(Mode::Compare) | Bit(Mode::Search),
     "--sheet-pdf cannot be combined with --dump, --compare or --search"},
    {Bit(Mode::Compare), Bit(Mode::Dump) | Bit(Mode::Search),
     "--compare cannot be combined with --dump or --search"},
    {Bit(Mode::Search), Bit(Mode::Dump), "--search and --dump cannot be combined"},
};

// "--json goes with --dump or --compare"; an option a mode needs is named with the others it needs.
std::string Misplaced(const Option &option) {
    std::string names, modes;
    int count = 0;
    for (const Option &other : kOptions)
        if (&other == &option ||
            (option.presence == kNeeded && other.presence == kNeeded && other.modes == option.modes))
            names += (count++ > 0 ? " and " : "") + std::string(other.name);
    for (const ModeRule &mode : kModes)
        if ((option.modes & Bit(mode.mode)) != 0)
            modes += (modes.empty() ? "" : " or ") + std::string(mode.option);
    return names + (count > 1 ? " go with " : " goes with ") + modes;
}

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

// Takes the module and the model of a search as the lists spell them; Refused, with the usage
// error, for a name that is neither.
Status CheckSearchNames(CommandLine &command) {
    // Names are taken in any letter case; an unknown one is answered with the names there are.
    const SearchModule *module = nullptr;
    if (*command.searchModule != kModuleListPlaceholder) {
        module = FindSearchModuleIgnoringCase(*command.searchModule);
        if (module == nullptr) {
            std::string names;
            for (const SearchModule &each : SearchModules())
                names += (names.empty() ? "" : ", ") + std::string(each.entry);
            return Error::Refused("--module " + *command.searchModule +
                                  ": not a searchable module; the modules: " + names);
        }
        command.searchModule = std::string(module->entry);
    }
    if (module != nullptr && *command.searchModel != kSelectTypeEntry) {
        const auto model = FindSearchModelIgnoringCase(*module, *command.searchModel);
        if (!model) {
            std::string list = ModelListText(*module);
            list.pop_back();
            return Error::Refused("--model " + *command.searchModel + ": not a model of " +
                                  std::string(module->entry) + "; its models:\n" + list);
        }
        command.searchModel = std::string(*model);
    }
    return {};
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string> &args) {
    CommandLine command;
    auto usageError = [&](std::string error, bool usageShown = true) {
        command.mode = CommandLine::Mode::UsageError;
        command.error = std::move(error);
        command.usageShown = usageShown;
        return command;
    };
    std::vector<const Option *> given; // in the order given
    unsigned chosen = 0;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            command.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::string_view name = arg == "-h" ? std::string_view("--help") : std::string_view(arg);
        const auto option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                         [&](const Option &each) { return each.name == name; });
        if (option == std::end(kOptions))
            return usageError("unknown option " + arg);
        if ((option->modes & kAlone) != 0) {
            if (args.size() > 1)
                return usageError(arg + " takes no other arguments; unexpected " + args[i == 0 ? 1 : 0]);
            command.mode = option->modes == Bit(Mode::Version) ? Mode::Version : Mode::Help;
            return command;
        }
        if (const Take *take = std::get_if<Take>(&option->takes)) {
            if (i + 1 == args.size())
                return usageError(arg + " " + std::string(option->noValue));
            if (const Status taken = (*take)(command, args[++i]); !taken.ok())
                return usageError(taken.error().message());
        } else if (const auto *flag = std::get_if<bool CommandLine::*>(&option->takes)) {
            command.**flag = true;
        }
        given.push_back(&*option);
        for (const ModeRule &mode : kModes)
            if (mode.option == arg)
                chosen |= Bit(mode.mode);
    }
    auto isGiven = [&](const Option &option) { return std::count(given.begin(), given.end(), &option) > 0; };
    for (const Option &option : kOptions)
        if (isGiven(option) && (option.modes & chosen) == 0)
            return usageError(Misplaced(option));
    for (const auto &conflict : kConflicts)
        if ((chosen & conflict.mode) != 0 && (chosen & conflict.others & ~conflict.mode) != 0)
            return usageError(std::string(conflict.message));
    if (command.csv && command.json)
        return usageError("--csv and --json cannot be combined");
    // The one mode chosen, or the viewer.
    const ModeRule &mode = *std::find_if(std::begin(kModes), std::end(kModes), [&](const ModeRule &each) {
        return (chosen & Bit(each.mode)) != 0 || (chosen == 0 && each.mode == Mode::Viewer);
    });
    if (mode.mode == Mode::SheetPdf && command.sheetPdf.empty())
        return usageError("--sheet-pdf needs the name of the PDF to write");
    if (command.files.size() < mode.fewestFiles || command.files.size() > mode.mostFiles)
        return usageError(std::string(mode.filesError) +
                          (mode.fewestFiles == 0 ? "; unexpected " + command.files[mode.mostFiles] : ""));
    std::string needs;
    for (const Option &option : kOptions)
        if (option.presence == kNeeded && (option.modes & Bit(mode.mode)) != 0 && !isGiven(option))
            needs +=
                (needs.empty() ? "" : " and ") + std::string(option.name) + " " + std::string(option.shown);
    if (!needs.empty())
        return usageError(std::string(mode.option) + " needs " + needs);
    if (mode.mode == Mode::Search)
        if (const Status names = CheckSearchNames(command); !names.ok())
            return usageError(names.error().message(), false);
    if (mode.mode == Mode::List) {
        Result<PatchFilter> filter = ParseFilter(command.where);
        if (!filter.ok())
            return usageError("--where: " + filter.message(), false);
        command.filter = std::move(filter).value();
    }
    command.mode = mode.mode;
    return command;
}

bool IsWindowMode(CommandLine::Mode mode) {
    return mode == CommandLine::Mode::SheetPdf || mode == CommandLine::Mode::Image ||
           mode == CommandLine::Mode::CompareImage;
}

std::string UsageText() {
    std::string text;
    for (const ModeRule &mode : kModes)
        text += (text.empty() ? "Usage: patchlens " : "       patchlens ") + std::string(mode.usage) + '\n';
    text += "\nPatchlens shows DigiTech RP350 patch files (.rp350p) as the processor's front panel does.\n\n";
    // The help of each option begins in this column, or two spaces after a longer name.
    constexpr std::size_t kHelpColumn = 19;
    for (const Option &option : kOptions) {
        std::string line = "  " + std::string(option.name);
        if (!option.shown.empty())
            line += (option.name.empty() ? "" : " ") + std::string(option.shown);
        line.resize(std::max(line.size() + 2, kHelpColumn), ' ');
        for (const char c : option.help)
            line += c == '\n' ? "\n" + std::string(kHelpColumn, ' ') : std::string(1, c);
        text += line + '\n';
    }
    text += "\nSearchable modules and their models:\n";
    for (const SearchModule &module : SearchModules())
        text += ModelListText(module);
    text += "\n"
            "Filters (--where FILTER; the collection window's filter field reads the same):\n"
            "  Delay              the module is on; !Delay: it is off\n"
            "  Distortion=Scream  on, and the text (any case) is part of its model line as the\n"
            "                     panel shows it (SCREAM) or of the model text the file holds\n"
            "                     (Screamer; Chorus/Fx=Phaser also finds Trig Phaser)\n"
            "  Delay.2>=400       a knob line by its row, 1 being the model line, or by the label\n"
            "  Reverb.DECAY<3     the panel shows before = (any case, trailing _ ignored), on or\n"
            "                     off; the operators are = != < <= > >= and ~ (contains). A shown\n"
            "                     value and a text that both begin with a number compare as\n"
            "                     numbers, units ignored (450 ms >= 400); otherwise as text, any\n"
            "                     case. A module without that row or label does not match\n"
            "  name~blues         the patch name contains the text; name=\"Clean Lead\": it is it\n"
            "  file~live/         the path below the folder contains the text (file=: it is it)\n"
            "Texts with blanks go in double quotes. Terms side by side must all hold; or between\n"
            "them gives alternatives (side by side binds tighter); parentheses group. Modules go\n"
            "by caption or short name, ignoring case, blanks and / _ -: AmpA, \"Amp A\",\n"
            "amplifier_a, EQB, NoiseGate, ChorusFx, LFO1, Expression, Pickup. For example:\n"
            "  patchlens --list ~/Patches --recursive --where 'Delay Delay.2 >= 400 or !Reverb'\n"
            "  patchlens --list ~/Patches --csv --where '(Distortion=Screamer or name~blues) AmpA'\n"
            "\n"
            "Exit status: 0 when every file was read and accepted (--search: after any search, with\n"
            "or without results; --list, --duplicates: when the listing was made, refused files\n"
            "and all), 1 when a file was refused or could not be read (--search: when the search\n"
            "is refused, the reason on stderr; --list, --duplicates: when a folder cannot be read;\n"
            "--sheet-pdf: the file is skipped, and also when the PDF cannot be written; --image,\n"
            "--compare-image: nothing is written), 2 for a usage error or a filter that cannot be\n"
            "read, 4 when the output could not be written whole. --compare and --compare-folders,\n"
            "as diff: 0 when the patches show the same, 1 when they differ, 2 when a file is\n"
            "refused or unreadable (--compare-folders: or a folder cannot be read) or for a usage\n"
            "error.\n";
    return text;
}

} // namespace patchlens
