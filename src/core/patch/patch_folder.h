#pragma once
// The patch files of one folder, as the patch list shows them.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace patchlens {

// True when the name ends in ".rp350p" in any letter case.
bool HasPatchExtension(std::string_view fileName);

// The names (no folder) of the folder's regular files, hidden ones included, whose names end in
// ".rp350p" in any letter case; in no particular order. An unreadable or missing folder gives none.
std::vector<std::filesystem::path> ListPatchFiles(const std::filesystem::path &folder);

// The order of the patch list, the same in the window and on the command line: by the names as
// shown (the display rule), letters compared without regard to case; names that differ only in
// case or in bytes the display hides, by their bytes.
void SortAsListed(std::vector<std::filesystem::path> &names);

// The text names are compared by: the name as shown, its letters folded to lower case (the Latin,
// Greek and Cyrillic letters that have two cases).
std::string ListingKey(std::string_view nameBytes);

} // namespace patchlens
