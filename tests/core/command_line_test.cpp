// The command line: options, exit statuses, and the dump's JSON and text forms.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "command_line.h"
#include "patch_builder.h"
#include "patch_dump.h"

namespace patchlens {
namespace {

using test::PatchBuilder;

TEST(ParseCommandLine, Modes) {
    EXPECT_EQ(ParseCommandLine({}).mode, CommandLine::Mode::Viewer);
    EXPECT_EQ(ParseCommandLine({"a.rp350p"}).mode, CommandLine::Mode::Viewer);
    EXPECT_EQ(ParseCommandLine({"--help"}).mode, CommandLine::Mode::Help);
    EXPECT_EQ(ParseCommandLine({"--version"}).mode, CommandLine::Mode::Version);
    const CommandLine dump = ParseCommandLine({"--json", "--dump", "a", "--", "--b"});
    EXPECT_EQ(dump.mode, CommandLine::Mode::Dump);
    EXPECT_TRUE(dump.json);
    EXPECT_EQ(dump.files, (std::vector<std::string>{"a", "--b"}));
}

TEST(ParseCommandLine, UsageErrors) {
    for (const auto &args :
         std::vector<std::vector<std::string>>{{"--dump"}, {"--json", "a"}, {"--frobnicate"}, {"-x"}}) {
        const CommandLine command = ParseCommandLine(args);
        EXPECT_EQ(command.mode, CommandLine::Mode::UsageError) << args[0];
        EXPECT_FALSE(command.error.empty());
        std::ostringstream out, err;
        EXPECT_EQ(RunWithoutWindow(command, out, err), 2);
        EXPECT_NE(err.str().find("Usage:"), std::string::npos);
    }
}

TEST(JsonString, EscapesAndShowsBytesByTheDisplayRule) {
    EXPECT_EQ(JsonString("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(JsonString(std::string("\r\n\t\x01\x1f", 5)), R"("\r\n\t\u0001\u001f")");
    EXPECT_EQ(JsonString(std::string("\0", 1)), R"("\u0000")");
    EXPECT_EQ(JsonString("Caf\xC3\xA9"), "\"Caf\xC3\xA9\"");               // valid UTF-8 stays
    EXPECT_EQ(JsonString("Caf\xE9 \x80"), "\"Caf\xC3\xA9 \xE2\x82\xAC\""); // otherwise Windows-1252
}

class DumpTest : public ::testing::Test {
protected:
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("patchlens-dump-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    void SetUp() override { std::filesystem::create_directories(folder); }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::string Write(const std::string &name, const std::string &bytes) {
        const auto path = folder / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    int Run(std::vector<std::string> args, std::string &out, std::string &err) {
        std::ostringstream o, e;
        const int status = RunWithoutWindow(ParseCommandLine(args), o, e);
        out = o.str();
        err = e.str();
        return status;
    }
};

TEST_F(DumpTest, JsonShapeForAnAcceptedPatch) {
    PatchBuilder builder;
    builder.name = "Clean";
    builder.Param("65", "Pickup Enable", "On").Param("64", "Pickup Type", "SC&gt;HB");
    const std::string path = Write("clean.rp350p", builder.Bytes());
    std::string out, err;
    EXPECT_EQ(Run({"--dump", "--json", path}, out, err), 0);
    EXPECT_EQ(err, "");
    const std::string start = "[{\"path\": \"" + path +
                              "\", \"refused\": false, \"name\": \"Clean\", \"modules\": "
                              "[{\"module\": \"Pickup\", \"on\": true, \"enabled\": true, \"selected\": -1, "
                              "\"lines\": [\"SC->HB\"]}, "
                              "{\"module\": \"Wah\", ";
    EXPECT_EQ(out.substr(0, start.size()), start);
    EXPECT_NE(out.find("{\"module\": \"LFO 2\", \"on\": false, \"enabled\": true, \"selected\": 0, "
                       "\"lines\": [\"\"]}]}]\n"),
              std::string::npos);
    std::size_t modules = 0;
    for (std::size_t at = out.find("\"module\""); at != std::string::npos;
         at = out.find("\"module\"", at + 1))
        ++modules;
    EXPECT_EQ(modules, 15u);
}

TEST_F(DumpTest, RefusedAndUnreadableFilesSetStatus1AndKeepThePreviousState) {
    PatchBuilder first;
    first.name = "First";
    PatchBuilder newer;
    newer.schemaVersion = "1.3";
    newer.name = "Newer";
    const std::string a = Write("a.rp350p", first.Bytes());
    const std::string b = Write("b.rp350p", newer.Bytes());
    const std::string missing = (folder / "missing.rp350p").string();
    std::string out, err;
    EXPECT_EQ(Run({"--dump", "--json", a, b, missing}, out, err), 1);
    EXPECT_EQ(err, missing + ": cannot read file\n");
    EXPECT_NE(out.find("\"refused\": true, \"message\": \"Wrong Schema Version!: 1.3\\r\\nProgram Supports "
                       "Version : 1.2\\r\\n"
                       "Ask for New Version.\", \"name\": \"First\""),
              std::string::npos);
    // The unreadable file is shown as the empty patch.
    EXPECT_NE(out.find("\"path\": \"" + missing + "\", \"refused\": false, \"name\": \"\""),
              std::string::npos);
}

TEST_F(DumpTest, NameIsDashesUntilAFileIsAccepted) {
    PatchBuilder newer;
    newer.schemaVersion = "2.0";
    const std::string b = Write("b.rp350p", newer.Bytes());
    std::string out, err;
    EXPECT_EQ(Run({"--dump", "--json", b}, out, err), 1);
    EXPECT_NE(out.find("\"name\": \"------\""), std::string::npos);
}

TEST_F(DumpTest, TextSummaryShowsLampsAndLines) {
    PatchBuilder builder;
    builder.name = "Blues";
    builder.Param("2433", "Dist Enable", "On")
        .Param("2432", "Dist Type", "Screamer")
        .Param("2434", "Dist Drive", "60");
    const std::string path = Write("blues.rp350p", builder.Bytes());
    std::string out, err;
    EXPECT_EQ(Run({"--dump", path, folder.string()}, out, err), 1); // the folder cannot be read as a file
    EXPECT_EQ(err, folder.string() + ": cannot read file\n");
    EXPECT_NE(out.find("Patch name: Blues"), std::string::npos);
    EXPECT_NE(out.find("[x] DISTORTION"), std::string::npos);
    EXPECT_NE(out.find("[ ] WAH"), std::string::npos);
    EXPECT_NE(out.find("SCREAM"), std::string::npos);
    EXPECT_NE(out.find("DRIVE_= 60"), std::string::npos);
    for (const char *caption : {"PICKUP", "NOISE GATE", "Expression", "AMPLIFIER B", "LFO 2"})
        EXPECT_NE(out.find(caption), std::string::npos) << caption;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(line.empty() || line.back() != ' ') << line;
}

} // namespace
} // namespace patchlens
