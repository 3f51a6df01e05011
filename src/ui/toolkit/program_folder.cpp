#include "toolkit/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "files/whole_file.h"
#include "library/library_file.h"
#include "settings/settings_file.h"
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
    ProgramPaths paths{programFolder, programFolder, {}};
    std::error_code ec;
    const bool installed = std::filesystem::exists(programFolder / kInstallationMarkerName, ec);
    if (!installed && CanCreateFilesIn(programFolder))
        return paths;
    QDir().mkpath(PathForDialog(userDataFolder));
    paths.dataFolder = userDataFolder;
    for (const std::string_view name : {kSettingsFileName, kLibraryFileName}) {
        if (const Status copied = CopyFileWhenMissing(programFolder / name, userDataFolder / name);
            !copied.ok())
            paths.copyProblems.push_back(PathBytes(programFolder / name) + ": " + copied.message());
    }
    return paths;
}

ProgramPaths FindProgramPaths() {
    return ChooseProgramPaths(
        PathFromQString(QCoreApplication::applicationDirPath()),
        PathFromQString(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
}

} // namespace patchlens
