#pragma once
// The command line: which mode the program starts in, and the modes that need no window.

#include <ostream>
#include <string>
#include <vector>

namespace patchlens {

inline constexpr const char *kVersionText = "1.21";

struct CommandLine {
    enum class Mode { Viewer, Dump, Help, Version, UsageError };
    Mode mode = Mode::Viewer;
    bool json = false;
    std::vector<std::string> files; // as given
    std::string error;              // for UsageError
};

// Reads the arguments after the program name.
CommandLine ParseCommandLine(const std::vector<std::string> &args);

// The usage text printed by --help and after a usage error.
std::string UsageText();

// Decodes the files in order into one viewer state and writes what the viewer shows after each.
// Returns 0 when every file was read and accepted, 1 when any was refused or unreadable.
int RunDump(const CommandLine &command, std::ostream &out, std::ostream &err);

// The viewer's arguments where there is no display: every patch file given, and every patch file
// of every folder given, printed as text after a note saying why.
int RunViewerWithoutDisplay(const CommandLine &command, std::ostream &out, std::ostream &err);

// True when a window can be shown: a display server is named, or a Qt platform is chosen.
bool HasDisplay();

// Runs a mode that needs no window (everything but Viewer); returns the exit status.
int RunWithoutWindow(const CommandLine &command, std::ostream &out, std::ostream &err);

} // namespace patchlens
