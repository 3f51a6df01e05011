#pragma once
// The command line: which mode the program starts in, and the modes that need no window.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace patchlens {

inline constexpr const char *kVersionText = "1.21";

// What --version says after the version: who holds the copyright, the licence, and that there is
// no warranty.
inline constexpr const char *kLicenceNotice =
    "Copyright (C) 2026 the Patchlens developers.\n"
    "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

// The exit status when the output could not be written whole (a full disk, a closed pipe).
inline constexpr int kOutputFailedStatus = 4;

struct CommandLine {
    enum class Mode { Viewer, Dump, Compare, Search, SheetPdf, Image, CompareImage, Help, Version, UsageError };
    Mode mode = Mode::Viewer;
    bool json = false;              // for Dump and Compare
    bool all = false;               // for Compare: every module, not only those that differ
    std::vector<std::string> files; // as given; for Compare the two patches A and B
    std::string error;              // for UsageError
    bool usageShown = true;         // for UsageError: the usage text follows the error
    // For Search: the folder as given, and the module and model, both given. The module is one of
    // the searchable ones, spelt as the module list spells it whatever the case it was given in, or
    // "Select Model"; the model likewise one of that module's models, or "Select Type".
    std::string searchFolder;
    std::optional<std::string> searchModule;
    std::optional<std::string> searchModel;
    // For SheetPdf: the PDF to write and the patch number of the first page (at most two
    // characters, as the number field takes); the pages are the files, a folder standing for its
    // patch files.
    std::string sheetPdf;
    std::string patchNumber = "01";
    // For Image (one file) and CompareImage (the two files A and B): the PNG to write and its
    // pixels per pixel of the window, from 1 to 8.
    std::string imageFile;
    double imageScale = 2;
};

// The window modes: handed to the window program, which has the window toolkit.
bool IsWindowMode(CommandLine::Mode mode);

// Reads the arguments after the program name.
CommandLine ParseCommandLine(const std::vector<std::string> &args);

// For SheetPdf, before anything is written (and before any window toolkit starts): returns 2 after
// a message on `err` when the PDF must not be written where it is named (OutputRefusal: the
// name of a patch file, a folder, one of the patches given), otherwise 0.
int CheckSheetPdfOutput(const CommandLine &command, std::ostream &err);
// The same for Image and CompareImage and their PNG.
int CheckImageOutput(const CommandLine &command, std::ostream &err);

// The usage text printed by --help and after a usage error.
std::string UsageText();

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
