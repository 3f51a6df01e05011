// The platform's file operations on POSIX systems: Linux, macOS, the BSDs.

#include "platform/platform_files.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace patchlens::platform {

namespace {

std::string Reason(int error) {
    return std::generic_category().message(error);
}

int Descriptor(const InputFile &file) {
    return static_cast<int>(file.Handle());
}

// O_NONBLOCK: a FIFO that happens to carry a patch name must not wait for a writer.
InputFile OpenAt(int folder, const char *name) {
    return InputFile(::openat(folder, name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
}

} // namespace

// ---- Listing a folder ---------------------------------------------------------------------------

// readdir gives the entry's type with its name; only where the file system leaves it unknown is
// the entry examined.
void ListFolder(const std::filesystem::path &folder,
                const std::function<bool(NativeName name, bool isFolder)> &onEntry) {
    DIR *const dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return;
    const std::unique_ptr<DIR, int (*)(DIR *)> closer(dir, ::closedir);
    while (const dirent *entry = ::readdir(dir)) {
        const NativeName name(entry->d_name, std::strlen(entry->d_name));
        if (name == "." || name == "..")
            continue;
        bool isFolder = false;
#if defined(DT_DIR) && defined(DT_UNKNOWN)
        if (entry->d_type != DT_UNKNOWN) {
            isFolder = entry->d_type == DT_DIR;
        } else
#endif
        {
            struct stat info {};
            isFolder = ::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                       S_ISDIR(info.st_mode);
        }
        if (!onEntry(name, isFolder))
            return;
    }
}

// ---- Reading a file by position -----------------------------------------------------------------

InputFile::~InputFile() {
    if (m_handle != kClosed)
        ::close(static_cast<int>(m_handle));
}

InputFile OpenForReading(const std::filesystem::path &path) {
    return OpenAt(AT_FDCWD, path.c_str());
}

FileOpener::~FileOpener() {
    if (m_folderHandle >= 0)
        ::close(static_cast<int>(m_folderHandle));
}

InputFile FileOpener::Open(const std::filesystem::path &path) {
    const std::string &text = path.native();
    const std::size_t slash = text.rfind('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == text.size())
        return OpenAt(AT_FDCWD, text.c_str());
    if (!m_known || m_folder.size() != slash || text.compare(0, slash, m_folder) != 0) {
        if (m_folderHandle >= 0)
            ::close(static_cast<int>(m_folderHandle));
        m_folder.assign(text, 0, slash);
        m_folderHandle = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        m_known = true;
    }
    if (m_folderHandle < 0)
        return OpenAt(AT_FDCWD, text.c_str());
    return OpenAt(static_cast<int>(m_folderHandle), text.c_str() + slash + 1);
}

FileFacts FactsOf(const InputFile &file) {
    struct stat info {};
    if (!file.IsOpen() || ::fstat(Descriptor(file), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    const auto size = static_cast<std::uint64_t>(info.st_size);
    return {true, size, static_cast<std::uint64_t>(info.st_blocks) * 512u < size};
}

void AdviseSequentialReading([[maybe_unused]] const InputFile &file) {
#if defined(POSIX_FADV_SEQUENTIAL)
    ::posix_fadvise(Descriptor(file), 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
}

std::int64_t ReadAt(const InputFile &file, char *buffer, std::size_t size, std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        return -1;
    for (;;) {
        const ssize_t got = ::pread(Descriptor(file), buffer, size, static_cast<off_t>(offset));
        if (got >= 0)
            return got;
        if (errno != EINTR)
            return -1;
    }
}

DataStretch NextDataStretch([[maybe_unused]] const InputFile &file, [[maybe_unused]] std::uint64_t offset) {
#if defined(SEEK_DATA) && defined(SEEK_HOLE)
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        return {};
    const off_t data = ::lseek(Descriptor(file), static_cast<off_t>(offset), SEEK_DATA);
    if (data < 0)
        return {errno == ENXIO ? DataStretch::Kind::HoleToEnd : DataStretch::Kind::Unknown};
    const off_t hole = ::lseek(Descriptor(file), data, SEEK_HOLE);
    return {DataStretch::Kind::Data, static_cast<std::uint64_t>(data),
            hole > data ? static_cast<std::uint64_t>(hole) : kUnknownEnd};
#else
    return {};
#endif
}

// ---- Writing a file whole -----------------------------------------------------------------------

std::filesystem::path WriteTarget(const std::filesystem::path &path) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec))
        return path;
    const std::filesystem::path target = std::filesystem::read_symlink(path, ec);
    if (ec)
        return path;
    return target.is_absolute() ? target : path.parent_path() / target;
}

ReplacedFile InspectReplacedFile(const std::filesystem::path &path) {
    ReplacedFile replaced;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) != 0)
        return replaced;
    replaced.exists = true;
    if (::access(path.c_str(), W_OK) != 0)
        replaced.refusal = Reason(errno); // a read-only file stays as it is
    replaced.kept = existing.st_mode & 07777;
    return replaced;
}

std::string WriteNewFile(const std::filesystem::path &path, std::string_view bytes,
                         const ReplacedFile &replaced) {
    // A new file gets 0666 less the umask; one that replaces a file gets exactly its mode.
    const mode_t mode = replaced.exists ? static_cast<mode_t>(replaced.kept) : 0666;
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
    if (replaced.exists)
        ::chmod(path.c_str(), mode);
    return {};
}

std::string RenameOver(const std::filesystem::path &from, const std::filesystem::path &to) {
    if (::rename(from.c_str(), to.c_str()) != 0)
        return Reason(errno);
    // The rename itself reaches the disk with the folder.
    const std::filesystem::path folder = to.parent_path();
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return {};
}

} // namespace patchlens::platform
