#include "sheet/sheet_output.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <system_error>

#include "patch/patch_folder.h"
#include "text/path_bytes.h"

namespace patchlens {

bool HasPatchFileName(const std::filesystem::path &path) {
    const std::string name = PathBytes(path.filename());
    constexpr std::array<std::string_view, 3> kExtensions = {".rp350p", ".rp250p", ".rp150p"};
    return std::any_of(kExtensions.begin(), kExtensions.end(), [&](std::string_view extension) {
        if (name.size() < extension.size())
            return false;
        const std::string_view tail = std::string_view(name).substr(name.size() - extension.size());
        return std::equal(tail.begin(), tail.end(), extension.begin(), [](char a, char b) {
            return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
        });
    });
}

namespace {

bool SameFile(const std::filesystem::path &a, const std::filesystem::path &b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

} // namespace

Status OutputRefusal(const std::filesystem::path &output, const std::vector<std::filesystem::path> &inputs,
                     std::string_view what) {
    if (HasPatchFileName(output))
        return Error::Refused("the name of a patch file, not of " + std::string(what));
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(output, ec);
    if (!std::filesystem::exists(status))
        return {};
    if (std::filesystem::is_directory(status))
        return Error::Refused("it is a folder");
    for (const std::filesystem::path &input : inputs) {
        if (!std::filesystem::is_directory(input, ec)) {
            if (SameFile(output, input))
                return Error::Refused("it is " + PathBytes(input) + ", one of the files given");
            continue;
        }
        for (const std::filesystem::path &name : ListPatchFiles(input))
            if (SameFile(output, input / name))
                return Error::Refused("it is " + PathBytes(input / name) +
                                      ", a patch file of a folder given");
    }
    return {};
}

} // namespace patchlens
