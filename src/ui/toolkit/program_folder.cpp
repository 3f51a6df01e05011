#include "toolkit/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "toolkit/text_conversion.h"

namespace patchlens {

ProgramPaths FindProgramPaths() {
    ProgramPaths paths;
    const QString programFolder = QCoreApplication::applicationDirPath();
    paths.programFolder = PathFromQString(programFolder);
    if (QFileInfo(programFolder).isWritable()) {
        paths.dataFolder = paths.programFolder;
    } else {
        const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QDir().mkpath(appData);
        paths.dataFolder = PathFromQString(appData);
    }
    return paths;
}

} // namespace patchlens
