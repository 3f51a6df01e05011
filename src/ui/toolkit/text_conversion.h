#pragma once
// The one place where byte texts and native paths become QStrings and back.

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

#include "text/path_bytes.h" // PathBytes, PathFromBytes: what default.ini stores

class QObject;
class QValidator;

namespace patchlens {

// Bytes for display: UTF-8 when valid, else Windows-1252 byte by byte.
QString ToQString(std::string_view bytes);

// A message of lines joined by CR LF, for a message box.
QString MessageText(std::string_view bytes);

// A native path for display, and back. Paths keep their bytes: a name that is not valid in the
// display encoding is shown by the display rule but still names its file.
QString PathToQString(const std::filesystem::path &path);
std::filesystem::path PathFromQString(const QString &text);

// Typed text as bytes: Windows-1252, the code page of the device's software and of the library
// file. Fields that take text to be stored admit only what Windows-1252 can hold (the validator
// below); anything else is kept as UTF-8.
std::string TypedBytes(const QString &typed);
// The same, but the bytes `shown` unchanged while the text is still what they show: a field set
// from bytes read elsewhere keeps them, whatever the display rule made of them.
std::string TypedBytes(const QString &typed, std::string_view shown);
// A path typed in a field as PathBytes gives it (the system's encoding, not Windows-1252); the
// bytes `shown` are kept unchanged the same way.
std::string TypedPathBytes(const QString &typed, std::string_view shown);

// A validator admitting only text that Windows-1252 can hold; it belongs to `parent`.
QValidator *MakeWindows1252Validator(QObject *parent);

// A path as the file dialogs take it.
QString PathForDialog(const std::filesystem::path &path);

} // namespace patchlens
