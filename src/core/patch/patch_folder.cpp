#include "patch/patch_folder.h"

#include <algorithm>
#include <system_error>

namespace patchlens {

bool HasPatchExtension(std::string_view fileName) {
    constexpr std::string_view kExtension = ".rp350p";
    if (fileName.size() < kExtension.size()) return false;
    const std::string_view tail = fileName.substr(fileName.size() - kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

std::vector<std::filesystem::path> ListPatchFiles(const std::filesystem::path &folder) {
    std::vector<std::filesystem::path> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, std::filesystem::directory_options::skip_permission_denied, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::error_code entryError;
        if (!it->is_regular_file(entryError)) continue;
        std::filesystem::path name = it->path().filename();
        if (HasPatchExtension(name.string())) names.push_back(std::move(name));
    }
    return names;
}

}  // namespace patchlens
