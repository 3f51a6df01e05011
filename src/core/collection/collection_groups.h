#pragma once
// What a collection holds, compared within itself: duplicates, variants, and two folders of one
// collection side by side. Pure functions over a collection: nothing is read or decoded again.

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "collection/collection.h"
#include "panels/module_panels.h"

namespace patchlens {

// Groups of entry indices: each group in collection order, the groups in the order of their first
// entry.
using EntryGroups = std::vector<std::vector<std::size_t>>;

// Every sound held by at least two accepted entries: its entries. Refused entries are in no group.
EntryGroups FindDuplicates(const Collection &collection);

// Every chain held by accepted entries of at least two different sounds: all the accepted entries
// of that chain (duplicates among them included).
EntryGroups FindVariants(const Collection &collection);

// One difference between two folders of a collection, files matched by their relative paths.
struct FolderDifference {
    enum class Kind {
        Added,   // only in the new folder
        Removed, // only in the old folder
        Changed, // in both, and what a comparison sees differs (or only one of them is accepted,
                 // or both are refused for different reasons)
        Moved,   // removed from the old folder, and an added file of the new one has its sound
    };
    Kind kind = Kind::Added;
    std::size_t oldEntry = 0; // Removed, Changed, Moved: the entry in the old folder
    std::size_t newEntry = 0; // Added, Changed, Moved: the entry in the new folder
    // Changed, both accepted: the modules that differ, in panel order, as ComparePatches finds
    // them. Empty when the files differ by being refused.
    std::vector<Module> modules;
};

// The differences between the entries of folder `oldFolder` and folder `newFolder` of the
// collection (scan them together, each recursively, so that their states share one pool), sorted
// by path (Moved: the old path), paths compared component by component as bytes. Files in both
// folders that look the same to a comparison (or are refused alike) are not listed. Moved: each
// removed accepted file, in path order, takes the first added file (in path order) of its sound not
// taken yet; both then leave the added and removed ones.
std::vector<FolderDifference> CompareFolders(const Collection &collection, std::size_t oldFolder = 0,
                                             std::size_t newFolder = 1);

// The word a difference is said with: "added", "removed", "changed", "moved".
std::string_view KindText(FolderDifference::Kind kind);
// The modules' names as the panels' captions give them, joined by ", ".
std::string ModuleNamesText(const std::vector<Module> &modules);

// What each file of the new folder is in the old one, for a column beside the new folder's rows, by
// its path relative to the new folder: "added", "changed: Distortion, Delay" (only "changed" when
// the two differ by a refusal), "moved from OLDPATH". A file of the new folder that is not there is
// the same in both; the files only in the old folder have no row and are counted.
struct OldFolderNotes {
    std::map<std::string, std::string, std::less<>> byFile;
    std::size_t removed = 0;
};
OldFolderNotes NotesAgainstOldFolder(const Collection &collection,
                                     const std::vector<FolderDifference> &differences);

} // namespace patchlens
