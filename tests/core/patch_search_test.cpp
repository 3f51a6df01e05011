// The patch search: the searchable modules, the refusals, the match test on the first records (in
// memory, in chunks, on files of any size), and the whole search against a plain one-by-one search
// written here: its results, their order, its status texts and its stop flag, on trees of every
// kind of entry and of more entries than any list should hold.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <sstream>

#include "file_system_support.h"
#include "patch/patch_text.h"
#include "patch_builder.h"
#include "platform/platform_files.h"
#include "search/patch_search.h"
#include "temp_folder.h"
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

// A patch with its Distortion records, in the device's layout.
std::string PatchBytes(std::string_view enable, std::string_view model) {
    return PatchBuilder()
        .Param("65", "Pickup Enable", "On")
        .Param("2433", "Dist Enable", enable)
        .Param("2432", "Dist Type", model)
        .Param("2434", "Dist Drive", "60")
        .Bytes();
}

// The rule read with the patch reader's own line reader: the fifth line from the first key.
bool ReaderVerdict(const std::string &bytes, const SearchTarget &target) {
    auto check = [&](const std::string &id, std::string_view needle) {
        const std::size_t at = bytes.find("<ID>" + id + "</ID>");
        if (at == std::string::npos)
            return false;
        LineReader lines(bytes, at);
        std::string_view line;
        for (int i = 0; i < 5; ++i)
            line = lines.Next();
        return line.find(needle) != std::string_view::npos;
    };
    return check(target.enableId, "On") && check(target.typeId, target.model);
}

class TempTree : public test::TempFolder {
protected:
    const fs::path &root = folder;

    // A tree with a little of everything: patches that match and patches that do not (some with
    // their records further in than a first read, some without records), other files, nested and
    // empty folders, links to folders and to files, a link loop, a dangling link, names ending in
    // a dot, and where the system has them odd names, a FIFO and a folder with patch names.
    void MakeMixedTree() {
        std::mt19937 random(11);
        const char *const extensions[] = {".rp350p",     ".rp250p", ".rp150p", ".txt",
                                          ".rp350p.bak", ".RP350P", ".Rp150p"};
        for (const char *sub : {"", "f1", "f2", "f1/g", "f1/g/h", "f3", "f3/g", "-dash folder", "a/b/c"})
            for (int i = 0; i < 60; ++i) {
                std::string bytes =
                    PatchBytes(random() % 3 ? "On" : "Off", random() % 2 ? "Screamer" : "Rodent");
                if (i % 7 == 0)
                    bytes = std::string(random() % 3 ? 20 << 10 : 70 << 10, 'x') + "\r\n" + bytes;
                if (i % 11 == 0)
                    bytes = "no records here";
                Write(fs::path(sub) / ("p" + std::to_string(i) + extensions[i % 7]), bytes);
            }
        const std::string match = PatchBytes("On", "Screamer");
        Write("folder.rp350p/inside.txt", match); // a patch file by its folder's name
        Write("Folder.RP250P/inside.txt", match);
        Write("dotted./inside.rp350p", match); // in a folder that is skipped
        Write("trailing.", match);
        fs::create_directories(root / "empty");
        fs::create_directories(root / "a/b/c/d/e"); // empty folders listed last
#ifndef _WIN32
        for (const char *odd :
             {"bad\xff\xfe name.rp350p", "line\nbreak.rp350p", "  spaced out .rp350p", "-dash.rp350p"})
            Write(fs::path("f2") / odd, match);
        ASSERT_EQ(::mkfifo((root / "f1" / "x.rp350p").c_str(), 0600), 0);
#endif
        test::MakeLink(root, root / "f1" / "loop", test::LinkTo::Folder);
        test::MakeLink(root / "f2", root / "f3" / "side.rp350p", test::LinkTo::Folder);
        test::MakeLink(root / "f2" / "-dash.rp350p", root / "f3" / "g" / "link.rp350p", test::LinkTo::File);
        test::MakeLink(root / "missing", root / "dangling.rp350p", test::LinkTo::File);
    }
};

// ---- The searchable modules ---------------------------------------------------------------------

