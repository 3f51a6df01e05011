#pragma once
// Where the program's files live.

#include <filesystem>
#include <string>
#include <vector>

namespace patchlens {

// The file the Windows installer puts beside the program: an installed program keeps its files in
// the per-user folder even where it could write its own folder (run as administrator, say), so that
// the uninstaller, which removes only what it installed, never meets the user's library.
inline constexpr const char *kInstallationMarkerName = "Patchlens-installed.txt";

struct ProgramPaths {
    std::filesystem::path
        programFolder;                // the executable's folder: the help file, the folder picker's default
    std::filesystem::path dataFolder; // default.ini and LibraryRP350.dat
    // Files of the program folder that should have been copied to the data folder and could not
    // be, each with the reason; shown to the user once the window is up.
    std::vector<std::string> copyProblems;
};

// The program folder when it is writable, so that an existing installation's files are used as
// they are; otherwise (an installation under /usr, a read-only folder) the per-user application
// data folder, created when needed. Needs a QCoreApplication.
ProgramPaths FindProgramPaths();

// The same choice for a given program folder and per-user data folder: the program folder when
// a file can be created in it and it holds no installation marker, else the data folder, created
// when needed. An installation's
// default.ini and LibraryRP350.dat in a program folder the user cannot write are copied to the
// data folder when it has none of its own, so that a library does not vanish from the screen;
// the originals stay untouched.
ProgramPaths ChooseProgramPaths(const std::filesystem::path &programFolder,
                                const std::filesystem::path &userDataFolder);

} // namespace patchlens
