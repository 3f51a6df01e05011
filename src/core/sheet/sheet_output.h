#pragma once
// Where a collection PDF may be written: never over a patch it is made of.

#include <filesystem>
#include <string>
#include <vector>

namespace patchlens {

// Why the PDF of a collection made of `inputs` (patch files and folders, as given) must not be
// written to `output`, or the empty text when it may be. Refused, in this order: a name ending in
// ".rp350p", ".rp250p" or ".rp150p" in any letter case (a patch file's name: the PDF's own name
// was most likely left out); a folder; one of the input files, or one of the patch files of an
// input folder, as the same file by any name (links, hard links, "./x" for "x"). The reason names
// the input file it would overwrite. Looks at the file system; a name that does not exist yet is
// held only to the first rule.
std::string SheetOutputRefusal(const std::filesystem::path &output,
                               const std::vector<std::filesystem::path> &inputs);

} // namespace patchlens