// The ids are what the search looks for: a wrong digit would find nothing, silently.
TEST(SearchModules, FiveModulesWithTheirIdsAndModelListsFoundByTheirWholeEntry) {
    const std::tuple<std::string_view, std::string_view, std::string_view, std::size_t> expected[] = {
        {"Compressor", "193", "207", 3}, {"Distortion", "2433", "2432", 17}, {"Chorus/Fx", "769", "768", 31},
        {"Delay", "1857", "1856", 7},    {"Reverb", "1921", "1920", 6}};
    const auto modules = SearchModules();
    ASSERT_EQ(modules.size(), std::size(expected));
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const SearchTarget target = MakeSearchTarget(modules[i], "m");
        EXPECT_EQ(std::make_tuple(modules[i].entry, std::string_view(target.enableId),
                                  std::string_view(target.typeId), modules[i].models.size()),
                  expected[i]);
        EXPECT_EQ(FindSearchModule(std::get<0>(expected[i])), &modules[i]);
    }
    EXPECT_EQ(modules[2].models[9], "Trig Phaser"); // list order, not sorted
    for (std::string_view other : {"chorus/fx", "Chorus", "Chorus/Fx ", "Select Model", "Wah", ""})
        EXPECT_EQ(FindSearchModule(other), nullptr) << other;
    // The command line's names: any letter case, whole names only, spelt back as listed.
    EXPECT_EQ(FindSearchModuleIgnoringCase("chorus/FX"), &modules[2]);
    EXPECT_EQ(FindSearchModelIgnoringCase(modules[2], "trig PHASER"), "Trig Phaser");
    for (std::string_view other : {"Chorus", "Chorus/Fx ", "Select Model", ""})
        EXPECT_EQ(FindSearchModuleIgnoringCase(other), nullptr) << other;
    for (std::string_view other : {"Phase", "Tape", "Select Type", ""})
        EXPECT_EQ(FindSearchModelIgnoringCase(modules[2], other), std::nullopt) << other;
}

// ---- Refusals -----------------------------------------------------------------------------------

TEST_F(TempTree, RefusalsComeInTheirOrderAndNameTheControlToCorrect) {
    const fs::path::string_type separator(1, fs::path::preferred_separator);
    const std::string trailing =
        "Remove Traling '" + std::string(1, static_cast<char>(separator[0])) + "' character";
    EXPECT_EQ(TrailingSeparatorMessage(), trailing);
    const struct {
        fs::path folder;
        bool module, model;
        std::string_view message;
        ErrorKind kind;
        SearchFocus focus;
    } cases[] = {
        // The separator is tested first, even on a folder that exists and with nothing chosen.
        {root.native() + separator, false, false, trailing, ErrorKind::Refused, SearchFocus::FolderField},
        {separator, true, true, trailing, ErrorKind::Refused, SearchFocus::FolderField},
        {"", true, true, kSearchPathMissingMessage, ErrorKind::NotFound, SearchFocus::FolderField},
        {root / "missing", true, true, kSearchPathMissingMessage, ErrorKind::NotFound,
         SearchFocus::FolderField},
        {Write("not-a-folder.rp350p", "x"), true, true, kSearchPathMissingMessage, ErrorKind::NotFound,
         SearchFocus::FolderField},
        {root, false, false, "Select Model", ErrorKind::Refused, SearchFocus::ModuleList},
        {root, true, false, "Select Type", ErrorKind::Refused, SearchFocus::ModelList},
        {root, true, true, "", ErrorKind::Refused, SearchFocus::FolderField},
    };
    for (const auto &c : cases) {
        const std::optional<SearchRefusal> refusal = CheckSearchStart(c.folder, c.module, c.model);
        ASSERT_EQ(refusal.has_value(), !c.message.empty()) << c.folder;
        if (refusal) {
            EXPECT_EQ(refusal->error.message(), c.message) << c.folder;
            EXPECT_EQ(refusal->error.kind(), c.kind) << c.folder;
            EXPECT_EQ(refusal->focus, c.focus) << c.folder;
        }
    }
    // On the command line a trailing separator names the folder; a root stays as it is.
    const fs::path rootFolder = root.root_path();
    EXPECT_FALSE(CheckSearchStart(rootFolder, true, true, false));
    for (const auto &[given, taken] :
         {std::pair{root.native() + separator + separator, root.native()},
          {rootFolder.native(), rootFolder.native()},
          {fs::path::string_type(root.relative_path().native() + separator), root.relative_path().native()}})
        EXPECT_EQ(WithoutTrailingSeparators(given).native(), taken) << given;
    // A link to a folder is a folder to search.
    if (!test::MakeLink(root, root / "link", test::LinkTo::Folder))
        GTEST_SKIP() << test::kNoLinks;
    EXPECT_FALSE(CheckSearchStart(root / "link", true, true));
}

