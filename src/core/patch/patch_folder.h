#pragma once
// The patch files of one folder, as the patch list shows them.

#include <filesystem>
#include <string_view>
#include <vector>

namespace patchlens {

// True when the name ends in ".rp350p" in any letter case.
bool HasPatchExtension(std::string_view fileName);

// The names (no folder) of the folder's regular files, hidden ones included, whose names end in
// ".rp350p" in any letter case; in no particular order. An unreadable or missing folder gives none.
std::vector<std::filesystem::path> ListPatchFiles(const std::filesystem::path &folder);

}  // namespace patchlens
