// The platform's file operations on POSIX systems: Linux, macOS, the BSDs.

#include "platform/platform_files.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
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

// ---- Reading a file by position -----------------------------------------------------------------

InputFile::~InputFile() {
    if (m_handle != kClosed)
        ::close(static_cast<int>(m_handle));
}

InputFile OpenForReading(const std::filesystem::path &path) {
    return OpenAt(AT_FDCWD, path.c_str());
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

void AdviseReadingSoon([[maybe_unused]] const InputFile &file, [[maybe_unused]] std::uint64_t bytes) {
#if defined(POSIX_FADV_WILLNEED)
    if (bytes > 0 && bytes <= static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        ::posix_fadvise(Descriptor(file), 0, static_cast<off_t>(bytes), POSIX_FADV_WILLNEED);
#endif
}

Result<std::size_t> ReadAt(const InputFile &file, char *buffer, std::size_t size, std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        return Error::Unreadable(Reason(EOVERFLOW));
    for (;;) {
        const ssize_t got = ::pread(Descriptor(file), buffer, size, static_cast<off_t>(offset));
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            return Error::Unreadable(Reason(errno));
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

std::optional<std::uint64_t> DiskReadsSoFar() {
    struct rusage usage {};
    if (::getrusage(RUSAGE_SELF, &usage) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(usage.ru_inblock);
}

// ---- Listing a folder ---------------------------------------------------------------------------

struct FolderReader::Listing {
    DIR *dir = nullptr;
    bool more = true;
};

namespace {

EntryKind KindOfMode(mode_t mode) {
    if (S_ISDIR(mode))
        return EntryKind::Folder;
    if (S_ISREG(mode))
        return EntryKind::File;
    if (S_ISLNK(mode))
        return EntryKind::Link;
    if (S_ISFIFO(mode) || S_ISCHR(mode) || S_ISBLK(mode) || S_ISSOCK(mode))
        return EntryKind::Special;
    return EntryKind::Unknown;
}

// The kind readdir gives with the name; only where the file system leaves it unknown is the entry
// examined (without following a link).
EntryKind KindOf(DIR *dir, const dirent &entry) {
#if defined(DT_UNKNOWN)
    switch (entry.d_type) {
    case DT_DIR:
        return EntryKind::Folder;
    case DT_REG:
        return EntryKind::File;
    case DT_LNK:
        return EntryKind::Link;
    case DT_FIFO:
    case DT_CHR:
    case DT_BLK:
    case DT_SOCK:
        return EntryKind::Special;
    default:
        break;
    }
#endif
    struct stat info {};
    if (::fstatat(::dirfd(dir), entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return EntryKind::Unknown;
    return KindOfMode(info.st_mode);
}

} // namespace

FolderReader::FolderReader(const std::filesystem::path &folder) : m_listing(std::make_unique<Listing>()) {
    m_listing->dir = ::opendir(folder.c_str());
    m_listing->more = m_listing->dir != nullptr;
}

FolderReader::~FolderReader() {
    if (m_listing->dir != nullptr)
        ::closedir(m_listing->dir);
}

bool FolderReader::IsOpen() const {
    return m_listing->dir != nullptr;
}

bool FolderReader::Read(const std::function<bool(NativeName name, EntryKind kind)> &onEntry) {
    while (m_listing->more) {
        const dirent *entry = ::readdir(m_listing->dir);
        if (entry == nullptr) {
            m_listing->more = false;
            break;
        }
        const NativeName name(entry->d_name, std::strlen(entry->d_name));
        if (name == "." || name == "..")
            continue;
        if (!onEntry(name, KindOf(m_listing->dir, *entry)))
            break;
    }
    return m_listing->more;
}

InputFile FolderReader::OpenFile(const NativeChar *name) const {
    if (m_listing->dir == nullptr)
        return {};
    return OpenAt(::dirfd(m_listing->dir), name);
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

Result<ReplacedFile> InspectReplacedFile(const std::filesystem::path &path) {
    ReplacedFile replaced;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) != 0)
        return replaced;
    replaced.exists = true;
    if (::access(path.c_str(), W_OK) != 0)
        return Error::WriteFailed(Reason(errno)); // a read-only file stays as it is
    replaced.kept = existing.st_mode & 07777;
    return replaced;
}

Status WriteNewFile(const std::filesystem::path &path, std::string_view bytes, const ReplacedFile &replaced) {
    // A new file gets 0666 less the umask; one that replaces a file gets exactly its mode.
    const mode_t mode = replaced.exists ? static_cast<mode_t>(replaced.kept) : 0666;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return Error::WriteFailed(Reason(errno));
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const Error failed = Error::WriteFailed(Reason(errno));
            ::close(fd);
            return failed;
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        const Error failed = Error::WriteFailed(Reason(errno));
        ::close(fd);
        return failed;
    }
    if (::close(fd) != 0)
        return Error::WriteFailed(Reason(errno));
    if (replaced.exists)
        ::chmod(path.c_str(), mode);
    return {};
}

Status RenameOver(const std::filesystem::path &from, const std::filesystem::path &to) {
    if (::rename(from.c_str(), to.c_str()) != 0)
        return Error::WriteFailed(Reason(errno));
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