// ---- Which paths are patch files ----------------------------------------------------------------

// Any letter case, as the patch list takes its names: a file the list shows is searched. Only A to
// Z fold: a byte that is a digit once bit 5 is set is no digit.
TEST(IsPatchFilePath, AnExtensionAnywhereInThePathInAnyLetterCase) {
    for (const char *yes : {"/p/song.rp350p", "/p/old.rp350p.bak", "/p/a.rp250p", "/p/a.rp150p",
                            "/p/backup.rp350p.tar", "/p/kept.rp350p/readme.txt", "x.rp350pfoo",
                            "/p/Screamer Blues.RP350P", "/p/song.Rp350p", "/p/a.RP250P", "/p/a.rP150P"})
        EXPECT_TRUE(IsPatchFilePath(yes)) << yes;
    for (const char *no : {"/p/song.rp450p", "/p/song.rp350", "/p/rp350p", "/p/song.rp350-p",
                           "/p/song.RP350Q", "/p/song.rp\023\0250p", ""})
        EXPECT_FALSE(IsPatchFilePath(no)) << no;
}

// ---- The match test -----------------------------------------------------------------------------

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
        for (std::size_t chunk : {1, 2, 3, 5, 8, 13, 4096}) {
            std::istringstream in(bytes);
            ASSERT_EQ(AnalyzePatchStream(in, target, chunk), expected)
                << ::testing::PrintToString(bytes) << " model " << ::testing::PrintToString(target.model)
                << " chunk " << chunk;
        }
    }
    // The generator reaches both verdicts often.
    EXPECT_GT(matches, 200);
    EXPECT_LT(matches, 5000);
}

// ---- The match test on files --------------------------------------------------------------------

TEST_F(TempTree, FilesThatCannotBeReadAsPatchesNeverMatch) {
    const fs::path good = Write("good.rp350p", PatchBytes("On", "Screamer"));
    EXPECT_TRUE(AnalyzePatchFile(good, Screamer()));
    EXPECT_FALSE(AnalyzePatchFile(root / "missing.rp350p", Screamer()));
    fs::create_directories(root / "folder.rp350p");
    EXPECT_FALSE(AnalyzePatchFile(root / "folder.rp350p", Screamer()));
    // The positioned read beneath: the bytes read, none at the end, a reason when it cannot read.
    const platform::InputFile file = platform::OpenForReading(good);
    char bytes[8];
    const Result<std::size_t> read = platform::ReadAt(file, bytes, sizeof bytes, 2);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(std::string(bytes, *read), PatchBytes("On", "Screamer").substr(2, 8));
    EXPECT_EQ(platform::ReadAt(file, bytes, 1, fs::file_size(good)).value_or(1), 0u);
    EXPECT_FALSE(platform::ReadAt(platform::InputFile(), bytes, 1, 0).message().empty());
#ifndef _WIN32
    // A FIFO nobody writes into and a link to a device that never ends, both named like patches:
    // neither is waited for nor read, alone or in a search (the alarm ends the child if one is).
    const fs::path fifo = root / "pipe.rp350p", zero = root / "zero.rp350p";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", zero);
    EXPECT_EXIT(
        {
            ::alarm(10);
            std::_Exit(!AnalyzePatchFile(fifo, Screamer()) && !AnalyzePatchFile(zero, Screamer()) &&
                               RunPatchSearch(root, Screamer()).results == std::vector<fs::path>{good}
                           ? 0
                           : 1);
        },
        ::testing::ExitedWithCode(0), "");
#endif
}

