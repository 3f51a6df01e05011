#pragma once
// Where the program's files live.

#include <filesystem>

namespace patchlens {

struct ProgramPaths {
    std::filesystem::path
        programFolder;                // the executable's folder: the help file, the folder picker's default
    std::filesystem::path dataFolder; // default.ini and LibraryRP350.dat
};

// The program folder when it is writable, so that an existing installation's files are used as
// they are; otherwise (an installation under /usr, a read-only folder) the per-user application
// data folder, created when needed. Needs a QCoreApplication.
ProgramPaths FindProgramPaths();

// The same choice for a given program folder and per-user data folder: the program folder when
// a file can be created in it, else the data folder, created when needed.
ProgramPaths ChooseProgramPaths(const std::filesystem::path &programFolder,
                                const std::filesystem::path &userDataFolder);

} // namespace patchlens
