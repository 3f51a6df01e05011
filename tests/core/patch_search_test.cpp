// The patch search: the searchable modules, the refusals, the breadth-first tree listing with its
// entry limit, the match test on the first records (in memory, in chunks, on files of any size),
// and the whole search with its status texts, its result order and its stop flag.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "file_system_support.h"
#include "patch/patch_text.h"
#include "patch_builder.h"
#include "search/patch_search.h"
#include "unprivileged.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define PATCHLENS_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define PATCHLENS_SANITIZED 1
#endif
#endif

namespace patchlens {
namespace {

namespace fs = std::filesystem;
using test::PatchBuilder;

const SearchTarget &Screamer() {
    static const SearchTarget target = MakeSearchTarget(*FindSearchModule("Distortion"), "Screamer");
    return target;
}

// A patch with its Distortion and Chorus/Fx records, in the device's layout.
std::string PatchBytes(std::string_view distEnable, std::string_view distModel,
                       std::string_view chorusEnable = "Off", std::string_view chorusModel = "CE Chorus") {
    PatchBuilder builder;
    builder.Param("65", "Pickup Enable", "On")
        .Param("2433", "Dist Enable", distEnable)
        .Param("2432", "Dist Type", distModel)
        .Param("2434", "Dist Drive", "60")
        .Param("769", "Chorus Enable", chorusEnable)
        .Param("768", "Chorus Type", chorusModel);
    return builder.Bytes();
}

// The rule read with the patch reader's own ReadLine: the fifth line from the first key.
bool ReaderVerdict(const std::string &bytes, const SearchTarget &target) {
    auto check = [&](const std::string &id, std::string_view needle) {
        const std::size_t at = bytes.find("<ID>" + id + "</ID>");
        if (at == std::string::npos)
            return false;
        PatchText text = MakePatchText(bytes);
        text.cursor = at;
        std::string_view line;
        for (int i = 0; i < 5; ++i)
            line = ReadLine(text);
        return line.find(needle) != std::string_view::npos;
    };
    return check(target.enableId, "On") && check(target.typeId, target.model);
}

bool StreamVerdict(const std::string &bytes, const SearchTarget &target, std::size_t chunk) {
    std::istringstream in(bytes);
    return AnalyzePatchStream(in, target, chunk);
}

// A folder of its own under the system's temporary folder, removed afterwards.
class TempTree : public ::testing::Test {
protected:
    fs::path root =
        fs::temp_directory_path() / ("patchlens-search-" + test::RunTag() + "-" +
                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());

