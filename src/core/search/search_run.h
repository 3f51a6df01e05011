#pragma once
// The whole search: the checks before it starts, its status texts, and the run itself, which walks
// the folder tree and reads the patch files it lists on a few threads at once, reporting in the
// order of a one-by-one search.

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "search/search_modules.h"

namespace patchlens {

// ---- Refusals before a search starts ------------------------------------------------------------

inline constexpr std::string_view kSearchPathMissingMessage = "Could not find Search Path!";
inline constexpr std::string_view kNoModuleChosenMessage = "Select Model";
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
// `separatorAtEndRefused` false skips the first check, for a folder text that has had its
// trailing separators taken off (WithoutTrailingSeparators) and may be a root ("/").
SearchRefusal CheckSearchStart(const std::filesystem::path &folder, bool moduleChosen, bool modelChosen,
                               bool separatorAtEndRefused = true);

// The folder a command line names, its trailing separators ('/', and on Windows '\' too) taken
// off: "samples/" names "samples", as tab completion writes it. A root ("/", "C:\") stays.
std::filesystem::path WithoutTrailingSeparators(const std::filesystem::path &folder);

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

// "Search stopped: " A " of " F " patch files analyzed": A patch files analyzed of the F listed
// when the stop flag ended the search.
std::string StoppedStatus(std::size_t analyzed, std::size_t patchFiles);

// ---- Following and stopping a search ------------------------------------------------------------

// The entries are listed while the first ones are analyzed: the counts of listed entries grow as
// the search goes on, and how far the listing is ahead of the analysis varies from run to run.
struct SearchProgress {
    std::size_t entries = 0;     // entries listed so far
    std::size_t patchFiles = 0;  // of them, patch files
    std::size_t entriesDone = 0; // entries handled so far, in list order
    std::size_t analyzed = 0;    // patch files analyzed so far
    std::size_t matches = 0;     // of them, matching
};

// Every callback may be left empty. They are made on the thread that runs the search, in the
// order the one-by-one search makes them, never two at once; they must not throw.
struct SearchObserver {
    std::function<void(std::string_view status)> onStatus;           // every status text
    std::function<void(const std::filesystem::path &path)> onResult; // each match, in order
    std::function<void(const SearchProgress &)> onProgress;          // after each entry
};

struct SearchOptions {
    // How many files are read at once; 0: one per processor, and up to 16 while the reads wait for
    // the disk. The results and the callbacks are the same for every value.
    unsigned threads = 0;
    // When it becomes true the search ends soon: between two entries, or between two chunks of a
    // large file. What was found in the entries handled so far is kept.
    const std::atomic<bool> *stop = nullptr;
    // The most entries listed and not yet reported (at least 1): the listing waits beyond. It bounds
    // the memory of the search besides the folders waiting to be listed and the results; more
    // keeps the reading threads busier.
    std::size_t entriesAhead = 4096;
    // False: the matches are only reported through SearchObserver::onResult, and the outcome's
    // results stay empty, so that memory stays bounded however many patches match.
    bool keepResults = true;
};

// ---- The whole search ---------------------------------------------------------------------------

struct SearchOutcome {
    // False when the tree held no entry (or the search was stopped before one was listed): the
    // result list shown before stays. True when the result list is replaced by `results`.
    bool resultsReplaced = false;
    std::vector<std::filesystem::path> results; // matching paths in entry list order (see keepResults)
    std::string status;                         // the status text at the end
    std::size_t entries = 0;                    // entries listed
    std::size_t patchFiles = 0;                 // of them, patch files
    std::size_t analyzed = 0;                   // patch files analyzed
    bool stopped = false; // ended by the stop flag; results hold the entries handled before
};

// The whole search. Says "Searching Digitech RP patches...", then walks the tree breadth-first as
// tree_walk.h describes; "Start Analyzing..." once the first entry is listed. Every entry whose
// path passes IsPatchFilePath is a patch file: it counts as analyzed, sets the status
// (AnalyzePatchStatus; LastPatchStatus when it is the last entry of the whole list) and is added to
// the results when it matches (a folder, a FIFO or a device never does). A search that ran through
// ends with the LastPatchStatus of its last patch file, also when other entries follow it. An empty
// tree ends with "No Patches Found!" and leaves the results alone; a tree without patch files ends
// with it too.
// When the stop flag ends the search, the status is StoppedStatus. Besides the results, the memory
// it takes is bounded by the folders waiting to be listed and SearchOptions::entriesAhead, whatever
// the size of the tree. The caller checks CheckSearchStart first.
SearchOutcome RunPatchSearch(const std::filesystem::path &root, const SearchTarget &target,
                             const SearchOptions &options = {}, const SearchObserver *observer = nullptr);

} // namespace patchlens
