// The patch file reader: lines, schema version, name, and the parameter lookup with its
// name-line rules for ids that several modules share.

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "file_system_support.h"
#include "patch/decode.h"
#include "patch/patch_text.h"
#include "patch_builder.h"
#include "temp_folder.h"
#include "unprivileged.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace patchlens {
namespace {

using test::PatchBuilder;

// Patch bytes holding the records given as id, name line, text.
std::string Records(std::initializer_list<std::array<const char *, 3>> records) {
    PatchBuilder builder;
    for (const auto &[id, name, text] : records)
        builder.Param(id, name, text);
    return builder.Bytes();
}

TEST(Lines, OnlyCrLfEndsALine) {
    const std::string bytes = "one\r\ntwo\rstill two\nstill\r\n\r\nlast";
    LineReader lines(bytes);
    for (const std::string_view line : {"one", "two\rstill two\nstill", "", "last", "", ""})
        EXPECT_EQ(lines.Next(), line);
    LineReader ends("ends\r\n");
    EXPECT_EQ(ends.Next(), "ends");
    EXPECT_EQ(ends.Next(), ""); // the empty last line behind the final CR LF
    EXPECT_EQ(LineReader("a\r\nb", 3).Next(), "b");
    EXPECT_EQ(LineReader("a\r\nb", 9).Next(), "");
}

// The text between the first two quotes of line 2, compared as unsigned bytes with "1.2".
TEST(SchemaVersion, TakenFromLine2AndComparedAsTextAgainst1_2) {
    for (const char *accepted : {"1.2", "1.1", "1.19", "0.9", "", "1.", "1.1999"}) {
        PatchBuilder patch;
        patch.schemaVersion = accepted;
        EXPECT_TRUE(CheckSchemaVersion(patch.Bytes()).ok()) << accepted;
    }
    for (const char *refused : {"1.20", "1.21", "1.3", "2.0", "10", "1.2 ", "1.\xE9"}) {
        PatchBuilder patch;
        patch.schemaVersion = refused;
        const Status verdict = CheckSchemaVersion(patch.Bytes());
        ASSERT_FALSE(verdict.ok()) << refused;
        EXPECT_EQ(verdict.error().kind(), ErrorKind::Refused);
        EXPECT_EQ(verdict.message(), "Wrong Schema Version!: " + std::string(refused) +
                                         "\r\nProgram Supports Version : 1.2\r\nAsk for New Version.");
    }
    EXPECT_EQ(CheckSchemaVersion("x\r\n<Root SchemaVersion=\"1.3\r\n").message(), // no closing quote
              "Wrong Schema Version!: 1.3\r\nProgram Supports Version : 1.2\r\nAsk for New Version.");
    EXPECT_TRUE(CheckSchemaVersion("x\r\n<Root a=\"0.1\" SchemaVersion=\"9.9\">\r\n").ok());
    EXPECT_TRUE(CheckSchemaVersion("<?xml?>\n<R SchemaVersion=\"1.3\">\n").ok()); // LF only: one line
    EXPECT_TRUE(CheckSchemaVersion("").ok()); // an unreadable file decodes as empty
}

TEST(PatchName, TagsRemovedBeforeTrimming) {
    EXPECT_EQ(ReadPatchName("1\r\n2\r\n   <Name> Clean Lead </Name>  \r\n"), "Clean Lead");
    EXPECT_EQ(ReadPatchName("1\r\n2\r\n\tNo tags here \r\n"), "No tags here");
    EXPECT_EQ(ReadPatchName("1\r\n2\r\n<Name>Tom &amp; Jerry</Name>\r\n"), "Tom &amp; Jerry");
    EXPECT_EQ(ReadPatchName("1\r\n2\r\n<Name><Name>Twice</Name></Name>\r\n"), "Twice");
    EXPECT_EQ(ReadPatchName("only one line"), "");
    EXPECT_EQ(ReadPatchName("<?xml?>\n<R>\n<Name>X</Name>\n"), "");
}

// The key anchored by both tags, the value line trimmed before its tags are removed, and the
// name-line rules for the ids several modules share.
TEST(FindParameter, KeysValuesAndTheNameLineRules) {
    const std::string anchored = Records({{"164", "a", "one"}, {"640", "b", "six"}, {"64", "c", "S"}});
    const std::string untested = Records({{"2434", "Amp A Gain", "first"}, {"2434", "Dist Drive", "second"}});
    const std::string shared = Records({{"2497", "Amp A Gain", "30"},
                                        {"2497", "Amp B Gain", "75"},
                                        {"2560", "Cab A Type", "Twin 2x12"},
                                        {"2560", "Cab B Type", "Fane 4x12"}});
    const std::string thrice =
        Records({{"8260", "LFO2 Max", "a"}, {"8260", "LFO2 Max", "b"}, {"8260", "LFO1 Max", "c"}});
    const std::string lfOnly = "<ID>65</ID>\np\nv\nn\n<Text>On</Text>\n";
    const struct {
        std::string bytes;
        const char *context, *id;
        bool found;
        const char *value;
    } cases[] = {
        {"<ID>3203</ID>\r\np\r\nv\r\nEQ A Bass\r\n\t\t<Text> 12 dB</Text>\r\n", "", "3203", true, " 12 dB"},
        {"<ID>7</ID>\r\np\r\nv\r\nn\r\n  no tags  \r\n", "", "7", true, "no tags"},
        {anchored, "", "64", true, "S"},
        {anchored, "", "640", true, "six"},
        {anchored, "", "6", false, ""},
        {untested, "Distortion", "2434", true, "first"}, // contexts without a rule: the first record
        {untested, "Expression", "2434", true, "first"},
        {shared, "Amp A", "2497", true, "30"},
        {shared, "Amp B", "2497", true, "75"},
        {shared, "Amp A", "2560", true, "Twin 2x12"},
        {shared, "Amp B", "2560", true, "Fane 4x12"},
        {Records({{"2560", "Amp A Type", "x"}, {"2560", "Amp A Type Cab", "y"}}), "Amp A", "2560", false, ""},
        {Records({{"2497", "Cab A Type", "x"}}), "Amp A", "2497", false, ""}, // no amplifier name
        {thrice, "LFO1", "8260", false, ""}, // a third occurrence is never examined
        {thrice, "LFO2", "8260", true, "a"},
        // The Wah's second occurrence needs "Wah Min"; at the first any of its four names will do.
        {Records({{"8196", "Expression Max", "99"}, {"8196", "Wah Max", "80"}}), "Wah", "8196", false, ""},
        {Records({{"8196", "Expression Max", "99"}, {"8196", "Wah Min", "80"}}), "Wah", "8196", true, "80"},
        {Records({{"8196", "Wah Vol. Boost", "5"}}), "Wah", "8196", true, "5"},
        // The key inside the rejected record's own lines is skipped.
        {"<ID>2498</ID>\r\n<ID>2498</ID>\r\nv\r\nAmp A Level\r\n<Text>1</Text>\r\n"
         "<ID>2498</ID>\r\np\r\nv\r\nAmp B Level\r\n<Text>2</Text>\r\n",
         "Amp B", "2498", true, "2"},
        // Cut off at the end: a value line beyond it is empty; a name line beyond it fails every test.
        {"<ID>5</ID>\r\np\r\nv\r\nname", "", "5", true, ""},
        {"<ID>2497</ID>\r\np\r\nv", "Amp A", "2497", false, ""},
        {"<ID>2497</ID>\r\np\r\nv", "", "2497", true, ""},
        {lfOnly, "", "65", true, ""}, // a file with LF line ends is one line
        {lfOnly, "LFO1", "65", false, ""},
    };
    for (const auto &c : cases) {
        const std::optional<std::string> found = FindParameter(MakePatchText(c.bytes), c.context, c.id);
        EXPECT_EQ(found.has_value(), c.found) << c.context << " " << c.id << " in " << c.bytes;
        EXPECT_EQ(found.value_or(""), c.value) << c.context << " " << c.id << " in " << c.bytes;
    }
}

// The index must give exactly what scanning gives, for any text and any id.
TEST(FindParameter, IndexedLookupEqualsScanningOnRandomPatches) {
    std::mt19937 random(20261206);
    // Short ids and ids too long to be held whole in the index, some sharing their first bytes.
    const std::vector<std::string> ids = {"2497",    "2560",      "8196", "8258",     "3203",     "64",
                                          "65",      "2433",      "0",    "12345",    "1234567",  "12345678",
                                          "1234568", "123456789", "",     "24972497", "249724970"};
    const std::vector<std::string> names = {
        "Amp A Gain", "Amp B Gain",  "Cab A Type", "Cab B Type", "Wah Min",
        "LFO1 Speed", "LFO2 Assign", "EQ B Bass",  "Dist Drive", ""};
    const std::vector<std::string> contexts = {"",     "Wah",  "Amp A", "Amp B", "EQ A",
                                               "EQ B", "LFO1", "LFO2",  "Delay"};
    auto pick = [&](const std::vector<std::string> &from) { return from[random() % from.size()]; };
    for (int round = 0; round < 400; ++round) {
        std::string bytes = "x\r\ny\r\nz\r\n";
        for (int r = static_cast<int>(random() % 12); r > 0; --r) {
            const std::string key = "<ID>" + pick(ids) + "</ID>\r\n";
            const std::string rest =
                "p\r\nv\r\n" + pick(names) + "\r\n<Text>" + std::to_string(r) + "</Text>\r\n";
            const unsigned kind = random() % 4; // a record cut short, a key inside a key, a whole record
            bytes += kind == 0 ? key : kind == 1 ? "<ID>" + key + rest : key + rest;
        }
        if (random() % 3 == 0)
            bytes.resize(random() % (bytes.size() + 1));
        const PatchText text = MakePatchText(bytes);
        for (const std::string &context : contexts)
            for (const std::string &id : ids)
                ASSERT_EQ(FindParameter(text, context, id), FindParameterByScan(text, context, id))
                    << bytes << context << id;
    }
}

// A text copied or moved keeps an index of its own bytes, and gives its bytes back whole.
TEST(FindParameter, ACopiedTextFindsWhatTheOriginalFinds) {
    auto original = std::make_unique<PatchText>(
        MakePatchText(PatchBuilder().Param("1", "padding", "x").Param("65", "a", "Off").Bytes()));
    const PatchText copy = *original;
    PatchText moved = std::move(*original);
    original.reset();
    EXPECT_EQ(FindParameter(copy, "", "65"), "Off");
    EXPECT_EQ(FindParameter(moved, "", "65"), "Off");
    const std::string bytes = std::move(moved).TakeBytes();
    EXPECT_EQ(bytes, copy.bytes());
    EXPECT_EQ(FindParameter(moved, "", "65"), std::nullopt);
}

class ReadPatchFileTest : public test::TempFolder {};

// Every byte as it is; a missing file, a folder, a FIFO nobody writes into, a device that never
// ends and a file the user may not read read as empty with a reason; nothing is created or waited for.
TEST_F(ReadPatchFileTest, ReadsEveryByteOrNothingWithAReason) {
    const std::string bytes("a\r\n\0b\xff\xfe\r\r\n\n\0", 12);
    const Result<PatchText> text = ReadPatchFile(Write("p.rp350p", bytes));
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(text->bytes(), bytes);
    EXPECT_EQ(ReadPatchFile(folder / "missing.rp350p").error().kind(), ErrorKind::NotFound);
    EXPECT_EQ(ReadPatchFile(folder).error().kind(), ErrorKind::Unreadable);
    std::vector<std::filesystem::path> unreadable = {folder / "missing.rp350p", folder};
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((folder / "pipe.rp350p").c_str(), 0600), 0);
    unreadable.insert(unreadable.end(), {folder / "pipe.rp350p", "/dev/zero"});
#endif
    for (const auto &path : unreadable) {
        const Result<PatchText> read = ReadPatchFile(path);
        EXPECT_EQ(read.value_or({}).bytes(), "") << path;
        EXPECT_NE(read.message(), "") << path;
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "missing.rp350p"));
    if (!test::kPermissionsLockAccess)
        GTEST_SKIP() << test::kNoAccessPermissions;
    std::filesystem::permissions(folder, std::filesystem::perms::all);
    std::filesystem::permissions(folder / "p.rp350p", std::filesystem::perms::none);
    EXPECT_TRUE(test::AsUnprivileged([&] {
        const Result<PatchText> read = ReadPatchFile(folder / "p.rp350p");
        return !read.ok() && read.error().kind() == ErrorKind::Unreadable && !read.message().empty();
    }));
}

// A file far larger than any patch (a sparse terabyte) is refused by its size before a byte is
// read, and decodes as the empty patch; one just over the limit likewise.
TEST_F(ReadPatchFileTest, AFileTooLargeForAPatchIsRefusedByItsSize) {
    for (const std::uintmax_t size : {kMaxPatchFileBytes + 1, std::uintmax_t{1} << 40}) {
        const auto path = folder / "huge.rp350p";
        std::ofstream(path, std::ios::binary).put('x');
        std::error_code ec;
        test::ResizeSparse(path, size, ec);
        if (ec)
            GTEST_SKIP() << "this file system takes no file of " << size << " bytes: " << ec.message();
        Patch patch;
        const Status outcome = LoadPatchFile(patch, path);
        ASSERT_FALSE(outcome.ok());
        EXPECT_EQ(outcome.error().kind(), ErrorKind::TooLarge);
        EXPECT_NE(outcome.message().find(std::to_string(size) + " bytes"), std::string::npos)
            << outcome.message();
        EXPECT_EQ(patch.panels[IndexOf(Module::Pickup)].list.lines, std::vector<std::string>{"NOTFND"});
    }
}

} // namespace
} // namespace patchlens
