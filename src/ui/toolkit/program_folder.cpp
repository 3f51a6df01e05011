#include "toolkit/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "toolkit/text_conversion.h"

namespace patchlens {

namespace {

// Whether a file can be created in the folder: tried, not guessed from permission bits, so that
// read-only mounts and access rules count too.
bool CanCreateFilesIn(const std::filesystem::path &folder) {
    QTemporaryFile probe(PathForDialog(folder / ".patchlens-probe-XXXXXX"));
    return probe.open();
}

} // namespace

ProgramPaths ChooseProgramPaths(const std::filesystem::path &programFolder,
                                const std::filesystem::path &userDataFolder) {
    ProgramPaths paths{programFolder, programFolder};
    if (!CanCreateFilesIn(programFolder)) {
        QDir().mkpath(PathForDialog(userDataFolder));
        paths.dataFolder = userDataFolder;
    }
    return paths;
}

ProgramPaths FindProgramPaths() {
    return ChooseProgramPaths(
        PathFromQString(QCoreApplication::applicationDirPath()),
        PathFromQString(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
}

} // namespace patchlens
