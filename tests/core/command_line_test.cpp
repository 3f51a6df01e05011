// The command line: options, exit statuses, and the dump's JSON and text forms.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "command_line.h"
#include "file_system_support.h"
#include "patch_builder.h"
#include "run_modes.h"
#include "search/patch_search.h"
#include "temp_folder.h"
#include "text/path_bytes.h"
#include "text/text_output.h"

namespace patchlens {
namespace {

using test::PatchBuilder;

TEST(ParseCommandLine, ModesAndTheirValues) {
    using Mode = CommandLine::Mode;
    for (const auto &[args, mode] : {std::pair{std::vector<std::string>{}, Mode::Viewer},
                                     {{"a.rp350p"}, Mode::Viewer}, {{"--help"}, Mode::Help},
                                     {{"--version"}, Mode::Version}})
        EXPECT_EQ(ParseCommandLine(args).mode, mode) << ::testing::PrintToString(args);
    const CommandLine dump = ParseCommandLine({"--json", "--dump", "a", "--", "--b"});
    EXPECT_EQ(dump.mode, CommandLine::Mode::Dump);
    EXPECT_TRUE(dump.json);
    EXPECT_EQ(dump.files, (std::vector<std::string>{"a", "--b"}));
    const CommandLine search =
        ParseCommandLine({"--search", "-odd folder", "--model", "Phaser", "--module", "Chorus/Fx"});
    EXPECT_EQ(search.mode, CommandLine::Mode::Search);
    EXPECT_EQ(search.searchFolder, "-odd folder"); // a value is taken as it stands
    EXPECT_EQ(search.searchModule, "Chorus/Fx");
    EXPECT_EQ(search.searchModel, "Phaser");
    // Names in any letter case are taken as the lists spell them.
    const CommandLine anyCase =
        ParseCommandLine({"--search", "x", "--module", "chorus/FX", "--model", "trig PHASER"});
    EXPECT_EQ(anyCase.mode, CommandLine::Mode::Search);
    EXPECT_EQ(anyCase.searchModule, "Chorus/Fx");
    EXPECT_EQ(anyCase.searchModel, "Trig Phaser");
    // The window's "nothing chosen" entries are given to the search, which refuses them as the window does.
    EXPECT_EQ(ParseCommandLine({"--search", "x", "--module", "Select Model", "--model", "Select Type"}).mode,
              CommandLine::Mode::Search);
    const CommandLine list =
        ParseCommandLine({"--list", "a", "b", "--recursive", "--where", "Delay or !Wah", "--csv"});
    EXPECT_EQ(list.mode, CommandLine::Mode::List);
    EXPECT_EQ(list.files, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(list.recursive && list.csv && !list.json);
    EXPECT_EQ(list.filter.conditions().size(), 2u); // the filter is read with the command line
    const CommandLine variants = ParseCommandLine({"--duplicates", "a", "--variants", "--json"});
    EXPECT_EQ(variants.mode, CommandLine::Mode::Duplicates);
    EXPECT_TRUE(variants.variants && variants.json && !variants.recursive);
    EXPECT_EQ(ParseCommandLine({"--compare-folders", "old", "new"}).files,
              (std::vector<std::string>{"old", "new"}));
}

TEST(ParseCommandLine, UsageErrorsExitWith2AndShowTheUsage) {
    for (const auto &args : std::vector<std::vector<std::string>>{
             {"--dump"}, {"--json", "a"}, {"--frobnicate"}, {"-x"}, {"--compare", "a"}, {"--all", "a", "b"},
             {"--compare", "--dump", "a", "b"}, {"--sheet-pdf", "x.pdf"}, {"--search"},
             {"--search", "x", "--module"}, {"--module", "Delay", "--model", "Tape"}, {"--search", "x", "extra"},
             {"--search", "x", "--dump", "a"}, {"--search", "x", "--json"}}) {
        const CommandLine command = ParseCommandLine(args);
        EXPECT_EQ(command.mode, CommandLine::Mode::UsageError) << ::testing::PrintToString(args);
        EXPECT_FALSE(command.error.empty());
        std::ostringstream out, err;
        EXPECT_EQ(RunWithoutWindow(command, out, err), 2);
        EXPECT_NE(err.str().find("Usage:"), std::string::npos);
    }
    // A missing option, an extra argument or a value refused is named.
    for (const auto &[args, error] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--search", "x"}, "--search needs --module MODULE and --model MODEL"},
             {{"--search", "x", "--module", "Delay"}, "--search needs --model MODEL"},
             {{"--search", "x", "--model", "Tape"}, "--search needs --module MODULE"},
             {{"a", "b", "c"}, "the viewer takes a folder and a file; unexpected c"},
             {{"--version", "extra"}, "--version takes no other arguments; unexpected extra"},
             {{"extra", "-h"}, "-h takes no other arguments; unexpected extra"},
             {{"--sheet-pdf", "x.pdf", "--number", "100", "a"}, "--number takes at most two characters"},
             {{"--image", "x.png", "--scale", "8.5", "a"}, "--scale takes a number from 1 to 8, not 8.5"},
             {{"--list"}, "--list needs at least one folder"},
             {{"--list", "a", "--csv", "--json"}, "--csv and --json cannot be combined"},
             {{"--duplicates", "a", "--where", "Delay"}, "--where goes with --list"},
             {{"--compare-folders", "a"}, "--compare-folders takes two folders, OLD and NEW"},
             {{"--compare-folders", "a", "b", "--recursive"}, "--recursive goes with --list or --duplicates"}})
        EXPECT_EQ(ParseCommandLine(args).error, error);
    EXPECT_EQ(ParseCommandLine({"--help", "--version"}).mode, CommandLine::Mode::UsageError);
    EXPECT_EQ(ParseCommandLine({"folder", "a.rp350p"}).mode, CommandLine::Mode::Viewer);
}

// Each usage line is a command line the parser takes, and an option its line does not name is
// refused in that mode: the usage lines and the modes the options go with say the same.
TEST(ParseCommandLine, TheUsageLinesNameEveryOptionOfTheirModeAndNoOther) {
    std::vector<std::vector<std::string>> lines;
    std::vector<std::string> options;
    const std::map<std::string, std::string> values = {
        {"MODULE", "Delay"}, {"MODEL", "Tape"}, {"FILTER", "Delay"}}; // else "2"
    std::istringstream usage(UsageText());
    for (std::string line; std::getline(usage, line);) {
        if (line.rfind("Usage: patchlens ", 0) == 0 || line.rfind("       patchlens ", 0) == 0) {
            std::istringstream words(line.substr(17));
            lines.emplace_back();
            for (std::string word; words >> word;) {
                if (word == "|") { // of alternatives, the first is taken
                    words >> word;
                    continue;
                }
                std::erase_if(word, [](char c) { return c == '[' || c == ']'; });
                lines.back().push_back(word[0] == '-' ? word : values.contains(word) ? values.at(word) : "2");
            }
        } else if (line.rfind("  --", 0) == 0) {
            options.push_back(line.substr(2, line.find(' ', 2) - 2));
        }
    }
    ASSERT_EQ(lines.size(), 10u);
    for (const std::vector<std::string> &args : lines) {
        EXPECT_NE(ParseCommandLine(args).mode, CommandLine::Mode::UsageError)
            << ::testing::PrintToString(args);
        for (const std::string &option : options) {
            // Beside the viewer's files, the option of a mode chooses that mode.
            const bool choosesMode =
                std::any_of(lines.begin(), lines.end(), [&](const auto &line) { return line[0] == option; });
            if (std::find(args.begin(), args.end(), option) != args.end() || (args[0] == "2" && choosesMode))
                continue;
            std::vector<std::string> more = args;
            more.insert(more.begin(), {option, "2"});
            const std::string error = ParseCommandLine(more).error;
            EXPECT_TRUE(error.find(" go") != std::string::npos ||
                        error.find("combined") != std::string::npos ||
                        error.find("no other") != std::string::npos)
                << ::testing::PrintToString(more) << ": " << error;
        }
    }
}

// An unknown module or model is answered with the names there are, not with the whole usage.
TEST(ParseCommandLine, AnUnknownNameIsAnsweredWithTheNamesOfItsKind) {
    for (const auto &[args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--search", "x", "--module", "Wah", "--model", "Tape"},
              "patchlens: --module Wah: not a searchable module; the modules: Compressor, Distortion, "
              "Chorus/Fx, Delay, Reverb\n"},
             {{"--search", "x", "--module", "delay", "--model", "Phaser"},
              "patchlens: --model Phaser: not a model of Delay; its models:\n"
              "  Delay: Analog, DM-2, Digital, Modulated, Pong, Tape, EchoPlex\n"}}) {
        std::ostringstream out, err;
        EXPECT_EQ(RunWithoutWindow(ParseCommandLine(args), out, err), 2);
        EXPECT_EQ(err.str(), message);
    }
}

// A filter that cannot be read is refused with its place, without the usage, as a usage error.
TEST(ParseCommandLine, AFilterThatCannotBeReadIsRefusedWithItsPlace) {
    std::ostringstream out, err;
    EXPECT_EQ(RunWithoutWindow(ParseCommandLine({"--list", "x", "--where", "Delay."}), out, err), 2);
    EXPECT_EQ(err.str(), "patchlens: --where: after \"Delay.\": a label, a row number or a model expected\n");
    EXPECT_EQ(out.str(), "");
}

TEST(JsonString, EscapesAndShowsBytesByTheDisplayRule) {
    EXPECT_EQ(JsonString("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(JsonString(std::string("\r\n\t\x01\x1f", 5)), R"("\r\n\t\u0001\u001f")");
    EXPECT_EQ(JsonString(std::string("\0", 1)), R"("\u0000")");
    EXPECT_EQ(JsonString("Caf\xC3\xA9"), "\"Caf\xC3\xA9\"");               // valid UTF-8 stays
    EXPECT_EQ(JsonString("Caf\xE9 \x80"), "\"Caf\xC3\xA9 \xE2\x82\xAC\""); // otherwise Windows-1252
}

class DumpTest : public test::TempFolder {
protected:
    std::string File(const std::string &name, const std::string &bytes) {
        return PathBytes(Write(PathFromBytes(name), bytes));
    }

    int Run(std::vector<std::string> args, std::string &out, std::string &err) {
        std::ostringstream o, e;
        const int status = RunWithoutWindow(ParseCommandLine(args), o, e);
        out = o.str();
        err = e.str();
        return status;
    }
};

// A sample's dump and two samples compared, in each form, against the outputs written out once
// and read by eye; the samples' paths show as A and B there.
TEST_F(DumpTest, OutputsForTheSamplesMatchTheGoldenFiles) {
    const std::filesystem::path samples = PATCHLENS_SAMPLES;
    const std::string a = PathBytes(samples / "Screamer Blues.rp350p");
    const std::string b = PathBytes(samples / "Rotary Organ.rp350p");
    const struct {
        std::vector<std::string> args;
        int status;
        const char *file;
    } runs[] = {
        {{"--dump", a}, 0, "dump.txt"},
        {{"--dump", "--json", a}, 0, "dump.json"},
        {{"--compare", a, b}, 1, "compare.txt"}, // as diff: 1 when they differ
        {{"--compare", "--all", a, b}, 1, "compare-all.txt"},
        {{"--compare", "--json", a, b}, 1, "compare.json"},
    };
    for (const auto &run : runs) {
        std::string out, err;
        EXPECT_EQ(Run(run.args, out, err), run.status) << run.file;
        EXPECT_EQ(err, "") << run.file;
        for (const auto &[path, shown] : {std::pair{a, "A"}, std::pair{b, "B"}})
            for (const auto &[from, to] : {std::pair{JsonString(path), "\"" + std::string(shown) + "\""},
                                           std::pair{path, std::string(shown)}})
                for (std::size_t at; (at = out.find(from)) != std::string::npos;)
                    out.replace(at, from.size(), to);
        std::ifstream in(std::filesystem::path(PATCHLENS_TEST_DATA) / "golden" / "cli" / run.file,
                         std::ios::binary);
        EXPECT_EQ(out, std::string(std::istreambuf_iterator<char>(in), {})) << run.file;
    }
}

TEST_F(DumpTest, RefusedAndUnreadableFilesSetStatus1AndKeepThePreviousState) {
    PatchBuilder first;
    first.name = "First";
    PatchBuilder newer;
    newer.schemaVersion = "1.3";
    newer.name = "Newer";
    const std::string a = File("a.rp350p", first.Bytes());
    const std::string b = File("b.rp350p", newer.Bytes());
    const std::string missing = (folder / "missing.rp350p").string();
    std::string out, err;
    EXPECT_EQ(Run({"--dump", "--json", b, a, b, missing, folder.string()}, out, err), 1);
    EXPECT_EQ(err, missing + ": cannot read file: no such file\n" + folder.string() +
                       ": cannot read file: it is a folder\n");
    // The name is dashes until a file is accepted; a refused file shows the patch before it.
    const std::string refused = "\"refused\": true, \"message\": \"Wrong Schema Version!: 1.3\\r\\nProgram "
                                "Supports Version : 1.2\\r\\nAsk for New Version.\", \"name\": ";
    EXPECT_NE(out.find(refused + "\"------\""), std::string::npos);
    EXPECT_NE(out.find(refused + "\"First\""), std::string::npos);
    // The unreadable file is shown as the empty patch.
    EXPECT_NE(out.find("\"path\": " + JsonString(missing) + ", \"refused\": false, \"name\": \"\""),
              std::string::npos);
}

// Control characters from a name or a file name are shown, not sent to the terminal; a file no
// patch can be (a sparse terabyte) is refused by its size and the files after it go on.
TEST_F(DumpTest, HostileFilesNeitherReachTheTerminalNorEndTheRun) {
    PatchBuilder builder;
    builder.name = "Title\x1b]0;owned\x07\x1b[2J\xC2\x9B\xE2\x80\xAE";
#ifdef _WIN32
    const std::string hostileName = "red\xE2\x80\xAE.rp350p"; // no C0 controls in names here
    const std::string hostileShown = "red\\u202e.rp350p";
#else
    const std::string hostileName = "red\x1b[31m.rp350p";
    const std::string hostileShown = "red\\x1b[31m.rp350p";
#endif
    const std::string hostile = File(hostileName, builder.Bytes());
    const std::string huge = File("huge.rp350p", "x");
    std::error_code ec;
    test::ResizeSparse(PathFromBytes(huge), std::uintmax_t{1} << 40, ec);
    PatchBuilder after;
    after.name = "After";
    const std::string good = File("good.rp350p", after.Bytes());
    std::string out, err;
    EXPECT_EQ(Run({"--dump", hostile, huge, good}, out, err), 1);
    for (const char raw : {'\x1b', '\x07'}) {
        EXPECT_EQ(out.find(raw), std::string::npos);
        EXPECT_EQ(err.find(raw), std::string::npos);
    }
    EXPECT_EQ(out.find("\xC2\x9B"), std::string::npos);
    EXPECT_NE(out.find("Patch name: Title\\x1b]0;owned\\x07\\x1b[2J\\x9b\\u202e"), std::string::npos) << out;
    EXPECT_NE(out.find(hostileShown), std::string::npos);
    if (!ec) {
        EXPECT_NE(err.find("huge.rp350p: cannot read file: too large: 1099511627776 bytes"),
                  std::string::npos)
            << err;
    }
    EXPECT_NE(out.find("Patch name: After"), std::string::npos);
}

// Without a display the folder's patches come in the order the patch list shows them.
TEST_F(DumpTest, WithoutADisplayAFolderIsListedInThePatchListsOrder) {
    for (const char *name : {"B.rp350p", "a.rp350p", "c.RP350P", "\xC3\x89t\xC3\xA9.rp350p", "d.rp350p"})
        File(name, PatchBuilder().Bytes());
    std::string out, err;
    EXPECT_EQ(Run({folder.string()}, out, err), 0);
    std::vector<std::string> order;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Patch file: ", 0) == 0)
            order.push_back(PathBytes(PathFromBytes(line.substr(12)).filename()));
    EXPECT_EQ(order, (std::vector<std::string>{"a.rp350p", "B.rp350p", "c.RP350P", "d.rp350p",
                                               "\xC3\x89t\xC3\xA9.rp350p"}));
}

TEST(CommandLineOutput, TheVersionNamesTheLicence) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunWithoutWindow(ParseCommandLine({"--version"}), out, err), 0);
    EXPECT_EQ(out.str().substr(0, out.str().find('\n') + 1), std::string("patchlens ") + kVersionText + "\n");
    EXPECT_NE(
        out.str().find("\nLicense GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"),
        std::string::npos);
    EXPECT_EQ(err.str(), "");
}

// A full disk (or any output that cannot take what is written) is an error of its own.
TEST(CommandLineOutput, AnOutputThatCannotBeWrittenIsAnError) {
    class Full : public std::streambuf {
        int overflow(int) override { return traits_type::eof(); }
        std::streamsize xsputn(const char *, std::streamsize) override { return 0; }
    } full;
    std::ostream out(&full);
    std::ostringstream err;
    EXPECT_EQ(RunWithoutWindow(ParseCommandLine({"--version"}), out, err), kOutputFailedStatus);
    EXPECT_NE(err.str().find("could not be written"), std::string::npos);
}

// ---- The collection PDF -------------------------------------------------------------------------

// The PDF is never written over a patch it is made of, by whatever name it is given; the output
// named like a patch file is the first patch taken for the PDF's forgotten name.
TEST_F(DumpTest, TheSheetPdfIsNeverWrittenOverAPatchGiven) {
    const std::string a = File("a.rp350p", PatchBuilder().Bytes());
    const std::string notPatch = File("in.pdf", "not a patch");
    const std::string inSet =
        File(PathBytes(std::filesystem::path("set") / "B.RP350P"), PatchBuilder().Bytes());
    const std::string set = PathBytes(folder / "set");
    const std::string hard = PathBytes(folder / "hard.pdf"), link = PathBytes(folder / "link.pdf");
    std::error_code ec;
    std::filesystem::create_hard_link(PathFromBytes(a), PathFromBytes(hard), ec);
    const bool linked = test::MakeLink(PathFromBytes(inSet), PathFromBytes(link), test::LinkTo::File);
    const std::string patchName = "the name of a patch file, not of a PDF (the PDF's name comes first: "
                                  "--sheet-pdf OUT.pdf FILE_OR_FOLDER...)";
    const struct {
        std::vector<std::string> files;
        std::string reason;
        bool possible = true;
    } refused[] = {
        {{a, set}, patchName},
        {{"x.Rp250P", a}, patchName},
        {{"y.RP150p", a}, patchName},
        {{PathBytes(folder / "." / "in.pdf"), notPatch}, "it is " + notPatch + ", one of the files given"},
        {{hard, a}, "it is " + a + ", one of the files given", !ec},
        {{link, set}, "it is " + inSet + ", a patch file of a folder given", linked},
        {{set, a}, "it is a folder"},
    };
    for (const auto &run : refused) {
        if (!run.possible)
            continue;
        std::vector<std::string> args{"--sheet-pdf"};
        args.insert(args.end(), run.files.begin(), run.files.end());
        const CommandLine command = ParseCommandLine(args);
        ASSERT_EQ(command.mode, CommandLine::Mode::SheetPdf);
        std::ostringstream err;
        EXPECT_EQ(CheckOutputFile(command, err), 2) << run.files[0];
        EXPECT_EQ(err.str(), "patchlens: " + run.files[0] + ": not written: " + run.reason + "\n");
    }
    EXPECT_EQ(Read(PathFromBytes(a)), PatchBuilder().Bytes());
    // A new name, or a file that is none of the patches, may be written.
    for (const std::string &output : {PathBytes(folder / "new.pdf"), notPatch}) {
        std::ostringstream err;
        EXPECT_EQ(CheckOutputFile(ParseCommandLine({"--sheet-pdf", output, a, set}), err), 0)
            << err.str();
    }
}

// ---- The search mode ----------------------------------------------------------------------------

std::string DistortionPatch(const char *enable, const char *model) {
    PatchBuilder builder;
    builder.Param("2433", "Dist Enable", enable).Param("2432", "Dist Type", model);
    return builder.Bytes();
}

// The matching paths level by level on stdout, the last status on stderr; a refused search gives
// its message and status 1.
TEST_F(DumpTest, SearchPrintsTheMatchingPathsAndTheStatusOnStderr) {
#ifdef _WIN32
    // Names are UTF-16 here and reach the command line as text: the search tests cover odd names.
    const std::string top = File("cafe.rp350p", DistortionPatch("On", "Screamer"));
#else
    const std::string top = File("caf\xe9.rp350p", DistortionPatch("On", "Screamer")); // not UTF-8
#endif
    File("off.rp350p", DistortionPatch("Off", "Screamer"));
    const std::string deep =
        File(PathBytes(std::filesystem::path("sub") / "deep.rp350p"), DistortionPatch("On", "Screamer"));
    std::filesystem::create_directories(folder / "empty");
    const std::string path = folder.string(), last = "Last Patch: 2 -> " + deep + "\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } runs[] = {
        {{"--search", path, "--module", "Distortion", "--model", "Screamer"}, 0, top + "\n" + deep + "\n",
         last},
        {{"--search", path, "--module", "Distortion", "--model", "Rodent"}, 0, "", last},
        {{"--search", path + "/empty", "--module", "Delay", "--model", "Tape"}, 0, "", "No Patches Found!\n"},
        {{"--search", path + "/missing", "--module", "Delay", "--model", "Tape"}, 1, "",
         "Could not find Search Path!\n"},
        {{"--search", path, "--module", "Select Model", "--model", "Tape"}, 1, "", "Select Model\n"},
        {{"--search", path, "--module", "Delay", "--model", "Select Type"}, 1, "", "Select Type\n"},
        // A trailing separator names the folder; names are taken in any case.
        {{"--search", path + "/", "--module", "distortion", "--model", "SCREAMER"}, 0,
         top + "\n" + deep + "\n", last},
    };
    for (const auto &run : runs) {
        std::string out, err;
        EXPECT_EQ(Run(run.args, out, err), run.status) << run.err;
        EXPECT_EQ(out, run.out);
        EXPECT_EQ(err, run.err);
    }
}

