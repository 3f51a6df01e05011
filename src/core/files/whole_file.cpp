#include "files/whole_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace patchlens {

namespace {

std::string Reason(int error) {
    return std::generic_category().message(error);
}

#ifndef _WIN32
// Writes all bytes to a new file and flushes them to the disk. The file is created with `mode`
// (less the umask), or with exactly `mode` when it replaces a file whose permissions it keeps.
std::string WriteAndSync(const std::filesystem::path &path, const std::string &bytes, mode_t mode,
                         bool exactMode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return Reason(errno);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const std::string reason = Reason(errno);
            ::close(fd);
            return reason;
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        const std::string reason = Reason(errno);
        ::close(fd);
        return reason;
    }
    if (::close(fd) != 0)
        return Reason(errno);
    if (exactMode)
        ::chmod(path.c_str(), mode);
    return {};
}

void SyncFolder(const std::filesystem::path &folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}
#endif

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
    std::filesystem::path path = requested;
    if (std::filesystem::is_symlink(requested, ec)) {
        const std::filesystem::path target = std::filesystem::read_symlink(requested, ec);
        if (!ec)
            path = target.is_absolute() ? target : requested.parent_path() / target;
    }
    if (std::filesystem::is_directory(path, ec))
        return "it is a folder";

    std::random_device seed;
    const std::filesystem::path temporary =
        path.parent_path() / ("." + path.filename().string() + ".tmp-" + std::to_string(seed()));
#ifdef _WIN32
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return "cannot create a file in " + path.parent_path().string();
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::filesystem::remove(temporary, ec);
            return "write error (disk full?)";
        }
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return ec.message();
    }
    return {};
#else
    mode_t mode = 0666;
    struct stat existing {};
    const bool replacing = ::stat(path.c_str(), &existing) == 0;
    if (replacing) {
        if (::access(path.c_str(), W_OK) != 0)
            return Reason(errno); // a read-only file stays as it is
        mode = existing.st_mode & 07777;
    }
    if (std::string reason = WriteAndSync(temporary, bytes, mode, replacing); !reason.empty()) {
        ::unlink(temporary.c_str());
        return reason;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = Reason(errno);
        ::unlink(temporary.c_str());
        return reason;
    }
    SyncFolder(path.parent_path());
    return {};
#endif
}

} // namespace patchlens
