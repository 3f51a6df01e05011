#pragma once
// Where a PDF or a picture made of patches may be written: never over a patch it is made of.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace patchlens {

// True when the file name ends in ".rp350p", ".rp250p" or ".rp150p" in any letter case.
bool HasPatchFileName(const std::filesystem::path &path);

// Whether the output made of `inputs` (patch files and folders, as given) may be written to
// `output`: Refused, with the reason, when it must not be. `what` names the output ("a PDF", "a picture").
// Refused, in this order: a patch file's name (HasPatchFileName: the output's own name was most
// likely left out); a folder; one of the input files, or one of the patch files of an
// input folder, as the same file by any name (links, hard links, "./x" for "x"). The reason names
// the input file it would overwrite. Looks at the file system; a name that does not exist yet is
// held only to the first rule.
Status OutputRefusal(const std::filesystem::path &output, const std::vector<std::filesystem::path> &inputs,
                     std::string_view what);

} // namespace patchlens
