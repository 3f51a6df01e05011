#pragma once
// The collection's command-line modes: the table of a folder tree (--list), its duplicates and
// variants (--duplicates), and two folder trees compared (--compare-folders). Each scans the
// folders with the core's collection scan and writes what the core found.
//
// In all three a refused file is named on `err` with its reason, as --dump names it, and a folder
// that cannot be read with what is wrong; paths and texts on `err` and in the text table are shown
// by VisibleText. Paths printed one per line are their bytes, with control characters shown
// visibly when `out` is a terminal (as --search prints them).

#include <ostream>

#include "command_line.h"

namespace patchlens {

// --list FOLDER... [--recursive] [--where FILTER] [--csv | --json]: one row per patch file the
// filter takes, written while the folders are scanned (nothing is kept), in the scan's order. The
// file column is the path relative to its folder; with several folders, the folder as given
// joined with it. The text table: the name, the fifteen model lines (in parentheses when the
// module is off; a longer one pushes the columns after it), the file, and for a refused file
// "refused:" and the reason. CSV and JSON as collection_export.h writes them. Returns 0 when the
// listing was made (refused files or not), 1 when a folder could not be read.
int RunList(const CommandLine &command, std::ostream &out, std::ostream &err, bool outIsTerminal = false);

// --duplicates FOLDER... [--recursive] [--variants] [--json]: the groups of duplicates (or of
// variants), the paths of each group one per line in the scan's order, an empty line between
// groups, the groups in the order of their first file. JSON: an array of groups, each an array
// of {"path": ..., "name": ...}. Returns 0 when the groups were made, 1 when a folder could not
// be read.
int RunDuplicates(const CommandLine &command, std::ostream &out, std::ostream &err,
                  bool outIsTerminal = false);

// --compare-folders OLD NEW [--json]: both trees scanned whole, files matched by their path below
// each folder; one line per difference, sorted by path: "added PATH", "removed PATH", "changed
// PATH: Module, Module" (the modules that differ, in panel order; without the list when the files
// differ by a refusal), "moved OLDPATH -> NEWPATH". JSON: an array of {"kind": "added" |
// "removed" | "changed" | "moved", "path": ..., ["modules": [...]], ["to": ...]}. Returns as diff
// -r does: 0 when the trees show the same, 1 when they differ, 2 for trouble: a refused or
// unreadable file, or a folder that cannot be read (a named one: nothing is written to `out`).
int RunCompareFolders(const CommandLine &command, std::ostream &out, std::ostream &err,
                      bool outIsTerminal = false);

} // namespace patchlens