// ---- Comparing two patches -----------------------------------------------------------------------

TEST_F(DumpTest, CompareShowsNamesEscapedAndExitsAsDiffDoes) {
    PatchBuilder builder;
    builder.name = "Blues\x1b";
    const std::string a = File("a.rp350p", builder.Bytes());
    const std::string copy = File("copy.rp350p", builder.Bytes());
    const std::string b = File("b.rp350p", builder.Param("64", "Pickup Type", "SC&gt;HB").Bytes());
    std::string out, err;
    EXPECT_EQ(Run({"--compare", a, copy}, out, err), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(Run({"--compare", a, b}, out, err), 1);
    EXPECT_NE(out.find("A: Blues\\x1b  B: Blues\\x1b\nPickup"), std::string::npos) << out;
    EXPECT_EQ(Run({"--compare", "--json", a, b}, out, err), 1);
    EXPECT_NE(out.find("\"name\": \"Blues\\u001b\"}, \"b\""), std::string::npos) << out;
    // A file refused or unreadable is trouble, as for diff.
    PatchBuilder newer;
    newer.schemaVersion = "1.3";
    const std::string refused = File("newer.rp350p", newer.Bytes());
    const std::string missing = (folder / "missing.rp350p").string();
    EXPECT_EQ(Run({"--compare", "--json", refused, missing}, out, err), 2);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, refused + ": Wrong Schema Version!: 1.3\nProgram Supports Version : 1.2\nAsk for New "
                             "Version.\n" + missing + ": cannot read file: no such file\n");
}

} // namespace
} // namespace patchlens
