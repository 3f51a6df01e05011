#include "toolkit/whole_file.h"

#include <QFile>
#include <QSaveFile>
#include <system_error>

#include "toolkit/text_conversion.h"

namespace patchlens {

FileBytes ReadWholeFile(const std::filesystem::path &path) {
    FileBytes result;
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) return result;
    result.exists = true;
    if (std::filesystem::is_directory(status)) {
        result.error = "it is a folder";
        return result;
    }
    QFile file(PathForDialog(path));
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString().toStdString();
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = file.errorString().toStdString();
        return result;
    }
    result.bytes = bytes.toStdString();
    result.ok = true;
    return result;
}

std::string WriteWholeFile(const std::filesystem::path &path, const std::string &bytes) {
    QSaveFile file(PathForDialog(path));
    if (!file.open(QIODevice::WriteOnly)) return file.errorString().toStdString();
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        const std::string error = file.errorString().toStdString();
        file.cancelWriting();
        return error;
    }
    if (!file.commit()) return file.errorString().toStdString();
    return {};
}

}  // namespace patchlens