TEST_F(TempTree, RecordsAcrossTheHolesOfASparseFileAreReadAsZeroBytes) {
    // Sparse files: the zero bytes of a hole belong to the line they fall into. The bytes before
    // the hole fill whole blocks (no zero bytes stored behind them), so only the hole separates
    // them from the bytes after it.
    const fs::path path = root / "split.rp350p";
    auto sparse = [&](const std::string &before, const std::string &after) {
        {
            std::ofstream out(path, std::ios::binary);
            out << std::string((64 << 10) - before.size(), 'x') << before;
            out.seekp(64 << 20);
            out << after;
        }
        return path;
    };
    const std::string enable = "<ID>2433</ID>\r\n2\r\n3\r\n4\r\n<Text>On</Text>\r\n<ID>24";
    const std::tuple<const char *, const char *, bool> splits[] = {
        {"32</ID>\r\n2\r\n", "3\r\n4\r\nScreamer", true},         // between two lines
        {"32</ID>\r\n2\r\n3\r", "\n4\r\nScreamer", false},        // inside a CR LF
        {"32</ID>\r\n2\r\n3\r\n4\r\nScre", "amer\r\n", false},   // inside the model
        {"", "32</ID>\r\n2\r\n3\r\n4\r\nScreamer", false},        // inside the key
    };
    for (const auto &[before, after, match] : splits)
        EXPECT_EQ(AnalyzePatchFile(sparse(enable + before, after), Screamer()), match) << before;
}

#if !defined(PATCHLENS_SANITIZED)
#ifdef __linux__
// Limits this process to the address space it uses now and `more` bytes besides: a limit Linux
// enforces (and measures in /proc).
void LimitAddressSpace(std::size_t more) {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    const rlim_t bytes = pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) + more;
    const rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_AS, &limit);
}
#endif

