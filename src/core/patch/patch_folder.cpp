#include "patch/patch_folder.h"

#include <algorithm>
#include <system_error>

#include "text/byte_text.h"
#include "text/display_text.h"
#include "text/path_bytes.h"

namespace patchlens {

bool HasPatchExtension(std::string_view fileName) {
    constexpr std::string_view kExtension = ".rp350p";
    if (fileName.size() < kExtension.size())
        return false;
    const std::string_view tail = fileName.substr(fileName.size() - kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(),
                      [](char found, char wanted) { return AsciiLowerCase(found) == wanted; });
}

namespace {

char32_t LowerCase(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F))
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    // Latin Extended-A: pairs of capital and small letters.
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) != 0 ? c + 1 : c;
    if (c == 0x178)
        return 0xFF;
    return c;
}

} // namespace

std::string ListingKey(std::string_view nameBytes) {
    const std::string shown = ToDisplayUtf8(nameBytes); // well-formed UTF-8
    std::string key;
    key.reserve(shown.size());
    for (std::size_t i = 0; i < shown.size();) {
        const DecodedChar c = *DecodeUtf8(shown, i);
        AppendUtf8(key, LowerCase(c.code));
        i += c.length;
    }
    return key;
}

void SortAsListed(std::vector<std::filesystem::path> &names) {
    struct Keyed {
        std::string key;
        std::string bytes;
        std::filesystem::path name;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(names.size());
    for (std::filesystem::path &name : names) {
        std::string bytes = PathBytes(name);
        keyed.push_back({ListingKey(bytes), std::move(bytes), std::move(name)});
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        return a.key != b.key ? a.key < b.key : a.bytes < b.bytes;
    });
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = std::move(keyed[i].name);
}

std::vector<std::filesystem::path> ListPatchFiles(const std::filesystem::path &folder) {
    std::vector<std::filesystem::path> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, std::filesystem::directory_options::skip_permission_denied,
                                           ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::error_code entryError;
        if (!it->is_regular_file(entryError))
            continue;
        std::filesystem::path name = it->path().filename();
        if (HasPatchExtension(PathBytes(name)))
            names.push_back(std::move(name));
    }
    return names;
}

} // namespace patchlens
