#pragma once
// The patch search: the patch files under a folder in which a chosen effect module is switched on
// and uses a chosen model. The folder tree is listed breadth-first; every listed path whose text
// holds a patch extension is read and tested on the first record of the module's enable id and the
// first record of its type id. Nothing is decoded and nothing is written.
//
// Everything here is free of windows: the search window and the command line call the same
// functions. A long search can run off the user-interface thread: RunPatchSearch reports through
// callbacks made on the thread that calls it, and stops when asked, keeping what it found so far.

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <istream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace patchlens {

// ---- What can be searched -----------------------------------------------------------------------

// Entry 0 of the module list and of the model list: nothing chosen yet.
inline constexpr std::string_view kSelectModelEntry = "Select Model";
inline constexpr std::string_view kSelectTypeEntry = "Select Type";

// One searchable module: its module list entry, the ids of its enable and type parameters
// (decimal text, as they stand between "<ID>" and "</ID>"), and its model list entries in list
// order (they follow "Select Type").
struct SearchModule {
    std::string_view entry;
    std::string_view enableId;
    std::string_view typeId;
    std::span<const std::string_view> models;
};

// The five searchable modules in module list order (they follow "Select Model"): Compressor,
// Distortion, Chorus/Fx, Delay, Reverb. The table lives as long as the program.
std::span<const SearchModule> SearchModules();

// The module whose entry is exactly `entry` (whole text, case-sensitive), or nullptr.
const SearchModule *FindSearchModule(std::string_view entry);

// What one search looks for: the module's two ids and the model text.
struct SearchTarget {
    std::string enableId;
    std::string typeId;
    std::string model;
};

SearchTarget MakeSearchTarget(const SearchModule &module, std::string_view model);

// ---- Refusals before a search starts ------------------------------------------------------------

inline constexpr std::string_view kSearchPathMissingMessage = "Could not find Search Path!";
inline constexpr std::string_view kSelectModelMessage = "Select Model";
inline constexpr std::string_view kSelectTypeMessage = "Select Type";

// "Remove Traling '\' character" with the platform's separator in place of the backslash
// ("Remove Traling '/' character" on Linux). The misspelling is the message users know.
std::string TrailingSeparatorMessage();

// The control that must be corrected after a refusal.
enum class SearchFocus { None, FolderField, ModuleList, ModelList };

struct SearchRefusal {
    bool refused = false;
    std::string message; // empty when not refused
    SearchFocus focus = SearchFocus::None;
};

// The checks a search must pass, in this order: the folder text must not end in the platform's
// separator; it must name an existing folder (a link to a folder counts); a module must be chosen;
// a model must be chosen. The first check that fails gives the refusal. Looks at the file system.
SearchRefusal CheckSearchStart(const std::filesystem::path &folder, bool moduleChosen, bool modelChosen);

// ---- The folder tree ----------------------------------------------------------------------------

// The most entries one scan keeps.
inline constexpr std::size_t kMaxTreeEntries = 100'001;
inline constexpr std::string_view kTooManyTreeItemsMessage = "Too Many Tree Items";

struct TreeEntry {
    std::filesystem::path path; // the listed folder's path, a separator, the name as on disk
    bool isFolder = false;      // a folder whose own entries follow later; a link to a folder is not
};

struct TreeScan {
    std::vector<TreeEntry> entries;                     // breadth-first, at most the entry limit
    std::vector<std::filesystem::path> overflowFolders; // each folder whose listing met the limit
    bool stopped = false;                               // the stop flag ended the scan early
};

// ---- Following and stopping a search ------------------------------------------------------------

struct SearchProgress {
    std::size_t entriesDone = 0; // entries of the list handled so far, in list order
    std::size_t entries = 0;     // entries in the list
    std::size_t patchFiles = 0;  // entries in the list that are patch files
    std::size_t analyzed = 0;    // patch files analyzed so far
    std::size_t found = 0;       // of them, matching
};

// Every callback may be left empty. They are made on the thread that runs the search, in the
// order the one-by-one search makes them, never two at once; they must not throw.
struct SearchObserver {
    std::function<void(std::string_view status)> onStatus;                   // every status text
    std::function<void(const std::filesystem::path &folder)> onTooManyItems; // once per folder
    std::function<void(const std::filesystem::path &path)> onResult;         // each match, in order
    std::function<void(const SearchProgress &)> onProgress;                  // after each entry
};

struct SearchOptions {
    std::size_t entryLimit = kMaxTreeEntries;
    // How many files are read at once; 0: one per processor. The results and the callbacks are
    // the same for every value.
    unsigned threads = 0;
    // When it becomes true the search ends soon: the scan between two folders, the analysis
    // between two chunks of a file. What was found in the entries handled so far is kept.
    const std::atomic<bool> *stop = nullptr;
};

// Lists the root and every folder below it, breadth-first: the root's entries, then the entries of
// each folder in the order the folders were listed, level by level; within a folder in the order
// the file system gives them. Names ending in "." are skipped. A link to a folder is listed but not
// followed. A folder that cannot be read gives no entries. When a folder yields an entry while the
// list already holds `entryLimit` entries, that folder's listing ends, the folder is added to
// overflowFolders and onTooManyItems is called; the folders still waiting are listed as before.
TreeScan ScanFolderTree(const std::filesystem::path &root, const SearchOptions &options = {},
                        const SearchObserver *observer = nullptr);

// ---- The match test -----------------------------------------------------------------------------

// True when the path's text holds ".rp350p", ".rp250p" or ".rp150p" anywhere, case-sensitively
// (folder parts included).
bool IsPatchFilePath(const std::filesystem::path &path);

// The match test on the bytes of one file. The first occurrence of "<ID>" enableId "</ID>" must
// exist, and the fifth line read from its first byte (lines end only at CR LF; what follows the
// last CR LF is a line; lines past the end are empty), taken raw, must contain "On"; then the same
// for typeId, whose fifth line must contain the model. Later occurrences of the keys are ignored.
bool AnalyzePatch(std::string_view bytes, const SearchTarget &target);

// The same test on a file of any size, read in chunks of bounded size: the file is never held in
// memory whole, and reading stops as soon as the verdict is known. A file that cannot be opened or
// read, a folder, and anything but a regular file (after following links) never match.
bool AnalyzePatchFile(const std::filesystem::path &path, const SearchTarget &target);

// The same test on a stream, read in chunks of `chunkSize` bytes (at least 1). Gives what
// AnalyzePatch gives on the whole content, whatever the chunk size.
bool AnalyzePatchStream(std::istream &in, const SearchTarget &target, std::size_t chunkSize = 1 << 16);

// ---- Status texts -------------------------------------------------------------------------------

inline constexpr std::string_view kSearchingStatus = "Searching Digitech RP patches...";
inline constexpr std::string_view kStartAnalyzingStatus = "Start Analyzing...";
inline constexpr std::string_view kNoPatchesFoundStatus = "No Patches Found!";

// The path as bytes: the native bytes on POSIX systems, UTF-8 on Windows.
std::string PathText(const std::filesystem::path &path);

// "Analyze Patch -> " and the path.
std::string AnalyzePatchStatus(const std::filesystem::path &path);

// "Last Patch: ", the number of patch files analyzed before this one, " -> " and the path.
std::string LastPatchStatus(std::size_t analyzedBefore, const std::filesystem::path &path);

// ---- The whole search ---------------------------------------------------------------------------

struct SearchOutcome {
    // False when the tree held no entry (or the scan was stopped): the result list shown before
    // stays. True when the result list is replaced by `results`.
    bool resultsReplaced = false;
    std::vector<std::filesystem::path> results; // matching paths in entry list order
    std::string status;                         // the status text at the end
    std::vector<std::filesystem::path> overflowFolders;
    std::size_t entries = 0;  // entries listed
    std::size_t analyzed = 0; // patch files analyzed
    bool stopped = false;     // ended by the stop flag; results hold the entries handled before
};

// Analyzes the scan's entries in list order: every entry whose path passes IsPatchFilePath is a
// patch file, counts as analyzed, sets the status (AnalyzePatchStatus; LastPatchStatus for the
// last entry of the list) and is added to the results when it matches. An empty list ends with
// "No Patches Found!" and leaves the results alone; a list without patch files ends with it too.
// Files may be read on several threads at once; results and callbacks follow list order.
SearchOutcome AnalyzeTree(const TreeScan &scan, const SearchTarget &target, const SearchOptions &options = {},
                          const SearchObserver *observer = nullptr);

// The whole search: "Searching Digitech RP patches...", ScanFolderTree, then AnalyzeTree.
// The caller checks CheckSearchStart first.
SearchOutcome RunPatchSearch(const std::filesystem::path &root, const SearchTarget &target,
                             const SearchOptions &options = {}, const SearchObserver *observer = nullptr);

} // namespace patchlens
