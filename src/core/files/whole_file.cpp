#include "files/whole_file.h"

#include <cerrno>
#include <fstream>
#include <new>
#include <random>
#include <string_view>
#include <system_error>

#include "platform/platform_files.h"

namespace patchlens {

namespace {

std::string Reason(int error) {
    return std::generic_category().message(error);
}

} // namespace

FileBytes ReadWholeFile(const std::filesystem::path &path) {
    FileBytes result;
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
        if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory) {
            result.exists = true; // there may be something, but it cannot even be looked at
            result.error = ec.message();
        }
        return result;
    }
    result.exists = true;
    if (std::filesystem::is_directory(status)) {
        result.error = "it is a folder";
        return result;
    }
    if (!std::filesystem::is_regular_file(status)) {
        result.error = "it is not a regular file";
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.error = Reason(errno != 0 ? errno : EACCES);
        return result;
    }
    try {
        const auto size = std::filesystem::file_size(path, ec);
        if (!ec)
            result.bytes.reserve(static_cast<std::size_t>(size));
        char buffer[1 << 16];
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
            result.bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (in.bad()) {
            result.bytes.clear();
            result.error = "read error";
            return result;
        }
    } catch (const std::bad_alloc &) {
        result.bytes.clear();
        result.error = "too large to hold in memory";
        return result;
    }
    result.ok = true;
    return result;
}

std::string WriteWholeFile(const std::filesystem::path &requested, const std::string &bytes) {
    std::error_code ec;
    const std::filesystem::path path = platform::WriteTarget(requested);
    if (std::filesystem::is_directory(path, ec))
        return "it is a folder";

    // A hidden name in the same folder, so that the rename stays on one file system.
    std::random_device seed;
    std::filesystem::path name(".");
    name += path.filename();
    name += ".tmp-" + std::to_string(seed());
    const std::filesystem::path temporary = path.parent_path() / name;

    const platform::ReplacedFile replaced = platform::InspectReplacedFile(path);
    if (!replaced.refusal.empty())
        return replaced.refusal;
    std::string reason = platform::WriteNewFile(temporary, bytes, replaced);
    if (reason.empty())
        reason = platform::RenameOver(temporary, path);
    if (!reason.empty()) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
    }
    return reason;
}

} // namespace patchlens