// Files far larger than the memory allowed can only be examined piece by piece: 2 GB of holes
// with and without the records behind them, and 70 MB of ordinary lines before the records.
TEST_F(TempTree, FilesLargerThanTheMemoryAllowedAreReadInPieces) {
    constexpr std::uintmax_t kSize = std::uintmax_t{2} << 30;
    const fs::path zeros = Write("backup.rp350p.tar", "");
    std::error_code ec;
    test::ResizeSparse(zeros, kSize, ec);
    ASSERT_FALSE(ec) << ec.message();
    const fs::path tail = root / "tail.rp350p";
    {
        std::ofstream out(tail, std::ios::binary);
        out.seekp(static_cast<std::streamoff>(kSize));
        out << "\r\n" << PatchBytes("On", "Screamer");
    }
    std::string filler;
    for (int i = 0; i < 1 << 20; ++i)
        filler += "<Value>0</Value> padding padding padding padding padding padding padding\r\n";
    const fs::path on = Write("big.rp350p", filler + PatchBytes("On", "Screamer"));
    const fs::path off = Write("big-off.rp350p", filler + PatchBytes("Off", "Screamer"));
    auto verdictsRight = [&] {
        return !AnalyzePatchFile(zeros, Screamer()) && AnalyzePatchFile(tail, Screamer()) &&
               AnalyzePatchFile(on, Screamer()) && !AnalyzePatchFile(off, Screamer());
    };
#ifndef __linux__
    EXPECT_TRUE(verdictsRight());
    GTEST_SKIP() << "the verdicts were tested, not the memory bound: no address-space limit here";
#else
    EXPECT_EXIT(
        {
            LimitAddressSpace(std::size_t{32} << 20);
            std::_Exit(verdictsRight() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
#endif
}
#endif

// ---- The whole search against a plain one ------------------------------------------------------

// The rule as the header states it, the plain way.
bool PlainRule(const std::string &bytes, const std::string &id, std::string_view needle) {
    std::size_t at = bytes.find("<ID>" + id + "</ID>");
    if (at == std::string::npos)
        return false;
    for (int line = 0; line < 4; ++line) {
        at = bytes.find("\r\n", at);
        if (at == std::string::npos)
            return needle.empty();
        at += 2;
    }
    const std::size_t end = bytes.find("\r\n", at);
    return bytes.substr(at, end == std::string::npos ? end : end - at).find(needle) != std::string::npos;
}

bool PlainPatchPath(const fs::path &path) {
    fs::path::string_type text = path.native();
    std::transform(text.begin(), text.end(), text.begin(),
                   [](auto c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    for (const char *extension : {".rp350p", ".rp250p", ".rp150p"})
        if (text.find(fs::path(extension).native()) != fs::path::string_type::npos)
            return true;
    return false;
}

struct PlainSearch {
    std::vector<fs::path> list; // every entry, breadth-first
    std::vector<fs::path> results;
    std::vector<std::string> statuses;
    std::size_t analyzed = 0;

    // The patch files among the first `count` entries of the list.
    std::size_t PatchFilesAmongFirst(std::size_t count) const {
        return static_cast<std::size_t>(std::count_if(list.begin(), list.begin() + count, PlainPatchPath));
    }
};

// The search one entry after the other: the whole list first, with the standard library, then
// each patch file read whole.
PlainSearch SearchPlainly(const fs::path &root, const SearchTarget &target) {
    PlainSearch plain;
    std::deque<fs::path> folders = {root};
    for (; !folders.empty(); folders.pop_front()) {
        std::error_code ec;
        for (fs::directory_iterator it(folders.front(), ec), end; !ec && it != end; it.increment(ec)) {
            if (it->path().filename().native().back() == '.')
                continue;
            plain.list.push_back(it->path());
            if (it->is_directory(ec) && !it->is_symlink(ec))
                folders.push_back(it->path());
        }
    }
    plain.statuses = {std::string(kSearchingStatus)};
    if (!plain.list.empty())
        plain.statuses.emplace_back(kStartAnalyzingStatus);
    for (const fs::path &path : plain.list) {
        if (!PlainPatchPath(path))
            continue;
        plain.statuses.push_back(&path == &plain.list.back()
                                     ? "Last Patch: " + std::to_string(plain.analyzed) + " -> " +
                                           PathText(path)
                                     : "Analyze Patch -> " + PathText(path));
        ++plain.analyzed;
        std::error_code ec;
        if (!fs::is_regular_file(path, ec))
            continue;
        std::ifstream in(path, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (PlainRule(bytes, target.enableId, "On") && PlainRule(bytes, target.typeId, target.model))
            plain.results.push_back(path);
    }
    if (plain.analyzed == 0) {
        plain.statuses.emplace_back(kNoPatchesFoundStatus);
    } else if (!PlainPatchPath(plain.list.back())) { // the end is said all the same
        const std::string &analyzing = plain.statuses.back();
        plain.statuses.push_back("Last Patch: " + std::to_string(plain.analyzed - 1) + " -> " +
                                 analyzing.substr(std::string_view("Analyze Patch -> ").size()));
    }
    return plain;
}

// Our search with everything it tells recorded; `stopWhen` is asked after each callback.
struct Observed {
    SearchOutcome outcome;
    std::vector<std::string> statuses;
    std::vector<fs::path> reported;
    SearchProgress progress;      // the last progress reported
    std::size_t replacements = 0; // calls of onResultsReplaced
};

Observed Observe(const fs::path &root, SearchOptions options,
                 const std::function<bool(const Observed &)> &stopWhen = nullptr) {
    Observed seen;
    std::atomic<bool> stop{false};
    auto ask = [&] {
        if (stopWhen && stopWhen(seen))
            stop = true;
    };
    SearchObserver observer;
    observer.onStatus = [&](std::string_view status) {
        seen.statuses.emplace_back(status);
        ask();
    };
    observer.onResultsReplaced = [&] { // right before "Start Analyzing...", before any result
        ++seen.replacements;
        EXPECT_TRUE(seen.reported.empty() && seen.statuses.back() == kSearchingStatus);
    };
    observer.onResult = [&](const fs::path &path) {
        seen.reported.push_back(path);
        ask();
    };
    observer.onProgress = [&](const SearchProgress &progress) {
        seen.progress = progress;
        ask();
    };
    options.stop = &stop;
    seen.outcome = RunPatchSearch(root, Screamer(), options, &observer);
    EXPECT_EQ(seen.reported, seen.outcome.results);
    EXPECT_EQ(seen.statuses.back(), seen.outcome.status);
    EXPECT_EQ(seen.replacements, seen.outcome.resultsReplaced ? 1u : 0u);
    return seen;
}

// A search ended by its stop flag tells how far it got, and its results are those of the plain
// search among the entries it handled.
void ExpectStoppedWhereItSays(const Observed &ours, const PlainSearch &plain) {
    const SearchOutcome &outcome = ours.outcome;
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.patchFiles, plain.PatchFilesAmongFirst(outcome.entries));
    EXPECT_EQ(outcome.analyzed, plain.PatchFilesAmongFirst(ours.progress.entriesDone));
    EXPECT_EQ(outcome.status, StoppedStatus(outcome.analyzed, outcome.patchFiles));
    std::vector<fs::path> expected;
    for (const fs::path &path : plain.results)
        if (std::find(plain.list.begin(), plain.list.begin() + ours.progress.entriesDone, path) !=
            plain.list.begin() + ours.progress.entriesDone)
            expected.push_back(path);
    EXPECT_EQ(outcome.results, expected);
}

// The statuses of a search, and a file name that is not UTF-8: names are bytes on POSIX systems,
// where they need not be UTF-8, and UTF-16 on Windows, where they need not fit the code page;
// either way the path shows as its bytes.
TEST_F(TempTree, StatusTextsFollowTheSearch) {
#ifdef _WIN32
    const std::wstring name = L"caf\u00e9 \u30ae\u30bf\u30fc \U0001F3B8.rp350p";
    const std::string shown =
        PathText(root) + "\\caf\xc3\xa9 \xe3\x82\xae\xe3\x82\xbf\xe3\x83\xbc \xf0\x9f\x8e\xb8.rp350p";
#else
    const std::string name = "bad\xff\xfe name.rp350p";
    const std::string shown = root.native() + "/" + name;
#endif
    EXPECT_EQ(StoppedStatus(3, 10), "Search stopped: 3 of 10 patch files analyzed");
    const std::string searching = "Searching Digitech RP patches...", start = "Start Analyzing...",
                      none = "No Patches Found!";
    // An empty tree: nothing found, and the results shown before stay.
    Observed seen = Observe(root, {});
    EXPECT_EQ(seen.statuses, (std::vector<std::string>{searching, none}));
    EXPECT_FALSE(seen.outcome.resultsReplaced);

    // One patch file, the last entry, matching or not: "Last Patch", counting the patch files before it.
    const fs::path only = Write(name, PatchBytes("On", "Screamer"));
    const std::string last = "Last Patch: 0 -> " + shown;
    seen = Observe(root, {});
    EXPECT_EQ(seen.statuses, (std::vector<std::string>{searching, start, last}));
    ASSERT_EQ(seen.outcome.results.size(), 1u);
    EXPECT_EQ(seen.outcome.results[0].filename().native(), name);
    EXPECT_EQ(PathText(seen.outcome.results[0]), shown);
    Write(name, PatchBytes("Off", "Screamer"));
    seen = Observe(root, {});
    EXPECT_EQ(seen.outcome.status, last);
    EXPECT_TRUE(seen.outcome.results.empty() && seen.outcome.resultsReplaced);

    // When the last entry is not a patch file, the end is said all the same.
    Write("sub/readme.txt", "x");
    seen = Observe(root, {});
    EXPECT_EQ(seen.statuses, (std::vector<std::string>{searching, start, "Analyze Patch -> " + shown, last}));

    // Entries but no patch file: nothing found, and the result list is emptied.
    fs::remove(only);
    seen = Observe(root, {});
    EXPECT_EQ(seen.statuses, (std::vector<std::string>{searching, start, none}));
    EXPECT_TRUE(seen.outcome.resultsReplaced);
    EXPECT_EQ(seen.outcome.analyzed, 0u);
}

// Whatever the number of threads, and however far the listing runs ahead of the analysis: the
// results, the statuses and the counts of the one-by-one search, over every kind of entry.
TEST_F(TempTree, ResultsAndStatusesAreThoseOfAPlainSearchWhateverTheThreads) {
    MakeMixedTree();
    const PlainSearch plain = SearchPlainly(root, Screamer());
    ASSERT_GT(plain.results.size(), 50u);
    for (const SearchOptions options :
         {SearchOptions{.threads = 1}, SearchOptions{.threads = 2}, SearchOptions{.threads = 16},
          SearchOptions{.threads = 1, .entriesAhead = 1}, SearchOptions{.threads = 16, .entriesAhead = 5}}) {
        const Observed ours = Observe(root, options);
        const unsigned threads = options.threads;
        EXPECT_EQ(ours.outcome.results, plain.results) << threads << " " << options.entriesAhead;
        EXPECT_EQ(ours.statuses, plain.statuses) << threads << " " << options.entriesAhead;
        EXPECT_EQ(ours.outcome.entries, plain.list.size()) << threads;
        EXPECT_EQ(ours.outcome.analyzed, plain.analyzed) << threads;
        EXPECT_EQ(ours.progress.analyzed, plain.analyzed) << threads;
        EXPECT_FALSE(ours.outcome.stopped);
    }
}

TEST_F(TempTree, FoldersAndFilesThatCannotBeReadAreSkippedAsThePlainSearchSkipsThem) {
    if (!test::kPermissionsLockAccess)
        GTEST_SKIP() << test::kNoAccessPermissions;
    MakeMixedTree();
    const std::size_t everything = SearchPlainly(root, Screamer()).list.size();
    Lock(root / "f1" / "g");
    Lock(root / "f3");
    fs::permissions(Write("locked.rp350p", PatchBytes("On", "Screamer")), fs::perms::none);
    EXPECT_TRUE(test::AsUnprivileged([&] {
        const PlainSearch plain = SearchPlainly(root, Screamer());
        const Observed ours = Observe(root, {.threads = 2});
        return plain.list.size() < everything && !plain.results.empty() &&
               ours.outcome.results == plain.results && ours.statuses == plain.statuses;
    }));
}

// No entry limit and no list of the whole tree: more than 100,001 entries are searched whole, in a
// fraction of the memory a list of them would take; and a stop, while the listing goes on or
// later, tells how far the search got.
TEST_F(TempTree, ATreeOfMoreThan100001EntriesIsSearchedWholeWithinLittleMemory) {
    // 1,100 folders of 95 entries with long names: five patch files in each, the first of them
    // matching in every fiftieth folder. Most entries are hard links, far quicker to make than files.
    const std::string longName(100, 'n'); // about 20 MB for a list of every path
    for (int n = 0; n < 1100; ++n) {
        const fs::path dir = "f" + std::to_string(n);
        Write(dir / (longName + "0.rp350p"), n % 50 == 0 ? PatchBytes("On", "Screamer") : "");
        const fs::path empty = Write(dir / (longName + "1.txt"), "");
        for (int file = 2; file < 95; ++file) {
            const fs::path entry =
                dir / (longName + std::to_string(file) + (file % 19 == 0 ? ".rp350p" : ".txt"));
            std::error_code ec;
            fs::create_hard_link(empty, root / entry, ec);
            if (ec)
                Write(entry, "");
        }
    }
#if !defined(PATCHLENS_SANITIZED) && defined(__linux__)
    EXPECT_EXIT(
        {
            LimitAddressSpace(std::size_t{8} << 20);
            std::_Exit(RunPatchSearch(root, Screamer(), {.threads = 1}).results.size() == 22 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
#endif
    const PlainSearch plain = SearchPlainly(root, Screamer());
    ASSERT_GT(plain.list.size(), 100001u);
    ASSERT_EQ(plain.results.size(), 22u);
    const Observed whole = Observe(root, {});
    EXPECT_EQ(whole.outcome.results, plain.results);
    EXPECT_EQ(whole.outcome.status, plain.statuses.back());
    EXPECT_EQ(whole.outcome.entries, plain.list.size());
    EXPECT_EQ(whole.outcome.analyzed, plain.analyzed);

    const Observed beforeListing = Observe(
        root, {.threads = 1}, [](const Observed &seen) { return seen.statuses.back() == kSearchingStatus; });
    ExpectStoppedWhereItSays(beforeListing, plain);
    EXPECT_EQ(beforeListing.outcome.status, "Search stopped: 0 of 0 patch files analyzed");
    EXPECT_FALSE(beforeListing.outcome.resultsReplaced);
    for (unsigned threads : {1u, 16u}) {
        const Observed whileListing = Observe(root, {.threads = threads}, [](const Observed &seen) {
            return seen.progress.entriesDone == 5000;
        });
        ExpectStoppedWhereItSays(whileListing, plain);
        EXPECT_LT(whileListing.outcome.entries, plain.list.size());
        EXPECT_TRUE(whileListing.outcome.resultsReplaced);
        const Observed atAResult = Observe(root, {.threads = threads},
                                           [](const Observed &seen) { return seen.reported.size() == 3; });
        ExpectStoppedWhereItSays(atAResult, plain);
        EXPECT_GE(atAResult.outcome.results.size(), 3u);
    }
}

} // namespace
} // namespace patchlens
