// The collection scan against a plain scan written here (one folder after the other, breadth-first,
// each file decoded fresh by its path, one after the other): its entries, their order and their
// refusals on a tree of every kind of entry, the folders it cannot read, the stop flag, and the
// filter's models over a generated tree against the search.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <atomic>
#include <deque>
#include <random>
#include <set>

#include "collection/collection_scan.h"
#include "compare/patch_compare.h"
#include "file_system_support.h"
#include "patch/patch_folder.h"
#include "patch_builder.h"
#include "search/patch_search.h"
#include "temp_folder.h"
#include "text/path_bytes.h"
#include "unprivileged.h"

namespace patchlens {
namespace {

namespace fs = std::filesystem;
const fs::path kSamples = PATCHLENS_SAMPLES;

std::string Sample(std::string_view name) {
    return ReadPatchFile(kSamples / (std::string(name) + ".rp350p"))->bytes();
}

// ---- The plain scan -----------------------------------------------------------------------------

struct PlainEntry {
    std::size_t folder;
    std::string file;
    FreshPatch fresh;
};

struct PlainScan {
    std::vector<PlainEntry> entries;
    std::vector<std::string> troubles; // the folders, as bytes
};

PlainScan ScanPlainly(const std::vector<fs::path> &folders, bool recursive) {
    PlainScan plain;
    for (std::size_t k = 0; k < folders.size(); ++k) {
        if (!fs::is_directory(folders[k])) {
            plain.troubles.push_back(PathBytes(folders[k]));
            continue;
        }
        std::deque<fs::path> waiting{folders[k]};
        while (!waiting.empty()) {
            const fs::path folder = waiting.front();
            waiting.pop_front();
            std::error_code ec;
            fs::directory_iterator it(folder, ec);
            if (ec)
                plain.troubles.push_back(PathBytes(folder));
            for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
                const fs::path &path = it->path();
                const std::string name = PathBytes(path.filename());
                if (name.back() == '.')
                    continue;
                if (fs::is_directory(fs::symlink_status(path))) {
                    if (recursive)
                        waiting.push_back(path);
                } else if (HasPatchExtension(name) && fs::is_regular_file(path)) {
                    const std::string file = PathBytes(path.lexically_relative(folders[k]).generic_string());
                    plain.entries.push_back({k, file, DecodeFresh(path)});
                }
            }
        }
    }
    return plain;
}

EntryStatus PlainStatus(const Status &outcome) {
    if (outcome.ok())
        return EntryStatus::Accepted;
    switch (outcome.error().kind()) {
    case ErrorKind::Refused:
        return EntryStatus::NewerSchema;
    case ErrorKind::TooLarge:
        return EntryStatus::TooLarge;
    default:
        return EntryStatus::Unreadable;
    }
}

// Whether entry `i` of the collection is the plain scan's entry, as the viewer shows that file.
::testing::AssertionResult SameEntry(const Collection &collection, std::size_t i, const PlainEntry &plain) {
    const CollectionEntry &entry = collection.entry(i);
    const Status &outcome = plain.fresh.outcome;
    if (entry.folder != plain.folder || collection.File(i) != plain.file ||
        entry.status != PlainStatus(outcome) || collection.Reason(i) != outcome.message())
        return ::testing::AssertionFailure()
               << collection.File(i) << " is not " << plain.file << " as it stands";
    if (!outcome.ok())
        return ::testing::AssertionSuccess();
    if (collection.Name(i) != plain.fresh.patch.name)
        return ::testing::AssertionFailure() << plain.file << ": name " << collection.Name(i);
    for (std::size_t m = 0; m < kModuleCount; ++m) {
        const ModuleFacts module = collection.ModuleOf(i, Modules()[m].module);
        const ModulePanel &panel = plain.fresh.patch.panels[m];
        if (module.lampOn != panel.lampOn || module.enabled != panel.list.enabled ||
            std::vector<std::string>(module.lines.begin(), module.lines.end()) != panel.list.lines)
            return ::testing::AssertionFailure() << plain.file << ": " << Modules()[m].name;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult SameAsPlain(const Collection &collection, const PlainScan &plain,
                                       std::size_t count) {
    if (collection.size() != count)
        return ::testing::AssertionFailure() << collection.size() << " entries, not " << count;
    for (std::size_t i = 0; i < count; ++i)
        if (::testing::AssertionResult same = SameEntry(collection, i, plain.entries[i]); !same)
            return same;
    return ::testing::AssertionSuccess();
}

// The scan with what its observer was told.
struct Observed {
    ScanOutcome outcome;
    std::vector<std::string> handed; // the files handed to onPatch
    std::vector<std::string> troubles;
    ScanProgress progress; // the last one reported
};

Observed Observe(const std::vector<fs::path> &folders, ScanOptions options,
                 std::size_t stopAfter = SIZE_MAX) {
    Observed seen;
    std::atomic<bool> stop{false};
    ScanObserver observer;
    observer.onPatch = [&](ScannedPatch &patch, const ScanProgress &progress) {
        seen.handed.push_back(patch.file);
        EXPECT_EQ(progress.patches, seen.handed.size());
        if (seen.handed.size() == stopAfter)
            stop = true;
    };
    observer.onTrouble = [&](const FolderTrouble &trouble) { seen.troubles.push_back(trouble.message); };
    observer.onProgress = [&](const ScanProgress &progress) { seen.progress = progress; };
    options.stop = &stop;
    seen.outcome = ScanCollection(folders, options, &observer);
    return seen;
}

class CollectionScan : public test::TempFolder {
protected:
    // Patches and refusals among every kind of entry: other files, nested and empty folders, a
    // folder with a patch name, links to folders and to files, a dangling link, names ending in a
    // dot, a FIFO.
    void MakeMixedTree() {
        const char *const names[] = {"Acoustic Strum", "Clean Lead",  "Direct Whammy", "Grunge Phaser",
                                     "Metal Rhythm",   "Octave Fuzz", "Rotary Organ",  "Screamer Blues"};
        for (const char *sub : {"", "sub", "sub/deeper", "x y", "folder.rp350p", "sub/deeper/end"})
            for (int i = 0; i < 8; ++i)
                Write(fs::path(sub) / (std::string(names[i]) + (i % 3 == 0 ? ".RP350P" : ".rp350p")),
                      Sample(names[i]));
        test::PatchBuilder newer;
        newer.schemaVersion = "1.3";
        Write("sub/newer.rp350p", newer.Bytes());
        Write("sub/empty.rp350p", "");
        Write("notes.txt", Sample("Clean Lead"));
        Write("old.rp350p.bak", Sample("Clean Lead"));
        Write("dotted./inside.rp350p", Sample("Clean Lead"));
        const fs::path big = Write("x y/big.rp350p", "");
        fs::resize_file(big, kMaxPatchFileBytes + 1);
        fs::create_directories(folder / "empty");
        test::MakeLink(folder / "sub", folder / "linked", test::LinkTo::Folder);
        test::MakeLink(folder / "sub", folder / "side.rp350p", test::LinkTo::Folder);
        test::MakeLink(folder / "sub" / "newer.rp350p", folder / "alias.rp350p", test::LinkTo::File);
        test::MakeLink(folder / "missing", folder / "gone.rp350p", test::LinkTo::File);
#ifndef _WIN32
        ASSERT_EQ(::mkfifo((folder / "fifo.rp350p").c_str(), 0600), 0);
#endif
    }

    // `count` copies of one sample, each named by its number, in seven folders.
    void WriteNumbered(int count) {
        for (int i = 0; i < count; ++i)
            Write(fs::path("f" + std::to_string(i % 7)) / (std::to_string(i) + ".rp350p"),
                  test::WithName(Sample("Metal Rhythm"), std::to_string(i)));
    }
};

// Whatever the threads: the entries of the plain scan, in its order, with its refusals; and the
// collections of one thread and of several are the same to the last id.
TEST_F(CollectionScan, EntriesAreThoseOfAPlainScanWhateverTheThreads) {
    MakeMixedTree();
    const std::vector<fs::path> folders{folder};
    const PlainScan plain = ScanPlainly(folders, true);
    ASSERT_EQ(plain.entries.size(), 6 * 8 + 4u);
    std::set<EntryStatus> statuses;
    for (const PlainEntry &entry : plain.entries)
        statuses.insert(PlainStatus(entry.fresh.outcome));
    ASSERT_EQ(statuses.size(), 3u); // accepted, a newer schema (twice: one through a link), too large

    const Observed one = Observe(folders, {.threads = 1});
    EXPECT_TRUE(SameAsPlain(one.outcome.collection, plain, plain.entries.size()));
    for (const unsigned threads : {2u, 4u, 16u}) {
        const Observed many = Observe(folders, {.threads = threads});
        const Collection &a = one.outcome.collection;
        const Collection &b = many.outcome.collection;
        ASSERT_EQ(a.size(), b.size()) << threads;
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a.File(i), b.File(i)) << threads;
            EXPECT_EQ(a.entry(i).modules, b.entry(i).modules) << a.File(i);
            EXPECT_EQ(a.entry(i).sound, b.entry(i).sound) << a.File(i);
            EXPECT_EQ(a.entry(i).chain, b.entry(i).chain) << a.File(i);
        }
        EXPECT_EQ(many.handed, one.handed);
        EXPECT_TRUE(many.troubles.empty() && !many.outcome.stopped);
        EXPECT_EQ(many.progress.patches, plain.entries.size());
        EXPECT_EQ(many.progress.accepted, 6 * 8 + 1u);
        EXPECT_EQ(many.progress.handed, many.progress.listed);
    }
    for (std::size_t i = 0; i < plain.entries.size(); ++i)
        EXPECT_EQ(one.handed[i], plain.entries[i].file);

    // Without the folders below: the folder's own files only.
    const PlainScan flat = ScanPlainly(folders, false);
    ASSERT_EQ(flat.entries.size(), 8 + 1u);
    EXPECT_TRUE(
        SameAsPlain(Observe(folders, {.recursive = false, .threads = 4}).outcome.collection, flat, 9));

    // Kept by the observer alone: the same files, and nothing in the outcome.
    const Observed streamed = Observe(folders, {.threads = 4, .keepEntries = false});
    EXPECT_EQ(streamed.handed, one.handed);
    EXPECT_TRUE(streamed.outcome.collection.empty());
}

// Folders one after the other, each entry knowing its own; a named folder that is missing or no
// folder is reported, where the scan comes to it, and skipped.
TEST_F(CollectionScan, FoldersAreScannedInTheirOrderAndTheMissingOnesReported) {
    Write("one/a.rp350p", Sample("Clean Lead"));
    Write("one/in/b.rp350p", Sample("Octave Fuzz"));
    Write("two/c.rp350p", Sample("Rotary Organ"));
    const fs::path file = Write("file.rp350p", Sample("Clean Lead"));
    const std::vector<fs::path> folders{folder / "two", folder / "missing", folder / "one", file,
                                        folder / "two"};
    const PlainScan plain = ScanPlainly(folders, true);
    const Observed seen = Observe(folders, {.threads = 2});
    EXPECT_TRUE(SameAsPlain(seen.outcome.collection, plain, 4));
    EXPECT_EQ(seen.handed, (std::vector<std::string>{"c.rp350p", "a.rp350p", "in/b.rp350p", "c.rp350p"}));
    EXPECT_EQ(seen.outcome.collection.entry(3).folder, 4u);
    EXPECT_EQ(seen.outcome.collection.FullPath(2), folder / "one" / "in" / "b.rp350p");
    EXPECT_EQ(seen.outcome.collection.folders(), folders);
    const std::vector<std::string> messages{PathBytes(folder / "missing") + ": no such folder",
                                            PathBytes(file) + ": not a folder"};
    EXPECT_EQ(seen.troubles, messages);
    ASSERT_EQ(seen.outcome.troubles.size(), 2u);
    EXPECT_EQ(seen.outcome.troubles[1].folder, 3u);
    EXPECT_EQ(seen.outcome.troubles[1].path, file);
    EXPECT_EQ(seen.outcome.progress.troubles, 2u);
}

// As an ordinary user (the tests drop root's rights for it): a folder that cannot be read is a
// trouble in the scan's order, a file that cannot be read an unreadable entry with the system's words.
TEST_F(CollectionScan, FoldersAndFilesThatCannotBeReadAreReported) {
    if (!test::kPermissionsLockAccess)
        GTEST_SKIP() << test::kNoAccessPermissions;
    MakeMixedTree();
    Lock(folder / "sub" / "deeper");
    fs::permissions(Write("sub/locked.rp350p", Sample("Clean Lead")), fs::perms::none);
    const std::vector<fs::path> folders{folder};
    EXPECT_TRUE(test::AsUnprivileged([&] {
        const PlainScan plain = ScanPlainly(folders, true);
        const Observed seen = Observe(folders, {.threads = 4});
        const std::string locked = PathBytes(folder / "sub" / "deeper");
        bool unreadable = false;
        for (const PlainEntry &entry : plain.entries)
            unreadable = unreadable || (entry.file == "sub/locked.rp350p" &&
                                        entry.fresh.outcome.message() == "Permission denied");
        return unreadable && plain.troubles == std::vector<std::string>{locked} &&
               SameAsPlain(seen.outcome.collection, plain, plain.entries.size()) &&
               seen.troubles ==
                   std::vector<std::string>{locked + ": the folder cannot be read: Permission denied"} &&
               seen.outcome.troubles.size() == 1 &&
               seen.outcome.troubles[0].path == folder / "sub" / "deeper";
    }));
}

// Hundreds of files on several threads, the patches taken away by the observer or kept: each is
// handed on once, in order, as one thread reads it, while the threads that made the patches get
// them back to free them.
TEST_F(CollectionScan, EntriesOfManyFilesAreThoseOfOneThread) {
    WriteNumbered(700);
    const std::vector<fs::path> folders{folder};
    const Observed one = Observe(folders, {.threads = 1});
    ASSERT_EQ(one.outcome.collection.size(), 700u);
    for (const unsigned threads : {2u, 4u, 16u}) {
        const Observed kept = Observe(folders, {.threads = threads});
        EXPECT_EQ(kept.handed, one.handed) << threads;
        ASSERT_EQ(kept.outcome.collection.size(), 700u);
        for (std::size_t i = 0; i < 700; ++i)
            EXPECT_EQ(kept.outcome.collection.Name(i), one.outcome.collection.Name(i)) << threads;

        std::vector<std::string> names;
        ScanObserver taker;
        taker.onPatch = [&](ScannedPatch &patch, const ScanProgress &) {
            const ScannedPatch taken = std::move(patch);
            names.push_back(taken.name);
        };
        const ScanOutcome streamed = ScanCollection(folders, {.threads = threads, .keepEntries = false}, &taker);
        ASSERT_EQ(names.size(), 700u);
        EXPECT_EQ(streamed.progress.handed, 700u);
        for (std::size_t i = 0; i < 700; ++i)
            EXPECT_EQ(names[i], one.outcome.collection.Name(i)) << threads;
    }
}

// Stopped half way, the scan keeps what it handed on: the first entries of the whole scan.
TEST_F(CollectionScan, AStoppedScanKeepsTheFirstEntries) {
    WriteNumbered(300);
    const std::vector<fs::path> folders{folder};
    const Observed whole = Observe(folders, {.threads = 1});
    ASSERT_EQ(whole.outcome.collection.size(), 300u);
    for (const unsigned threads : {1u, 4u}) {
        const Observed stopped = Observe(folders, {.threads = threads}, 40);
        EXPECT_TRUE(stopped.outcome.stopped);
        const Collection &kept = stopped.outcome.collection;
        EXPECT_EQ(kept.size(), 40u); // nothing is handed on after the stop, however much was read
        EXPECT_EQ(stopped.handed.size(), kept.size());
        EXPECT_EQ(stopped.progress.patches, kept.size());
        for (std::size_t i = 0; i < kept.size(); ++i)
            EXPECT_EQ(kept.Name(i), whole.outcome.collection.Name(i)) << threads;
    }
}

// For the five modules the search offers, 'MODULE=MODEL' finds over a tree exactly the files the
// search finds, for every model of its lists.
TEST_F(CollectionScan, TheFiltersModelsFindWhatTheSearchFinds) {
    const char *const names[] = {"Clean Lead", "Grunge Phaser", "Metal Rhythm", "Screamer Blues"};
    std::mt19937 random(20);
    for (int i = 0; i < 160; ++i) {
        std::string bytes = Sample(names[i % 4]);
        for (const SearchModule &module : SearchModules()) {
            bytes = test::WithText(bytes, module.enableId, random() % 3 ? "On" : "Off");
            bytes = test::WithText(bytes, module.typeId, module.models[random() % module.models.size()]);
        }
        Write(fs::path(i % 2 ? "a" : "b/c") / (std::to_string(i) + ".rp350p"), bytes);
    }
    const ScanOutcome scan = ScanCollection(std::vector<fs::path>{folder});
    ASSERT_EQ(scan.collection.size(), 160u);
    for (const SearchModule &module : SearchModules())
        for (const std::string_view model : module.models) {
            std::set<fs::path> searched;
            for (const fs::path &path : RunPatchSearch(folder, MakeSearchTarget(module, model)).results)
                searched.insert(path);
            const std::string text = std::string(module.entry) + "=\"" + std::string(model) + "\"";
            const Result<PatchFilter> filter = ParseFilter(text);
            ASSERT_TRUE(filter.ok()) << text;
            std::set<fs::path> filtered;
            for (std::size_t i = 0; i < scan.collection.size(); ++i)
                if (Matches(*filter, scan.collection.Facts(i)))
                    filtered.insert(scan.collection.FullPath(i));
            EXPECT_EQ(filtered, searched) << text;
        }
}

} // namespace
} // namespace patchlens
