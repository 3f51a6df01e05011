#pragma once
// The collection scan: one or more folders read into one entry per patch file, in a fixed order,
// while the files are read and decoded on several threads.
//
// Which files: in each folder (and, when recursive, every folder below it) the entries whose names
// end in ".rp350p" in any letter case and that are regular files after following links, as the
// patch list takes them. Links to folders are never followed.
// The order: the folders as given; within each, the order of the search (tree_walk.h): the
// folder's own entries first, then those of each folder below in the order they were listed,
// level by level; within a folder in the order the file system gives them. Every entry is handed
// on in that order once it is known, whatever the number of threads: the entries are the same as
// one thread reading and decoding file after file would give.

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "collection/collection.h"

namespace patchlens {

// A folder that could not be read; the scan went on without it.
struct FolderTrouble {
    std::size_t folder = 0;     // which of the scanned folders it is, or lies in
    std::filesystem::path path; // the folder itself
    // Says it whole, naming the folder: "PATH: no such folder", "PATH: not a folder",
    // "PATH: the folder cannot be read: REASON".
    std::string message;
};

// The counts grow as the scan goes on. Files are listed ahead of the reading: `listed` runs ahead
// of `handed`, by an amount that varies from run to run.
struct ScanProgress {
    std::size_t listed = 0;   // entries listed so far that may be patch files: names ending in ".rp350p"
                              // that the listing does not call folders or special files
    std::size_t handed = 0;   // of them, handled so far in order (patch files or not: a link may
                              // lead to a folder)
    std::size_t patches = 0;  // entries handed on so far (accepted or refused)
    std::size_t accepted = 0; // of them, accepted
    std::size_t troubles = 0; // folders that could not be read, so far
};

// Every callback may be left empty. They are made on the thread that runs the scan, in the scan's
// order, never two at once; they must not throw.
struct ScanObserver {
    // Each patch file, in order. The patch may be moved from: the scan has no further use for it.
    std::function<void(ScannedPatch &patch, const ScanProgress &progress)> onPatch;
    // Each folder that cannot be read, where the walk comes to it.
    std::function<void(const FolderTrouble &trouble)> onTrouble;
    // Now and then while the scan goes on (at least after every few hundred entries), and at the end.
    std::function<void(const ScanProgress &progress)> onProgress;
};

struct ScanOptions {
    bool recursive = true; // also every folder below each folder, level by level
    // How many files are read and decoded at once; 0: one per processor. The entries and the
    // callbacks are the same for every value.
    unsigned threads = 0;
    // When it becomes true the scan ends soon, between two files, and hands nothing on after that
    // (an observer that sets it sees no entry more). The entries handed on before are kept: they
    // are the first entries of the whole scan, in order.
    const std::atomic<bool> *stop = nullptr;
    // False: the entries are only handed to the observer and the outcome's collection stays empty,
    // so that the memory stays bounded (a few megabytes) whatever the size of the tree.
    bool keepEntries = true;
};

struct ScanOutcome {
    Collection collection;               // the entries in order (unless keepEntries is false)
    std::vector<FolderTrouble> troubles; // in the order the scan came to them
    ScanProgress progress;               // the counts at the end
    bool stopped = false;                // ended by the stop flag
};

// Scans the folders in the given order. A named folder that does not exist or is no folder, and a
// folder below one that cannot be read, is a trouble: reported and skipped. Besides the entries
// kept, the memory the scan takes is bounded by the folders waiting to be listed and the few
// thousand files read ahead.
ScanOutcome ScanCollection(std::span<const std::filesystem::path> folders, const ScanOptions &options = {},
                           const ScanObserver *observer = nullptr);

} // namespace patchlens