    void SetUp() override {
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override {
        std::error_code ec;
        for (const fs::path &folder : lockedFolders)
            fs::permissions(folder, fs::perms::owner_all, ec);
        fs::remove_all(root, ec);
    }

    fs::path Write(const fs::path &relative, const std::string &bytes) {
        const fs::path path = root / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    fs::path Folder(const fs::path &relative) {
        fs::create_directories(root / relative);
        return root / relative;
    }
    void Lock(const fs::path &path) {
        fs::permissions(path, fs::perms::none);
        lockedFolders.push_back(path);
    }

    std::vector<fs::path> lockedFolders;
};

std::vector<fs::path> Paths(const TreeScan &scan) {
    std::vector<fs::path> paths;
    for (const TreeEntry &entry : scan.entries)
        paths.push_back(entry.path);
    return paths;
}

// ---- The searchable modules ---------------------------------------------------------------------

// The ids are what the search looks for: a wrong digit would find nothing, silently.
TEST(SearchModules, FiveModulesWithTheirIdsAndModelListsFoundByTheirWholeEntry) {
    const auto modules = SearchModules();
    const std::vector<std::tuple<std::string_view, std::string_view, std::string_view, std::size_t>>
        expected = {{"Compressor", "193", "207", 3},
                    {"Distortion", "2433", "2432", 17},
                    {"Chorus/Fx", "769", "768", 31},
                    {"Delay", "1857", "1856", 7},
                    {"Reverb", "1921", "1920", 6}};
    ASSERT_EQ(modules.size(), expected.size());
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const auto &[entry, enableId, typeId, models] = expected[i];
        EXPECT_EQ(modules[i].entry, entry);
        EXPECT_EQ(MakeSearchTarget(modules[i], "m").enableId, enableId) << entry;
        EXPECT_EQ(MakeSearchTarget(modules[i], "m").typeId, typeId) << entry;
        EXPECT_EQ(modules[i].models.size(), models) << entry;
        EXPECT_EQ(FindSearchModule(entry), &modules[i]);
    }
    EXPECT_EQ(modules[2].models[9], "Trig Phaser"); // list order, not sorted
    for (std::string_view other : {"chorus/fx", "Chorus", "Chorus/Fx ", "Select Model", "Wah", ""})
        EXPECT_EQ(FindSearchModule(other), nullptr) << other;
}

// ---- Refusals -----------------------------------------------------------------------------------

TEST_F(TempTree, RefusalsComeInTheirOrderAndNameTheControlToCorrect) {
    const fs::path file = Write("not-a-folder.rp350p", "x");
#ifdef _WIN32
    const std::string trailing = "Remove Traling '\\' character";
#else
    const std::string trailing = "Remove Traling '/' character";
#endif
    EXPECT_EQ(TrailingSeparatorMessage(), trailing);
    const auto separator = fs::path::preferred_separator;

    auto expectRefusal = [](const SearchRefusal &refusal, std::string_view message, SearchFocus focus) {
        EXPECT_TRUE(refusal.refused);
        EXPECT_EQ(refusal.message, message);
        EXPECT_EQ(refusal.focus, focus);
    };
    // The separator is tested first, even on a folder that exists and with nothing chosen.
    expectRefusal(CheckSearchStart(root.native() + separator, false, false), trailing,
                  SearchFocus::FolderField);
    expectRefusal(CheckSearchStart(fs::path::string_type(1, separator), true, true), trailing,
                  SearchFocus::FolderField);
    expectRefusal(CheckSearchStart("", true, true), kSearchPathMissingMessage, SearchFocus::FolderField);
    expectRefusal(CheckSearchStart(root / "missing", true, true), kSearchPathMissingMessage,
                  SearchFocus::FolderField);
    expectRefusal(CheckSearchStart(file, true, true), kSearchPathMissingMessage, SearchFocus::FolderField);
    expectRefusal(CheckSearchStart(root, false, false), "Select Model", SearchFocus::ModuleList);
    expectRefusal(CheckSearchStart(root, true, false), "Select Type", SearchFocus::ModelList);

    const SearchRefusal accepted = CheckSearchStart(root, true, true);
    EXPECT_FALSE(accepted.refused);
    EXPECT_EQ(accepted.message, "");
    EXPECT_EQ(accepted.focus, SearchFocus::None);

    // A link to a folder is a folder to search.
    if (!test::MakeLink(root, root / "link", test::LinkTo::Folder))
        GTEST_SKIP() << test::kNoLinks;
    EXPECT_FALSE(CheckSearchStart(root / "link", true, true).refused);
}

// ---- Which paths are patch files ----------------------------------------------------------------

TEST(IsPatchFilePath, AnExtensionAnywhereInThePathCaseSensitively) {
    for (const char *yes : {"/p/song.rp350p", "/p/old.rp350p.bak", "/p/a.rp250p", "/p/a.rp150p",
                            "/p/backup.rp350p.tar", "/p/kept.rp350p/readme.txt", "x.rp350pfoo"})
        EXPECT_TRUE(IsPatchFilePath(yes)) << yes;
    for (const char *no : {"/p/song.RP350P", "/p/song.Rp350p", "/p/song.rp450p", "/p/song.rp350", "/p/rp350p",
                           "/p/song.rp350-p", ""})
        EXPECT_FALSE(IsPatchFilePath(no)) << no;
}

// ---- The match test -----------------------------------------------------------------------------

TEST(AnalyzePatch, ModelIsASubstringOfTheModelText) {
    const SearchTarget phaser = MakeSearchTarget(*FindSearchModule("Chorus/Fx"), "Phaser");
    for (const char *model : {"Phaser", "Trig Phaser", "MXR Phaser", "EH Phaser"})
        EXPECT_TRUE(AnalyzePatch(PatchBytes("Off", "Screamer", "On", model), phaser)) << model;
    EXPECT_FALSE(AnalyzePatch(PatchBytes("Off", "Screamer", "On", "phaser"), phaser)); // case counts
    EXPECT_FALSE(AnalyzePatch(PatchBytes("Off", "Screamer", "On", "Flanger"), phaser));

    const SearchTarget trig = MakeSearchTarget(*FindSearchModule("Chorus/Fx"), "Trig Phaser");
    EXPECT_FALSE(AnalyzePatch(PatchBytes("Off", "Screamer", "On", "Phaser"), trig));
    EXPECT_TRUE(
        AnalyzePatch(PatchBytes("On", "808", "Off", "Flanger"), MakeSearchTarget(SearchModules()[1], "808")));
}

TEST(AnalyzePatch, ModuleMustBeOnAsWrittenInTheFirstEnableRecord) {
    EXPECT_TRUE(AnalyzePatch(PatchBytes("On", "Screamer"), Screamer()));
    EXPECT_FALSE(AnalyzePatch(PatchBytes("Off", "Screamer"), Screamer()));
    EXPECT_FALSE(AnalyzePatch(PatchBytes("ON", "Screamer"), Screamer()));
    // The value line is taken raw: any "On" in it will do.
    EXPECT_TRUE(AnalyzePatch(PatchBytes("Only", "Screamer"), Screamer()));

    // Only the first record of each id decides.
    PatchBuilder offThenOn;
    offThenOn.Param("2433", "Dist Enable", "Off").Param("2432", "Dist Type", "Screamer");
    offThenOn.Param("2433", "Dist Enable", "On");
    EXPECT_FALSE(AnalyzePatch(offThenOn.Bytes(), Screamer()));
    PatchBuilder onThenOff;
    onThenOff.Param("2433", "Dist Enable", "On").Param("2433", "Dist Enable", "Off");
    onThenOff.Param("2432", "Dist Type", "Grunge").Param("2432", "Dist Type", "Screamer");
    EXPECT_FALSE(AnalyzePatch(onThenOff.Bytes(), Screamer())); // the first type record says Grunge
    EXPECT_TRUE(AnalyzePatch(onThenOff.Bytes(), MakeSearchTarget(SearchModules()[1], "Grunge")));
}

TEST(AnalyzePatch, KeysAreExactAndTheNameLineIsNotTested) {
    PatchBuilder wrongIds;
    wrongIds.Param("24330", "Dist Enable", "On").Param("12432", "Dist Type", "Screamer");
    EXPECT_FALSE(AnalyzePatch(wrongIds.Bytes(), Screamer()));

    PatchBuilder typeFirst; // file order does not matter; the name line says anything
    typeFirst.Param("2432", "Wah Min", "Screamer").Param("2433", "Amp A Gain", "On");
    EXPECT_TRUE(AnalyzePatch(typeFirst.Bytes(), Screamer()));

    PatchBuilder onlyEnable;
    onlyEnable.Param("2433", "Dist Enable", "On");
    EXPECT_FALSE(AnalyzePatch(onlyEnable.Bytes(), Screamer()));
    PatchBuilder onlyType;
    onlyType.Param("2432", "Dist Type", "Screamer");
    EXPECT_FALSE(AnalyzePatch(onlyType.Bytes(), Screamer()));
}

TEST(AnalyzePatch, TheValueIsTheFifthCrLfLineFromTheKey) {
    // Lines end at CR LF only; the text after the last CR LF is a line of its own.
    const std::string record = "<ID>2433</ID>\r\nb\r\nc\r\nd\r\n<Text>On</Text>";
    const std::string type = "\r\n<ID>2432</ID>\r\n\r\n\r\n\r\nScreamer";
    EXPECT_TRUE(AnalyzePatch(record + type, Screamer()));
    EXPECT_FALSE(AnalyzePatch("<ID>2433</ID>\r\nb\r\nc\r\n<Text>On</Text>\r\nOff" + type, Screamer()));
    EXPECT_FALSE(AnalyzePatch("<ID>2433</ID>\r\nb\r\nc\r\nd\r\ne\r\nOn" + type, Screamer()));
    // A lone CR or LF does not end a line: the LF-only file is one line, its value line empty.
    const std::string lfOnly = "<ID>2433</ID>\nb\nc\nd\n<Text>On</Text>\n<ID>2432</ID>\n\n\n\nScreamer";
    EXPECT_FALSE(AnalyzePatch(lfOnly, Screamer()));
    EXPECT_TRUE(AnalyzePatch("<ID>2433</ID>\r\nb\r\nc\r\nd\r\n\tOff\rOn\r\n" + type, Screamer()));
    // The model must lie inside the line, not run into its CR LF.
    EXPECT_FALSE(AnalyzePatch(record + "\r\n<ID>2432</ID>\r\n\r\n\r\n\r\nScreame\r\nr",
                              MakeSearchTarget(SearchModules()[1], "Screamer")));
    // Fewer lines than five: the value line is empty.
    EXPECT_FALSE(AnalyzePatch("<ID>2433</ID>\r\nOn\r\nOn\r\nOn" + type, Screamer()));
    EXPECT_FALSE(AnalyzePatch("", Screamer()));
}

// The matcher against the patch reader's own lines, on random texts made of the pieces that
// matter, whole and in chunks as small as one byte.
TEST(AnalyzePatch, AgreesWithThePatchReaderWholeAndInEveryChunkSize) {
    const std::vector<std::string> pieces = {
        "<ID>1</ID>", "<ID>2</ID>", "<ID>1", "</ID>", "<ID>", "\r\n", "\r\n", "\r", "\n", "On", "O", "n",
        "Ab", "A", "b", "x", "yy", std::string(1, '\0'),
        // near misses of the keys, which share the bytes the fast scan looks at first
        "<ID>11</ID>", "<ID>21</ID>", "<ID>1</ID", "<ID>2<ID>2</ID>", "<IX>1</ID>"};
    const std::vector<std::string> models = {"Ab", "A", "b\r", "\rA", "Ab\r\nx", "AbAb", "xxxxxxxxxx"};
    std::mt19937 random(20240601);
    auto pick = [&](const std::vector<std::string> &from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    };
    auto noise = [&](int most) {
        std::string bytes;
        for (int i = std::uniform_int_distribution<int>(0, most)(random); i > 0; --i)
            bytes += pick(pieces);
        return bytes;
    };
    // A record: the key, three lines, the value line; each line may hold noise, CR LFs among it.
    auto record = [&](const std::string &id, const std::string &value) {
        std::string bytes = "<ID>" + id + "</ID>";
        for (int line = 0; line < 4; ++line)
            bytes += noise(1) + "\r\n";
        return bytes + noise(1) + value + noise(1);
    };
    int matches = 0;
    for (int round = 0; round < 6000; ++round) {
        const SearchTarget target{"1", "2", models[static_cast<std::size_t>(round) % models.size()]};
        std::string bytes;
        if (round % 2 == 0) {
            bytes = noise(48);
        } else {
            const std::string enable = record("1", pick({"On", "Off", "O", "<Text>On</Text>"}));
            const std::string type = record("2", pick({target.model, "Ab", "Ab\r", "xAbx"}));
            bytes =
                noise(3) + (random() % 2 ? enable + noise(3) + type : type + noise(3) + enable) + noise(3);
        }
        const bool expected = ReaderVerdict(bytes, target);
        matches += expected ? 1 : 0;
        ASSERT_EQ(AnalyzePatch(bytes, target), expected) << ::testing::PrintToString(bytes) << target.model;
        for (std::size_t chunk : {1, 2, 3, 5, 8, 13, 4096})
            ASSERT_EQ(StreamVerdict(bytes, target, chunk), expected)
                << ::testing::PrintToString(bytes) << " model " << ::testing::PrintToString(target.model)
                << " chunk " << chunk;
    }
    // The generator reaches both verdicts often.
    EXPECT_GT(matches, 200);
    EXPECT_LT(matches, 5000);
}

// ---- The match test on files --------------------------------------------------------------------

TEST_F(TempTree, FilesThatCannotBeReadAsPatchesNeverMatch) {
    EXPECT_TRUE(AnalyzePatchFile(Write("good.rp350p", PatchBytes("On", "Screamer")), Screamer()));
    EXPECT_FALSE(AnalyzePatchFile(root / "missing.rp350p", Screamer()));
    EXPECT_FALSE(AnalyzePatchFile(Folder("folder.rp350p"), Screamer()));
}

TEST_F(TempTree, AFifoWithAPatchNameIsNotWaitedFor) {
#ifdef _WIN32
    GTEST_SKIP() << "no FIFOs in the file system here";
#else
    // A FIFO must not wait for a writer (the alarm ends the child if it does).
    const fs::path fifo = root / "pipe.rp350p";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EXIT(
        {
            ::alarm(5);
            std::_Exit(AnalyzePatchFile(fifo, Screamer()) ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
#endif
}

TEST_F(TempTree, ALinkToAPatchFileIsReadThrough) {
    const fs::path good = Write("good.rp350p", PatchBytes("On", "Screamer"));
    if (!test::MakeLink(good, root / "link.rp350p", test::LinkTo::File))
        GTEST_SKIP() << test::kNoLinks;
    EXPECT_TRUE(AnalyzePatchFile(root / "link.rp350p", Screamer()));
}

TEST_F(TempTree, APatchFileThatCannotBeOpenedNeverMatches) {
    if (!test::kPermissionsLockAccess)
        GTEST_SKIP() << test::kNoAccessPermissions;
    const fs::path good = Write("good.rp350p", PatchBytes("On", "Screamer"));
    const fs::path locked = Write("locked.rp350p", PatchBytes("On", "Screamer"));
    fs::permissions(root, fs::perms::all);
    fs::permissions(good, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(locked, fs::perms::none);
    EXPECT_TRUE(test::AsUnprivileged(
        [&] { return AnalyzePatchFile(good, Screamer()) && !AnalyzePatchFile(locked, Screamer()); }));
}

TEST_F(TempTree, RecordsAcrossTheHolesOfASparseFileAreReadAsZeroBytes) {
    // Sparse files: the zero bytes of a hole belong to the line they fall into. The bytes before
    // the hole fill whole blocks (no zero bytes stored behind them), so only the hole separates
    // them from the bytes after it.
    auto sparse = [&](const std::string &name, const std::string &before, const std::string &after) {
        const fs::path path = root / name;
        {
            std::ofstream out(path, std::ios::binary);
            out << std::string((64 << 10) - before.size(), 'x') << before;
            out.seekp(64 << 20);
            out << after;
        }
        return path;
    };
    const std::string enable = "<ID>2433</ID>\r\n2\r\n3\r\n4\r\n<Text>On</Text>\r\n";
    EXPECT_TRUE(AnalyzePatchFile(
        sparse("split.rp350p", enable + "<ID>2432</ID>\r\n2\r\n", "3\r\n4\r\nScreamer"), Screamer()));
    EXPECT_FALSE(AnalyzePatchFile(
        sparse("split-line.rp350p", enable + "<ID>2432</ID>\r\n2\r\n3\r", "\n4\r\nScreamer"), Screamer()));
    EXPECT_FALSE(AnalyzePatchFile(
        sparse("split-model.rp350p", enable + "<ID>2432</ID>\r\n2\r\n3\r\n4\r\nScre", "amer\r\n"),
        Screamer()));
    EXPECT_FALSE(AnalyzePatchFile(
        sparse("split-key.rp350p", enable + "<ID>24", "32</ID>\r\n2\r\n3\r\n4\r\nScreamer"), Screamer()));
}

#if !defined(PATCHLENS_SANITIZED)
// The memory bound is tested in a child process with a limited address space, a limit that Linux
// enforces (and measures in /proc); elsewhere only the verdict is tested.
#ifndef __linux__
constexpr const char *kNoMemoryLimit =
    "the verdict was tested, not the memory bound: no address-space limit here";
#else
// Limits this process to the address space it uses now and `more` bytes besides.
void LimitAddressSpace(std::size_t more) {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    const rlim_t bytes = pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) + more;
    const rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_AS, &limit);
}
#endif

TEST_F(TempTree, AHugeSparseFileIsExaminedWithinLittleMemory) {
    constexpr std::uintmax_t kSize = std::uintmax_t{2} << 30;
    const fs::path zeros = root / "backup.rp350p.tar";
    { std::ofstream(zeros, std::ios::binary); }
    std::error_code ec;
    test::ResizeSparse(zeros, kSize, ec);
    ASSERT_FALSE(ec) << ec.message();
    EXPECT_FALSE(AnalyzePatchFile(zeros, Screamer()));

    const fs::path atEnd = root / "tail.rp350p";
    {
        std::ofstream out(atEnd, std::ios::binary);
        out.seekp(static_cast<std::streamoff>(kSize));
        out << "\r\n" << PatchBytes("On", "Screamer");
    }
#ifndef __linux__
    EXPECT_TRUE(AnalyzePatchFile(atEnd, Screamer()));
    GTEST_SKIP() << kNoMemoryLimit;
#else
    // Less address space than the file: it can only be examined piece by piece.
    EXPECT_EXIT(
        {
            LimitAddressSpace(std::size_t{64} << 20);
            std::_Exit(AnalyzePatchFile(atEnd, Screamer()) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
#endif
}

TEST_F(TempTree, AFileLargerThanTheMemoryAllowedIsReadInPieces) {
    std::string filler; // about 70 MB of ordinary lines before the records
    for (int i = 0; i < 1 << 20; ++i)
        filler += "<Value>0</Value> padding padding padding padding padding padding padding\r\n";
    const fs::path on = Write("big.rp350p", filler + PatchBytes("On", "Screamer"));
    const fs::path off = Write("big-off.rp350p", filler + PatchBytes("Off", "Screamer"));
#ifndef __linux__
    EXPECT_TRUE(AnalyzePatchFile(on, Screamer()));
    EXPECT_FALSE(AnalyzePatchFile(off, Screamer()));
    GTEST_SKIP() << kNoMemoryLimit;
#else
    EXPECT_EXIT(
        {
            LimitAddressSpace(std::size_t{32} << 20);
            std::_Exit(AnalyzePatchFile(on, Screamer()) && !AnalyzePatchFile(off, Screamer()) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
#endif
}
#endif

// ---- The tree listing ---------------------------------------------------------------------------

TEST_F(TempTree, ListsLevelByLevelWithEachFolderTogetherInTheOrderFound) {
    for (const char *file :
         {"a.rp350p", "b.txt", "one/c.rp350p", "one/deep/d.rp350p", "one/deep/deeper/e.rp350p",
          "two/f.rp350p", "two/g.rp350p", "two/inner/h.rp350p", ".hidden.rp350p"})
        Write(file, "x");
    Folder("empty");
    const TreeScan scan = ScanFolderTree(root);
    EXPECT_TRUE(scan.overflowFolders.empty());
    EXPECT_FALSE(scan.stopped);

    std::vector<fs::path> expected;
    for (const auto &entry : fs::recursive_directory_iterator(root))
        expected.push_back(entry.path());
    std::vector<fs::path> listed = Paths(scan);
    std::sort(expected.begin(), expected.end());
    std::vector<fs::path> sorted = listed;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, expected); // every entry once, hidden ones too

    // Depth never decreases, and each folder's entries follow one another in the order in which
    // the folders themselves were listed.
    auto depth = [&](const fs::path &path) { return std::distance(path.begin(), path.end()); };
    std::vector<fs::path> parents;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        if (i > 0) {
            EXPECT_LE(depth(listed[i - 1]), depth(listed[i])) << listed[i];
        }
        if (parents.empty() || parents.back() != listed[i].parent_path())
            parents.push_back(listed[i].parent_path());
    }
    std::vector<fs::path> listedFolders = {root};
    for (const TreeEntry &entry : scan.entries)
        if (entry.isFolder && !fs::is_empty(entry.path))
            listedFolders.push_back(entry.path);
    EXPECT_EQ(parents, listedFolders);
}

TEST_F(TempTree, SkipsNamesEndingInADot) {
    // Made and removed verbatim: the usual form of a path on Windows drops the final dots.
    const std::vector<fs::path> dotted = {test::VerbatimPath(root / "dotted." / "inside.rp350p"),
                                          test::VerbatimPath(root / "dotted."),
                                          test::VerbatimPath(root / "trailing.")};
    struct Remover {
        const std::vector<fs::path> &paths;
        ~Remover() {
            std::error_code ec;
            for (const fs::path &path : paths)
                fs::remove(path, ec);
        }
    } remover{dotted};
    fs::create_directory(dotted[1]);
    std::ofstream(dotted[0], std::ios::binary) << "x";
    std::ofstream(dotted[2], std::ios::binary) << "x";
    Write(fs::path("sub") / "kept.rp350p", "x");
    ASSERT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 3);
    std::vector<fs::path> listed = Paths(ScanFolderTree(root));
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<fs::path>{root / "sub", root / "sub" / "kept.rp350p"}));
}

TEST_F(TempTree, ListsLinksToFoldersWithoutFollowingThem) {
    Write("sub/kept.rp350p", "x");
    if (!test::MakeLink(root, root / "sub" / "loop", test::LinkTo::Folder) ||
        !test::MakeLink(root / "sub", root / "sideways", test::LinkTo::Folder))
        GTEST_SKIP() << test::kNoLinks;
    const TreeScan scan = ScanFolderTree(root);
    std::map<fs::path, bool> listed;
    for (const TreeEntry &entry : scan.entries)
        listed[entry.path] = entry.isFolder;
    const std::map<fs::path, bool> expected = {{root / "sub", true},
                                               {root / "sideways", false},
                                               {root / "sub" / "kept.rp350p", false},
                                               {root / "sub" / "loop", false}};
    EXPECT_EQ(listed, expected);
}

TEST_F(TempTree, AFolderThatCannotBeReadIsSkipped) {
    if (!test::kPermissionsLockAccess)
        GTEST_SKIP() << test::kNoAccessPermissions;
    Write("open/a.rp350p", "x");
    Write("closed/b.rp350p", "x");
    Write("z.rp350p", "x");
    Lock(root / "closed");
    const std::vector<fs::path> expected = {root / "closed", root / "open", root / "open" / "a.rp350p",
                                            root / "z.rp350p"};
    EXPECT_TRUE(test::AsUnprivileged([&] {
        std::vector<fs::path> listed = Paths(ScanFolderTree(root));
        std::sort(listed.begin(), listed.end());
        return listed == expected;
    }));
}

TEST_F(TempTree, TheEntryLimitEndsTheListingOfEachFolderThatOverflows) {
    // The root holds exactly the limit; the folders waiting are listed: the empty one yields no
    // entry and is not reported, each of the others overflows once.
    Write("f1.rp350p", "x");
    Write("f2.rp350p", "x");
    Folder("empty");
    Write("full/inner/x.rp350p", "x");
    Write("fuller/y.rp350p", "x");
    Write("fuller/z.rp350p", "x");
    std::vector<fs::path> reported;
    SearchObserver observer;
    observer.onTooManyItems = [&](const fs::path &folder) { reported.push_back(folder); };
    const TreeScan scan = ScanFolderTree(root, {.entryLimit = 5}, &observer);
    EXPECT_EQ(scan.entries.size(), 5u);
    std::vector<fs::path> overflow = scan.overflowFolders;
    EXPECT_EQ(reported, overflow);
    std::sort(overflow.begin(), overflow.end());
    EXPECT_EQ(overflow, (std::vector<fs::path>{root / "full", root / "fuller"}));

    // A root with more entries than the limit keeps the first ones and reports itself; the
    // folders among the kept entries are still listed, and report in turn.
    const TreeScan small = ScanFolderTree(root, {.entryLimit = 2});
    EXPECT_EQ(small.entries.size(), 2u);
    ASSERT_FALSE(small.overflowFolders.empty());
    EXPECT_EQ(small.overflowFolders.front(), root);
    std::size_t nonEmptyKept = 0;
    for (const TreeEntry &entry : small.entries)
        nonEmptyKept += entry.isFolder && !fs::is_empty(entry.path) ? 1 : 0;
    EXPECT_EQ(small.overflowFolders.size(), 1 + nonEmptyKept);

    // The default limit is 100,001 and nothing here reaches it.
    EXPECT_EQ(kMaxTreeEntries, 100001u);
    EXPECT_TRUE(ScanFolderTree(root).overflowFolders.empty());
}

// Names are bytes on POSIX systems, where they need not be UTF-8, and UTF-16 on Windows, where
// they need not fit the code page; either way the path shows as its bytes.
TEST_F(TempTree, ANameThatIsNotUtf8IsListedAndRead) {
#ifdef _WIN32
    const std::wstring name = L"caf\u00e9 \u30ae\u30bf\u30fc \U0001F3B8.rp350p";
    const std::string nameText = "caf\xc3\xa9 \xe3\x82\xae\xe3\x82\xbf\xe3\x83\xbc \xf0\x9f\x8e\xb8.rp350p";
    const std::string expected = PathText(root) + "\\" + nameText;
#else
    const std::string name = "bad\xff\xfe name.rp350p";
    const std::string expected = root.native() + "/" + name;
#endif
    const fs::path path = Write(name, PatchBytes("On", "Screamer"));
    const TreeScan scan = ScanFolderTree(root);
    ASSERT_EQ(scan.entries.size(), 1u);
    EXPECT_EQ(scan.entries[0].path.filename().native(), name);
    EXPECT_TRUE(AnalyzePatchFile(scan.entries[0].path, Screamer()));
    const SearchOutcome outcome = RunPatchSearch(root, Screamer());
    ASSERT_EQ(outcome.results.size(), 1u);
    EXPECT_EQ(PathText(outcome.results[0]), expected);
    EXPECT_EQ(outcome.status, "Last Patch: 0 -> " + expected);
}

// ---- The whole search ---------------------------------------------------------------------------

TEST_F(TempTree, ResultsComeLevelByLevelAndOnlyFromPatchFilesThatMatch) {
    Write("deep/deeper/z-match.rp350p", PatchBytes("On", "Screamer"));
    Write("deep/y-match.rp350p", PatchBytes("On", "Screamer"));
    Write("deep/y-off.rp350p", PatchBytes("Off", "Screamer"));
    Write("x-match.rp250p", PatchBytes("On", "Screamer"));
    Write("x-other.rp350p", PatchBytes("On", "Grunge"));
    Write("x-upper.RP350P", PatchBytes("On", "Screamer"));   // not a patch file by its name
    Write("x-old.rp350p.bak", PatchBytes("On", "Screamer")); // a patch file by its name
    Folder("x-folder.rp150p");                               // analyzed, never matches
    const SearchOutcome outcome = RunPatchSearch(root, Screamer());
    EXPECT_TRUE(outcome.resultsReplaced);
    EXPECT_FALSE(outcome.stopped);
    EXPECT_EQ(outcome.entries, 10u);
    EXPECT_EQ(outcome.analyzed, 7u);
    ASSERT_EQ(outcome.results.size(), 4u);
    std::vector<fs::path> rootLevel(outcome.results.begin(), outcome.results.begin() + 2);
    std::sort(rootLevel.begin(), rootLevel.end());
    EXPECT_EQ(rootLevel, (std::vector<fs::path>{root / "x-match.rp250p", root / "x-old.rp350p.bak"}));
    EXPECT_EQ(outcome.results[2], root / "deep" / "y-match.rp350p");
    EXPECT_EQ(outcome.results[3], root / "deep" / "deeper" / "z-match.rp350p");
    EXPECT_EQ(outcome.status, "Last Patch: 6 -> " + (root / "deep" / "deeper" / "z-match.rp350p").string());
}

TEST_F(TempTree, StatusTextsFollowTheSearch) {
    std::vector<std::string> statuses;
    std::vector<fs::path> reported;
    SearchObserver observer;
    observer.onStatus = [&](std::string_view status) { statuses.emplace_back(status); };
    observer.onResult = [&](const fs::path &path) { reported.push_back(path); };

    // An empty tree: nothing found, and the results shown before stay.
    SearchOutcome outcome = RunPatchSearch(root, Screamer(), {}, &observer);
    EXPECT_EQ(statuses, (std::vector<std::string>{"Searching Digitech RP patches...", "No Patches Found!"}));
    EXPECT_EQ(outcome.status, "No Patches Found!");
    EXPECT_FALSE(outcome.resultsReplaced);

    // One patch file, the last entry: "Last Patch", counting the patch files before it.
    const fs::path only = Write("only.rp350p", PatchBytes("On", "Screamer"));
    statuses.clear();
    outcome = RunPatchSearch(root, Screamer(), {}, &observer);
    const std::string last = "Last Patch: 0 -> " + only.string();
    EXPECT_EQ(statuses,
              (std::vector<std::string>{"Searching Digitech RP patches...", "Start Analyzing...", last}));
    EXPECT_EQ(outcome.status, last);
    EXPECT_EQ(outcome.results, std::vector<fs::path>{only});
    EXPECT_EQ(reported, outcome.results);
    // It is the last entry whether it matches or not.
    Write("only.rp350p", PatchBytes("Off", "Screamer"));
    outcome = RunPatchSearch(root, Screamer());
    EXPECT_EQ(outcome.status, last);
    EXPECT_TRUE(outcome.results.empty());
    EXPECT_TRUE(outcome.resultsReplaced);

    // When the last entry is not a patch file, the last patch file's status stays.
    Write("sub/readme.txt", "x");
    statuses.clear();
    outcome = RunPatchSearch(root, Screamer(), {}, &observer);
    EXPECT_EQ(statuses.back(), "Analyze Patch -> " + only.string());
    EXPECT_EQ(outcome.status, statuses.back());

    // Entries but no patch file: nothing found, and the result list is emptied.
    fs::remove(only);
    statuses.clear();
    outcome = RunPatchSearch(root, Screamer(), {}, &observer);
    EXPECT_EQ(statuses, (std::vector<std::string>{"Searching Digitech RP patches...", "Start Analyzing...",
                                                  "No Patches Found!"}));
    EXPECT_TRUE(outcome.resultsReplaced);
    EXPECT_EQ(outcome.analyzed, 0u);
}

// Many files in several folders: whatever the number of threads, the same results, statuses and
// progress, in the order of the one-by-one search.
TEST_F(TempTree, ParallelReadingKeepsTheOrderOfTheOneByOneSearch) {
    std::mt19937 random(7);
    for (int folder = 0; folder < 6; ++folder)
        for (int file = 0; file < 80; ++file) {
            const bool on = random() % 3 != 0;
            const char *model = random() % 2 ? "Screamer" : "Rodent";
            const fs::path dir = folder == 0 ? fs::path() : fs::path("f" + std::to_string(folder)) / "g";
            Write(dir / ("p" + std::to_string(file) + (file % 10 == 0 ? ".txt" : ".rp350p")),
                  PatchBytes(on ? "On" : "Off", model));
        }
    struct Run {
        SearchOutcome outcome;
        std::vector<std::string> statuses;
        std::vector<std::size_t> analyzedCounts;
    };
    auto run = [&](unsigned threads) {
        Run result;
        SearchObserver observer;
        observer.onStatus = [&](std::string_view status) { result.statuses.emplace_back(status); };
        observer.onProgress = [&](const SearchProgress &progress) {
            result.analyzedCounts.push_back(progress.analyzed);
        };
        result.outcome = RunPatchSearch(root, Screamer(), {.threads = threads}, &observer);
        return result;
    };
    const Run single = run(1);
    EXPECT_EQ(single.outcome.analyzed, 432u);
    EXPECT_GT(single.outcome.results.size(), 50u);
    EXPECT_EQ(single.analyzedCounts.size(), single.outcome.entries);
    for (unsigned threads : {2u, 3u, 8u}) {
        const Run parallel = run(threads);
        EXPECT_EQ(parallel.outcome.results, single.outcome.results) << threads;
        EXPECT_EQ(parallel.statuses, single.statuses) << threads;
        EXPECT_EQ(parallel.analyzedCounts, single.analyzedCounts) << threads;
        EXPECT_EQ(parallel.outcome.status, single.outcome.status) << threads;
    }
}

TEST_F(TempTree, StoppingKeepsTheResultsFoundSoFar) {
    for (int i = 0; i < 300; ++i)
        Write("p" + std::to_string(i) + ".rp350p", PatchBytes("On", "Screamer"));
    const SearchOutcome full = RunPatchSearch(root, Screamer());
    ASSERT_EQ(full.results.size(), 300u);

    {
        // One thread: stopped at the first result, which is kept.
        std::atomic<bool> stop{false};
        SearchObserver observer;
        observer.onResult = [&](const fs::path &) { stop = true; };
        const SearchOutcome stopped =
            RunPatchSearch(root, Screamer(), {.threads = 1, .stop = &stop}, &observer);
        EXPECT_TRUE(stopped.stopped);
        EXPECT_TRUE(stopped.resultsReplaced);
        ASSERT_GE(stopped.results.size(), 1u);
        EXPECT_LT(stopped.results.size(), 300u);
        EXPECT_TRUE(std::equal(stopped.results.begin(), stopped.results.end(), full.results.begin()));
        EXPECT_EQ(stopped.analyzed, stopped.results.size());
        EXPECT_EQ(stopped.status.rfind("Analyze Patch -> ", 0), 0u) << stopped.status;
    }
    {
        // Two threads, stopped as the analysis starts: whatever was kept is a prefix, in order.
        // (Stopping at the first result would race the second thread through all 300 files.)
        std::atomic<bool> stop{false};
        SearchObserver observer;
        observer.onStatus = [&](std::string_view status) {
            if (status == kStartAnalyzingStatus)
                stop = true;
        };
        const SearchOutcome stopped =
            RunPatchSearch(root, Screamer(), {.threads = 2, .stop = &stop}, &observer);
        EXPECT_TRUE(stopped.stopped);
        EXPECT_TRUE(stopped.resultsReplaced);
        EXPECT_LT(stopped.results.size(), 300u);
        EXPECT_TRUE(std::equal(stopped.results.begin(), stopped.results.end(), full.results.begin()));
    }

    std::atomic<bool> early{true};
    const SearchOutcome never = RunPatchSearch(root, Screamer(), {.stop = &early});
    EXPECT_TRUE(never.stopped);
    EXPECT_FALSE(never.resultsReplaced);
    EXPECT_TRUE(never.results.empty());
}

} // namespace
} // namespace patchlens
