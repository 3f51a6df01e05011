#pragma once
// The command line: which mode the program starts in, and with what.

#include <optional>
#include <string>
#include <vector>

#include "collection/patch_filter.h"

namespace patchlens {

inline constexpr const char *kVersionText = "1.21";

// What --version says after the version: who holds the copyright, the licence, and that there is
// no warranty.
inline constexpr const char *kLicenceNotice =
    "Copyright (C) 2026 the Patchlens developers.\n"
    "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

struct CommandLine {
    enum class Mode {
        Viewer,
        Dump,
        Compare,
        Search,
        List,
        Duplicates,
        CompareFolders,
        SheetPdf,
        Image,
        CompareImage,
        Help,
        Version,
        UsageError
    };
    Mode mode = Mode::Viewer;
    bool json = false; // for Dump, Compare, List, Duplicates and CompareFolders
    bool all = false;  // for Compare: every module, not only those that differ
    // As given; for Compare the two patches A and B; for List and Duplicates the folders, for
    // CompareFolders the two folders OLD and NEW.
    std::vector<std::string> files;
    std::string error;      // for UsageError
    bool usageShown = true; // for UsageError: the usage text follows the error
    // For Search: the folder as given, and the module and model, both given. The module is one of
    // the searchable ones, spelt as the module list spells it whatever the case it was given in, or
    // "Select Model"; the model likewise one of that module's models, or "Select Type".
    std::string searchFolder;
    std::optional<std::string> searchModule;
    std::optional<std::string> searchModel;
    // For List and Duplicates: every folder below the folders too; for List the table as CSV,
    // and the filter (its text as given, and as read: a filter that cannot be read is a usage
    // error); for Duplicates the groups of variants instead of those of duplicates.
    bool recursive = false;
    bool csv = false;
    std::string where;
    PatchFilter filter;
    bool variants = false;
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

// The usage text printed by --help and after a usage error.
std::string UsageText();

} // namespace patchlens
