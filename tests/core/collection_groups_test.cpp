// Duplicates, variants and two folders compared, over collections of edited copies of the samples.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "collection/collection_groups.h"
#include "collection/collection_scan.h"
#include "compare/patch_compare.h"
#include "patch_builder.h"
#include "temp_folder.h"

namespace patchlens {
namespace {

namespace fs = std::filesystem;
const fs::path kSamples = PATCHLENS_SAMPLES;

std::string Sample(std::string_view name) {
    return ReadPatchFile(kSamples / (std::string(name) + ".rp350p"))->bytes();
}

std::string Newer() {
    test::PatchBuilder newer;
    newer.schemaVersion = "1.3";
    return newer.Bytes();
}

// Duplicates: the same sound, whatever the name; variants: every file of a chain that has two
// sounds or more. Refused files belong to no group; the groups come in the order of their first file.
TEST(CollectionGroups, DuplicatesAndVariantsAreGroupedInScanOrder) {
    const std::string blues = Sample("Screamer Blues"), clean = Sample("Clean Lead");
    const std::string patches[] = {
        blues,                                                             // 0
        clean,                                                             // 1
        test::WithName(blues, "Copy"),                                     // 2 duplicate of 0
        test::WithText(blues, "2434", "61"),                               // 3 variant of 0
        Newer(),                                                           // 4 refused
        Newer(),                                                           // 5 refused alike
        clean,                                                             // 6 duplicate of 1
        test::WithText(blues, "2433", "Off"),                              // 7 neither
        test::WithName(test::WithText(blues, "2434", "61"), "Drive Copy"), // 8 duplicate of 3
        Sample("Grunge Phaser"),                                           // 9 alone
        test::WithText(clean, "2434", "12"),                               // 10 variant of 1
    };
    Collection collection;
    for (const std::string &bytes : patches)
        collection.Add(ScanPatch(0, "p.rp350p", MakePatchText(bytes)));
    EXPECT_EQ(FindDuplicates(collection), (EntryGroups{{0, 2}, {1, 6}, {3, 8}}));
    EXPECT_EQ(FindVariants(collection), (EntryGroups{{0, 2, 3, 8}, {1, 6, 10}}));
    EXPECT_TRUE(FindDuplicates(Collection()).empty());
}

class FolderComparison : public test::TempFolder {};

// How the command line says a difference.
std::string Said(const Collection &collection, const FolderDifference &difference) {
    switch (difference.kind) {
    case FolderDifference::Kind::Added:
        return "added " + std::string(collection.File(difference.newEntry));
    case FolderDifference::Kind::Removed:
        return "removed " + std::string(collection.File(difference.oldEntry));
    case FolderDifference::Kind::Moved:
        return "moved " + std::string(collection.File(difference.oldEntry)) + " -> " +
               std::string(collection.File(difference.newEntry));
    case FolderDifference::Kind::Changed:
        break;
    }
    std::string said = "changed " + std::string(collection.File(difference.oldEntry)) + ":";
    for (const Module module : difference.modules)
        said += " " + std::string(InfoOf(module).name);
    return said;
}

// The modules --compare finds different between two files.
std::string ComparedModules(const fs::path &a, const fs::path &b) {
    std::string names;
    for (const ComparedModule &module : ComparePatches(DecodeFresh(a).patch, DecodeFresh(b).patch).modules)
        if (module.differs)
            names += " " + std::string(InfoOf(module.module).name);
    return names;
}

// Files matched by their paths below each folder: added, removed, changed with the modules that
// differ, moved (each file used once); sorted by path, name by name.
TEST_F(FolderComparison, DifferencesAreFoundByPathAndSortedByIt) {
    const std::string blues = Sample("Screamer Blues"), clean = Sample("Clean Lead"),
                      fuzz = Sample("Octave Fuzz");
    const std::string metal = Sample("Metal Rhythm");
    const std::pair<std::string, std::string> olds[] = {
        {"a.rp350p", blues},
        {"b.rp350p", clean},
        {"sub/c.rp350p", Sample("Grunge Phaser")},
        {"d.rp350p", Sample("Direct Whammy")},
        {"e.rp350p", metal},
        {"m1.rp350p", fuzz},
        {"m2.rp350p", fuzz},
        {"r.rp350p", Newer()},
        {"z.rp350p", Sample("Rotary Organ")},
    };
    const std::pair<std::string, std::string> news[] = {
        {"a.rp350p", test::WithName(blues, "Renamed")},
        {"b.rp350p", test::WithText(test::WithText(clean, "2434", "12"), "1857", "Off")},
        {"sub/deeper/c2.rp350p", Sample("Grunge Phaser")},
        {"e.rp350p", test::WithText(metal, "2433", "Off")},
        {"f.rp350p", Sample("Acoustic Strum")},
        {"n1.rp350p", test::WithName(fuzz, "Fuzz")},
        {"r.rp350p", Newer()},
        {"sub-b/x.rp350p", test::WithText(blues, "2434", "1")},
        {"z.rp350p", Newer()},
    };
    for (const auto &[file, bytes] : olds)
        Write(fs::path("old") / file, bytes);
    for (const auto &[file, bytes] : news)
        Write(fs::path("new") / file, bytes);
    const std::vector<fs::path> folders{folder / "old", folder / "new"};
    const ScanOutcome scan = ScanCollection(folders, {.threads = 2});
    ASSERT_EQ(scan.collection.size(), 18u);

    std::vector<std::string> said;
    for (const FolderDifference &difference : CompareFolders(scan.collection))
        said.push_back(Said(scan.collection, difference));
    const auto changed = [&](const std::string &file) {
        return "changed " + file + ":" + ComparedModules(folder / "old" / file, folder / "new" / file);
    };
    EXPECT_EQ(changed("b.rp350p"), "changed b.rp350p: Distortion Delay");
    EXPECT_EQ(said,
              (std::vector<std::string>{changed("b.rp350p"), "removed d.rp350p", changed("e.rp350p"),
                                        "added f.rp350p", "moved m1.rp350p -> n1.rp350p", "removed m2.rp350p",
                                        "moved sub/c.rp350p -> sub/deeper/c2.rp350p", "added sub-b/x.rp350p",
                                        "changed z.rp350p:"}));
    // The window's column beside the new folder's rows says the same, by the new file's path.
    const OldFolderNotes notes = NotesAgainstOldFolder(scan.collection, CompareFolders(scan.collection));
    EXPECT_EQ(notes.removed, 2u);
    const std::map<std::string, std::string, std::less<>> expected{
        {"b.rp350p", "changed: Distortion, Delay"},
        {"e.rp350p", "changed: Distortion"},
        {"f.rp350p", "added"},
        {"n1.rp350p", "moved from m1.rp350p"},
        {"sub/deeper/c2.rp350p", "moved from sub/c.rp350p"},
        {"sub-b/x.rp350p", "added"},
        {"z.rp350p", "changed"}};
    EXPECT_EQ(notes.byFile, expected);
    // The same folder on both sides: nothing differs.
    const ScanOutcome same = ScanCollection(std::vector<fs::path>{folder / "old", folder / "old"});
    EXPECT_TRUE(CompareFolders(same.collection).empty());
}

} // namespace
} // namespace patchlens
