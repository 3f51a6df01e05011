#pragma once
// default.ini: the three folders the viewer remembers between runs, one line each, every line
// ended by CR LF, no keys and no quoting. Folders are kept as the bytes of their native paths.

#include <optional>
#include <string>
#include <string_view>

namespace patchlens {

inline constexpr std::string_view kSettingsFileName = "default.ini";

struct ViewerSettings {
    std::string lastPatchFolder;  // where the open dialog starts: the folder of the file last opened
    std::string patchFolder;      // the folder the patch list shows
    std::string searchFolder;     // the text of the search window's folder field
};

// Line 1, 2 and 3 of the file; a missing line reads as empty.
ViewerSettings ParseSettings(std::string_view bytes);

// The three lines, each followed by CR LF.
std::string FormatSettings(const ViewerSettings &settings);

// The folder of a chosen file: the text before its last separator ('/' and, on Windows, '\').
// A path without a separator gives nothing (the caller keeps what it had); a file in the root
// gives the root.
std::optional<std::string> FolderOfChosenFile(std::string_view path);

}  // namespace patchlens
