#pragma once
// The modes that need no window, run on the streams they are given; and the checks the modes that
// write a file make before any window toolkit starts.

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "patch/decode.h"

namespace patchlens {

// The exit status when the output could not be written whole (a full disk, a closed pipe).
inline constexpr int kOutputFailedStatus = 4;

// For SheetPdf, Image and CompareImage, before anything is written (and before any window toolkit
// starts): returns 2 after a message on `err` when the PDF or PNG must not be written where it is
// named (OutputRefusal: the name of a patch file, a folder, one of the patches given), otherwise 0.
int CheckOutputFile(const CommandLine &command, std::ostream &err);

// Says on `err` why a file loaded by `outcome` does not stand for a patch: "<path>: cannot read
// file: <reason>", or the path and the refusal, each of its lines on a line of its own. Returns
// true when it said something (the file was unreadable or refused), false for a usable file.
bool ReportLoadTrouble(std::ostream &err, std::string_view path, const Status &outcome);

// Decodes the files in order into one viewer state and writes what the viewer shows after each.
// Returns 0 when every file was read and accepted, 1 when any was refused or unreadable.
int RunDump(const CommandLine &command, std::ostream &out, std::ostream &err);

// Decodes the two files from scratch and writes what differs (every module with `all`; one JSON
// object with `json`). Returns 0 when the two show the same, 1 when they differ, and 2 when either
// file was refused or could not be read (nothing written to `out`, the reasons on `err`).
int RunCompare(const CommandLine &command, std::ostream &out, std::ostream &err);

// The paths of a folder's patch files, in the patch list's order.
std::vector<std::string> FolderPatchFiles(const std::string &folder);

// The name of a collection whose first argument is `first`: a folder's own name, or a file's name
// without its extension.
std::string CollectionName(const std::string &first);

// The viewer's arguments where there is no display: every patch file given, and every patch file
// of every folder given, printed as text after a note saying why.
int RunViewerWithoutDisplay(const CommandLine &command, std::ostream &out, std::ostream &err);

// Searches the folder tree as the search window does and writes the matching paths (their bytes;
// with control characters shown visibly when `out` is a terminal) to `out`, one per line, in
// result list order; the final status text, and each "Too Many Tree
// Items" with its folder, go to `err`. A folder ending in separators is the folder they end (the
// root stays the root). Returns 0 after a search (with or without results) and 1 when the search
// is refused, its message on `err`: a folder not found, the window's "Select Model" given as the
// module, or its "Select Type" as the model.
int RunSearch(const CommandLine &command, std::ostream &out, std::ostream &err, bool outIsTerminal = false);

// True when a window can be shown: a display server is named, or a Qt platform is chosen.
bool HasDisplay();

// Runs a mode that needs no window and no Qt (everything but SheetPdf; Viewer as without a
// display); returns the exit status, or kOutputFailedStatus after a message on `err` when `out`
// could not take everything written to it.
int RunWithoutWindow(const CommandLine &command, std::ostream &out, std::ostream &err,
                     bool outIsTerminal = false);

// RunWithoutWindow on standard output and standard error, checking that what was written to
// standard output reached it.
int RunToStandardOutput(const CommandLine &command);

} // namespace patchlens
