#pragma once
// The one place where byte texts and native paths become QStrings and back.

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace patchlens {

// Bytes for display: UTF-8 when valid, else Windows-1252 byte by byte.
QString ToQString(std::string_view bytes);

// A message of lines joined by CR LF, for a message box.
QString MessageText(std::string_view bytes);

// A native path for display, and back. Paths keep their bytes: a name that is not valid in the
// display encoding is shown by the display rule but still names its file.
QString PathToQString(const std::filesystem::path &path);
std::filesystem::path PathFromQString(const QString &text);

// The bytes of a native path (what default.ini stores), and back.
std::string PathBytes(const std::filesystem::path &path);
std::filesystem::path PathFromBytes(std::string_view bytes);

// A path as the file dialogs take it.
QString PathForDialog(const std::filesystem::path &path);

} // namespace patchlens
