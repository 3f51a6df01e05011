#pragma once
// A comparison of two patches written out: a table of what differs for people, one JSON object
// for programs.

#include <ostream>
#include <string_view>

#include "compare/patch_compare.h"

namespace patchlens {

// One side of a comparison: the path as given and the patch name the file shows.
struct ComparedFile {
    std::string_view path; // bytes as given on the command line
    std::string_view name;
};

// Writes nothing when the patches show the same and `all` is false. Otherwise the two files with
// their names, then a table with the columns Module, Row, A and B, modules in panel order: each
// module that differs with the rows that differ ("lamp" on/off, "list" enabled/greyed, "line 1" to
// "line 6"). With `all`, every module with every row, a differing row marked "*" in a first column.
// Texts from files are shown by VisibleText; columns are aligned by characters.
void WriteComparisonText(std::ostream &out, const ComparedFile &a, const ComparedFile &b,
                         const PatchComparison &comparison, bool all);

// `{"a": {"path": ..., "name": ...}, "b": {...}, "differs": ..., "modules": [{"module": ...,
// "differs": ..., "lamp": [a, b], "enabled": [a, b], "lines": [{"a": ..., "b": ..., "differs": ...},
// ...]}, ...]}` and a line end; texts by the display rule.
void WriteComparisonJson(std::ostream &out, const ComparedFile &a, const ComparedFile &b,
                         const PatchComparison &comparison);

} // namespace patchlens
