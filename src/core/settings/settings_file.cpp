#include "settings/settings_file.h"

#include "text/byte_text.h"

namespace patchlens {

ViewerSettings ParseSettings(std::string_view bytes) {
    // A line ends at CR LF; what follows the last CR LF is one more line.
    return {std::string(ItemOf(bytes, 0)), std::string(ItemOf(bytes, 1)), std::string(ItemOf(bytes, 2))};
}

std::string FormatSettings(const ViewerSettings &settings) {
    return settings.lastPatchFolder + "\r\n" + settings.patchFolder + "\r\n" + settings.searchFolder + "\r\n";
}

std::optional<std::string> FolderOfChosenFile(std::string_view path) {
#ifdef _WIN32
    const std::size_t last = path.find_last_of("\\/");
#else
    const std::size_t last = path.find_last_of('/');
#endif
    if (last == std::string_view::npos)
        return {};
    return std::string(path.substr(0, last == 0 ? 1 : last));
}

}  // namespace patchlens
