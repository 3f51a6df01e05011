// The patch file reader: lines, schema version, name, and the parameter lookup with its
// name-line rules for ids that several modules share.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "file_system_support.h"
#include "patch/decode.h"
#include "patch/patch_text.h"
#include "patch_builder.h"
#include "unprivileged.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace patchlens {
namespace {

using test::PatchBuilder;

FoundValue Find(const std::string &bytes, std::string_view context, std::string_view id) {
    PatchText text = MakePatchText(bytes);
    return FindParameter(text, context, id);
}

TEST(Lines, OnlyCrLfEndsALine) {
    const std::string bytes = "one\r\ntwo\rstill two\nstill\r\n\r\nlast";
    EXPECT_EQ(Line(bytes, 1), "one");
    EXPECT_EQ(Line(bytes, 2), "two\rstill two\nstill");
    EXPECT_EQ(Line(bytes, 3), "");
    EXPECT_EQ(Line(bytes, 4), "last");
    EXPECT_EQ(Line(bytes, 5), "");
    EXPECT_EQ(Line(bytes, 0), "");
    EXPECT_EQ(Line("ends\r\n", 2), ""); // the empty last line behind the final CR LF
}

TEST(Lines, ReadLineMovesTheCursorAndStopsAtTheEnd) {
    PatchText text = MakePatchText("a\r\nb\r\nc");
    EXPECT_EQ(ReadLine(text), "a");
    EXPECT_EQ(text.cursor, 3u);
    EXPECT_EQ(ReadLine(text), "b");
    EXPECT_EQ(ReadLine(text), "c");
    EXPECT_EQ(text.cursor, 7u);
    EXPECT_EQ(ReadLine(text), "");
    EXPECT_EQ(ReadLine(text), "");
    EXPECT_EQ(text.cursor, 7u);
}

TEST(SchemaVersion, ComparedAsTextAgainst1_2) {
    for (const char *accepted : {"1.2", "1.1", "1.19", "0.9", "", "1.", "1.1999"}) {
        PatchBuilder patch;
        patch.schemaVersion = accepted;
        EXPECT_TRUE(CheckSchemaVersion(patch.Bytes()).accepted) << accepted;
    }
    for (const char *refused : {"1.20", "1.21", "1.3", "2.0", "10", "1.2 "}) {
        PatchBuilder patch;
        patch.schemaVersion = refused;
        const SchemaVerdict verdict = CheckSchemaVersion(patch.Bytes());
        EXPECT_FALSE(verdict.accepted) << refused;
        EXPECT_EQ(verdict.message, "Wrong Schema Version!: " + std::string(refused) +
                                       "\r\nProgram Supports Version : 1.2\r\nAsk for New Version.");
    }
}

TEST(SchemaVersion, ComparesBytesAsUnsigned) {
    // A high byte sorts after every ASCII digit: "1.\xE9" is newer than "1.2".
    EXPECT_FALSE(CheckSchemaVersion("x\r\nv=\"1.\xE9\"\r\n").accepted);
}

TEST(SchemaVersion, TakenBetweenTheFirstTwoQuotesOfLine2) {
    EXPECT_EQ(CheckSchemaVersion("x\r\n<Root SchemaVersion=\"1.3\r\n").version, "1.3"); // no closing quote
    EXPECT_EQ(CheckSchemaVersion("x\r\n<Root a=\"0.1\" SchemaVersion=\"9.9\">\r\n").version, "0.1");
    EXPECT_EQ(CheckSchemaVersion("x\r\n<Root>\r\n").version, "");
    EXPECT_TRUE(CheckSchemaVersion("").accepted); // an unreadable file decodes as empty
}

TEST(PatchName, TagsRemovedBeforeTrimming) {
    EXPECT_EQ(ReadPatchName("1\r\n2\r\n   <Name> Clean Lead </Name>  \r\n"), "Clean Lead");
    EXPECT_EQ(ReadPatchName("1\r\n2\r\n\tNo tags here \r\n"), "No tags here");
    EXPECT_EQ(ReadPatchName("1\r\n2\r\n<Name>Tom &amp; Jerry</Name>\r\n"), "Tom &amp; Jerry");
    EXPECT_EQ(ReadPatchName("1\r\n2\r\n<Name><Name>Twice</Name></Name>\r\n"), "Twice");
    EXPECT_EQ(ReadPatchName("only one line"), "");
}

TEST(FindParameter, ValueTrimmedBeforeTagsAreRemoved) {
    const std::string bytes = "<ID>3203</ID>\r\np\r\nv\r\nEQ A Bass\r\n\t\t<Text> 12 dB</Text>\r\n"
                              "<ID>7</ID>\r\np\r\nv\r\nn\r\n  no tags  \r\n";
    EXPECT_EQ(Find(bytes, "", "3203").value, " 12 dB");
    EXPECT_EQ(Find(bytes, "", "7").value, "no tags");
}

TEST(FindParameter, KeyIsAnchoredByBothTags) {
    const std::string bytes =
        PatchBuilder().Param("164", "a", "one").Param("640", "b", "six").Param("64", "c", "S").Bytes();
    EXPECT_EQ(Find(bytes, "", "64").value, "S");
    EXPECT_EQ(Find(bytes, "", "640").value, "six");
    EXPECT_FALSE(Find(bytes, "", "6").found);
}

TEST(FindParameter, ContextsWithoutRuleTakeTheFirstRecordUntested) {
    const std::string bytes =
        PatchBuilder().Param("2434", "Amp A Gain", "first").Param("2434", "Dist Drive", "second").Bytes();
    EXPECT_EQ(Find(bytes, "Distortion", "2434").value, "first");
    EXPECT_EQ(Find(bytes, "", "2434").value, "first");
    EXPECT_EQ(Find(bytes, "Expression", "2434").value, "first");
}

TEST(FindParameter, SharedIdsToldApartByTheNameLine) {
    const std::string bytes = PatchBuilder()
                                  .Param("2497", "Amp A Gain", "30")
                                  .Param("2497", "Amp B Gain", "75")
                                  .Param("2560", "Cab A Type", "Twin 2x12")
                                  .Param("2560", "Cab B Type", "Fane 4x12")
                                  .Bytes();
    EXPECT_EQ(Find(bytes, "Amp A", "2497").value, "30");
    EXPECT_EQ(Find(bytes, "Amp B", "2497").value, "75");
    EXPECT_EQ(Find(bytes, "Amp A", "2560").value, "Twin 2x12");
    EXPECT_EQ(Find(bytes, "Amp B", "2560").value, "Fane 4x12");
}

TEST(FindParameter, CabinetIdAcceptsOnlyTheCabinetName) {
    const std::string bytes =
        PatchBuilder().Param("2560", "Amp A Type", "x").Param("2560", "Amp A Type Cab", "y").Bytes();
    EXPECT_FALSE(Find(bytes, "Amp A", "2560").found);
    const std::string other = PatchBuilder().Param("2497", "Cab A Type", "x").Bytes();
    EXPECT_FALSE(Find(other, "Amp A", "2497").found); // "Cab A Type" is no amplifier name
}

TEST(FindParameter, AThirdOccurrenceIsNeverExamined) {
    const std::string bytes = PatchBuilder()
                                  .Param("8260", "LFO2 Max", "a")
                                  .Param("8260", "LFO2 Max", "b")
                                  .Param("8260", "LFO1 Max", "c")
                                  .Bytes();
    EXPECT_FALSE(Find(bytes, "LFO1", "8260").found);
    EXPECT_EQ(Find(bytes, "LFO2", "8260").value, "a");
}

TEST(FindParameter, WahSecondOccurrenceNeedsWahMin) {
    const std::string rejected =
        PatchBuilder().Param("8196", "Expression Max", "99").Param("8196", "Wah Max", "80").Bytes();
    EXPECT_FALSE(Find(rejected, "Wah", "8196").found);
    const std::string accepted =
        PatchBuilder().Param("8196", "Expression Max", "99").Param("8196", "Wah Min", "80").Bytes();
    EXPECT_EQ(Find(accepted, "Wah", "8196").value, "80");
    // At the first occurrence any of the four names will do.
    const std::string first = PatchBuilder().Param("8196", "Wah Vol. Boost", "5").Bytes();
    EXPECT_EQ(Find(first, "Wah", "8196").value, "5");
}

TEST(FindParameter, SecondOccurrenceIsSearchedBehindTheRejectedRecord) {
    // The key appears again inside the rejected record's own lines: that copy is skipped.
    const std::string bytes = "<ID>2498</ID>\r\n<ID>2498</ID>\r\nv\r\nAmp A Level\r\n<Text>1</Text>\r\n"
                              "<ID>2498</ID>\r\np\r\nv\r\nAmp B Level\r\n<Text>2</Text>\r\n";
    EXPECT_EQ(Find(bytes, "Amp B", "2498").value, "2");
}

TEST(FindParameter, RecordsCutOffAtTheEndOfTheText) {
    // The value line lies beyond the end: found, empty.
    EXPECT_EQ(Find("<ID>5</ID>\r\np\r\nv\r\nname", "", "5").found, true);
    EXPECT_EQ(Find("<ID>5</ID>\r\np\r\nv\r\nname", "", "5").value, "");
    // The name line lies beyond the end: every name test fails.
    EXPECT_FALSE(Find("<ID>2497</ID>\r\np\r\nv", "Amp A", "2497").found);
    EXPECT_TRUE(Find("<ID>2497</ID>\r\np\r\nv", "", "2497").found);
}

TEST(FindParameter, LfOnlyFileIsOneLine) {
    const std::string bytes =
        "<?xml?>\n<R SchemaVersion=\"1.2\">\n<Name>X</Name>\n<ID>65</ID>\np\nv\nn\n<Text>On</Text>\n";
    EXPECT_EQ(CheckSchemaVersion(bytes).version, "");
    EXPECT_EQ(ReadPatchName(bytes), "");
    const FoundValue untested = Find(bytes, "", "65");
    EXPECT_TRUE(untested.found);
    EXPECT_EQ(untested.value, "");
    EXPECT_FALSE(Find(bytes, "LFO1", "65").found);
}

// The index must give exactly what scanning gives, for any text and any id.
TEST(FindParameter, IndexedLookupEqualsScanningOnRandomPatches) {
    std::mt19937 random(20261206);
    const std::vector<std::string> ids = {"2497", "2560", "8196", "8258", "3203",
                                          "64",   "65",   "2433", "0",    "12345"};
    const std::vector<std::string> names = {
        "Amp A Gain", "Amp B Gain",  "Cab A Type", "Cab B Type", "Wah Min",
        "LFO1 Speed", "LFO2 Assign", "EQ B Bass",  "Dist Drive", ""};
    const std::vector<std::string> contexts = {"",     "Wah",  "Amp A", "Amp B", "EQ A",
                                               "EQ B", "LFO1", "LFO2",  "Delay"};
    auto pick = [&](const std::vector<std::string> &from) { return from[random() % from.size()]; };
    for (int round = 0; round < 400; ++round) {
        std::string bytes = "x\r\ny\r\nz\r\n";
        const int records = static_cast<int>(random() % 12);
        for (int r = 0; r < records; ++r) {
            switch (random() % 4) {
            case 0:
                bytes += "<ID>" + pick(ids) + "</ID>\r\n";
                break; // a record cut short
            case 1:
                bytes +=
                    "<ID><ID>" + pick(ids) + "</ID>\r\np\r\nv\r\n" + pick(names) + "\r\n<Text>w</Text>\r\n";
                break;
            default:
                bytes += "<ID>" + pick(ids) + "</ID>\r\np\r\nv\r\n" + pick(names) + "\r\n<Text>" +
                         std::to_string(r) + "</Text>\r\n";
            }
        }
        if (random() % 3 == 0)
            bytes.resize(random() % (bytes.size() + 1));
        PatchText text = MakePatchText(bytes);
        std::vector<std::string_view> indexed(ids.begin(), ids.end() - 1); // "12345" stays unindexed
        IndexParameters(text, indexed);
        for (const std::string &context : contexts) {
            for (const std::string &id : ids) {
                const FoundValue viaIndex = FindParameter(text, context, id);
                const FoundValue viaScan = FindParameterByScan(text, context, id);
                ASSERT_EQ(viaIndex.found, viaScan.found) << bytes << context << id;
                ASSERT_EQ(viaIndex.value, viaScan.value) << bytes << context << id;
            }
        }
    }
}

TEST(FindParameter, IndexOfAnotherTextIsNotUsed) {
    PatchText first = MakePatchText(PatchBuilder().Param("65", "a", "On").Bytes());
    IndexParameters(first, DecodedParameterIds());
    PatchText second =
        MakePatchText(PatchBuilder().Param("1", "padding", "x").Param("65", "a", "Off").Bytes());
    second.index = first.index; // describes other bytes
    EXPECT_EQ(FindParameter(second, "", "65").value, "Off");
}

class ReadPatchFileTest : public ::testing::Test {
protected:
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("patchlens-reader-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    void SetUp() override { std::filesystem::create_directories(folder); }
    void TearDown() override { std::filesystem::remove_all(folder); }
};

TEST_F(ReadPatchFileTest, ReadsEveryByteUnchanged) {
    const std::string bytes("a\r\n\0b\xff\xfe\r\r\n\n\0", 12);
    std::ofstream(folder / "p.rp350p", std::ios::binary) << bytes;
    std::string error;
    const PatchText text = ReadPatchFile(folder / "p.rp350p", &error);
    EXPECT_EQ(text.bytes, bytes);
    EXPECT_EQ(text.cursor, 0u);
    EXPECT_EQ(error, "");
}

TEST_F(ReadPatchFileTest, MissingFileAndFolderReadAsEmptyWithAReason) {
    std::string error;
    EXPECT_EQ(ReadPatchFile(folder / "missing.rp350p", &error).bytes, "");
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(folder / "missing.rp350p")); // never created
    error.clear();
    EXPECT_EQ(ReadPatchFile(folder, &error).bytes, "");
    EXPECT_FALSE(error.empty());
}

TEST_F(ReadPatchFileTest, APipeOrDeviceIsNotReadAndDoesNotHang) {
#ifndef _WIN32
    const auto fifo = folder / "pipe.rp350p";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0); // nobody ever writes into it: a read would wait forever
    std::string error;
    EXPECT_EQ(ReadPatchFile(fifo, &error).bytes, "");
    EXPECT_EQ(error, "it is not a regular file");
    EXPECT_EQ(ReadPatchFile("/dev/zero", &error).bytes, ""); // a read would never end
    EXPECT_EQ(error, "it is not a regular file");
#else
    GTEST_SKIP() << "no pipes in the file system here";
#endif
}

TEST_F(ReadPatchFileTest, AnUnreadableFileReadsAsEmptyWithAReason) {
    if (!test::kPermissionsLockAccess)
        GTEST_SKIP() << test::kNoAccessPermissions;
    const auto path = folder / "locked.rp350p";
    std::ofstream(path, std::ios::binary) << "x\r\n";
    std::filesystem::permissions(folder, std::filesystem::perms::all);
    std::filesystem::permissions(path, std::filesystem::perms::none);
    EXPECT_TRUE(test::AsUnprivileged([&] {
        std::string error;
        return ReadPatchFile(path, &error).bytes.empty() && !error.empty();
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
        const LoadOutcome outcome = LoadPatchFile(patch, path);
        EXPECT_FALSE(outcome.readOk);
        EXPECT_TRUE(outcome.tooLarge);
        EXPECT_NE(outcome.readError.find(std::to_string(size) + " bytes"), std::string::npos)
            << outcome.readError;
        EXPECT_EQ(patch.panels[IndexOf(Module::Pickup)].list.lines, std::vector<std::string>{"NOTFND"});
    }
}

} // namespace
} // namespace patchlens
