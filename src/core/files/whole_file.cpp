#include "files/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <new>
#include <random>
#include <string_view>
#include <system_error>
#include <type_traits>

#include "platform/platform_files.h"

namespace patchlens {

namespace {

std::string Reason(int error) {
    return std::generic_category().message(error);
}

} // namespace

Result<std::string> ReadWholeFile(const std::filesystem::path &path, std::uintmax_t maxBytes) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
        if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory)
            return Error::Unreadable(ec.message()); // there may be something, but it cannot even be looked at
        return Error::NotFound("no such file");
    }
    if (std::filesystem::is_directory(status))
        return Error::Unreadable("it is a folder");
    if (!std::filesystem::is_regular_file(status))
        return Error::Unreadable("it is not a regular file");
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > maxBytes)
        return Error::TooLarge("too large: " + std::to_string(size) + " bytes");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Error::Unreadable(Reason(errno != 0 ? errno : EACCES));
    std::string bytes;
    try {
        if (!ec)
            bytes.reserve(static_cast<std::size_t>(size));
        char buffer[1 << 16];
        // A file that grows while it is read is still read no further than the limit.
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
            bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
            if (bytes.size() > maxBytes)
                return Error::TooLarge("too large: more than " + std::to_string(maxBytes) + " bytes");
        }
        if (in.bad())
            return Error::Unreadable("read error");
    } catch (const std::bad_alloc &) {
        return Error::Unreadable("too large to hold in memory");
    }
    return bytes;
}

Status WriteWholeFile(const std::filesystem::path &requested, const std::string &bytes) {
    std::error_code ec;
    const std::filesystem::path path = platform::WriteTarget(requested);
    if (std::filesystem::is_directory(path, ec))
        return Error::WriteFailed("it is a folder");

    // A hidden name in the same folder, so that the rename stays on one file system.
    std::random_device seed;
    std::filesystem::path name(".");
    name += path.filename();
    name += ".tmp-" + std::to_string(seed());
    const std::filesystem::path temporary = path.parent_path() / name;

    const Result<platform::ReplacedFile> replaced = platform::InspectReplacedFile(path);
    if (!replaced.ok())
        return replaced.error();
    Status written = platform::WriteNewFile(temporary, bytes, *replaced);
    if (written.ok())
        written = platform::RenameOver(temporary, path);
    if (!written.ok()) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
    }
    return written;
}

Status CopyFileWhenMissing(const std::filesystem::path &from, const std::filesystem::path &to) {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(to, ec)) ||
        !std::filesystem::is_regular_file(from, ec))
        return {};
    const Result<std::string> original = ReadWholeFile(from);
    if (!original.ok())
        return original.error();
    return WriteWholeFile(to, *original);
}

bool IsTemporaryFileOf(std::string_view name, std::string_view fileName) {
    constexpr std::string_view kMark = ".tmp-";
    if (name.size() <= 1 + fileName.size() + kMark.size() || name.front() != '.')
        return false;
    name.remove_prefix(1);
    if (name.substr(0, fileName.size()) != fileName)
        return false;
    name.remove_prefix(fileName.size());
    if (name.substr(0, kMark.size()) != kMark)
        return false;
    name.remove_prefix(kMark.size());
    return name.find_first_not_of("0123456789") == std::string_view::npos;
}

std::size_t RemoveStaleTemporaryFiles(const std::filesystem::path &folder, std::string_view fileName,
                                      std::chrono::seconds age) {
    std::size_t removed = 0;
    std::error_code ec;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::filesystem::path &path = it->path();
        // Our temporary names are plain ASCII; any other name is not one of them.
        const std::filesystem::path file = path.filename();
        const auto &native = file.native();
        if (std::any_of(native.begin(), native.end(),
                        [](auto c) { return static_cast<std::make_unsigned_t<decltype(c)>>(c) > 127; }))
            continue;
        const std::string name(native.begin(), native.end());
        if (!IsTemporaryFileOf(name, fileName) || !it->is_regular_file(ec))
            continue;
        const auto written = std::filesystem::last_write_time(path, ec);
        if (ec || now - written < age)
            continue;
        if (std::filesystem::remove(path, ec))
            ++removed;
    }
    return removed;
}

} // namespace patchlens
