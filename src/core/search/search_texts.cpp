#include "search/search_texts.h"

#include <system_error>

#include "text/path_bytes.h"

namespace patchlens {

std::string TrailingSeparatorMessage() {
    const auto separator = std::filesystem::path::preferred_separator;
    return std::string("Remove Traling '") + static_cast<char>(separator) + "' character";
}

std::optional<SearchRefusal> CheckSearchStart(const std::filesystem::path &folder, bool moduleChosen,
                                              bool modelChosen, bool separatorAtEndRefused) {
    const auto &text = folder.native();
    if (separatorAtEndRefused && !text.empty() && text.back() == std::filesystem::path::preferred_separator)
        return SearchRefusal{Error::Refused(TrailingSeparatorMessage()), SearchFocus::FolderField};
    std::error_code ec;
    if (text.empty() || !std::filesystem::is_directory(folder, ec))
        return SearchRefusal{Error::NotFound(std::string(kSearchPathMissingMessage)),
                             SearchFocus::FolderField};
    if (!moduleChosen)
        return SearchRefusal{Error::Refused(std::string(kNoModuleChosenMessage)), SearchFocus::ModuleList};
    if (!modelChosen)
        return SearchRefusal{Error::Refused(std::string(kSelectTypeMessage)), SearchFocus::ModelList};
    return std::nullopt;
}

std::filesystem::path WithoutTrailingSeparators(const std::filesystem::path &folder) {
    auto text = folder.native();
    auto isSeparator = [](std::filesystem::path::value_type c) {
        return c == '/' || c == std::filesystem::path::preferred_separator;
    };
    while (!text.empty() && isSeparator(text.back()) && std::filesystem::path(text).has_relative_path())
        text.pop_back();
    return text;
}

std::string PathText(const std::filesystem::path &path) {
    return PathBytes(path);
}

std::string PatchFileStatus(bool last, std::size_t analyzedBefore, std::string_view pathText) {
    if (!last)
        return std::string("Analyze Patch -> ").append(pathText);
    return "Last Patch: " + std::to_string(analyzedBefore) + " -> " + std::string(pathText);
}

std::string StoppedStatus(std::size_t analyzed, std::size_t patchFiles) {
    return "Search stopped: " + std::to_string(analyzed) + " of " + std::to_string(patchFiles) +
           " patch files analyzed";
}

} // namespace patchlens
