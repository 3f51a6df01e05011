#pragma once
// What the search says to the user: the refusals before a search starts, and the status texts
// of a search.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace patchlens {

// ---- Refusals before a search starts ------------------------------------------------------------

inline constexpr std::string_view kSearchPathMissingMessage = "Could not find Search Path!";
inline constexpr std::string_view kNoModuleChosenMessage = "Select Model";
inline constexpr std::string_view kSelectTypeMessage = "Select Type";

// "Remove Traling '\' character" with the platform's separator in place of the backslash
// ("Remove Traling '/' character" on Linux). The misspelling is the message users know.
std::string TrailingSeparatorMessage();

// The control that must be corrected after a refusal.
enum class SearchFocus { FolderField, ModuleList, ModelList };

// Why a search may not start: the message (kind NotFound for a missing folder, Refused otherwise)
// and the control to correct.
struct SearchRefusal {
    Error error;
    SearchFocus focus;
};

// The checks a search must pass, in this order: the folder text must not end in the platform's
// separator; it must name an existing folder (a link to a folder counts); a module must be chosen;
// a model must be chosen. The first check that fails gives the refusal; none when all pass. Looks
// at the file system. `separatorAtEndRefused` false skips the first check, for a folder text that
// has had its trailing separators taken off (WithoutTrailingSeparators) and may be a root ("/").
std::optional<SearchRefusal> CheckSearchStart(const std::filesystem::path &folder, bool moduleChosen,
                                              bool modelChosen, bool separatorAtEndRefused = true);

// The folder a command line names, its trailing separators ('/', and on Windows '\' too) taken
// off: "samples/" names "samples", as tab completion writes it. A root ("/", "C:\") stays.
std::filesystem::path WithoutTrailingSeparators(const std::filesystem::path &folder);

// ---- Status texts -------------------------------------------------------------------------------

inline constexpr std::string_view kSearchingStatus = "Searching Digitech RP patches...";
inline constexpr std::string_view kStartAnalyzingStatus = "Start Analyzing...";
inline constexpr std::string_view kNoPatchesFoundStatus = "No Patches Found!";

// The path as bytes: the native bytes on POSIX systems, UTF-8 on Windows.
std::string PathText(const std::filesystem::path &path);

// The status of a patch file whose path reads `pathText` (PathText): "Analyze Patch -> " and the
// path; for the last entry of the whole list "Last Patch: ", the number of patch files analyzed
// before this one, " -> " and the path.
std::string PatchFileStatus(bool last, std::size_t analyzedBefore, std::string_view pathText);

// "Search stopped: " A " of " F " patch files analyzed": A patch files analyzed of the F listed
// when the stop flag ended the search.
std::string StoppedStatus(std::size_t analyzed, std::size_t patchFiles);

} // namespace patchlens
