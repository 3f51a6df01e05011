#pragma once
// The few file operations standard C++ does not offer, or offers too slowly for the search. Each
// operating system has one implementation, chosen by CMake: platform_files_posix.cpp (Linux,
// macOS, the BSDs) and platform_files_windows.cpp (the Win32 API). The rest of the core is
// standard C++ and reaches the system only through these functions.
//
// Nothing here throws. Failures come back as values: a closed file, an empty listing, a reason.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace patchlens::platform {

// A file name as the system stores it: bytes on POSIX systems, UTF-16 on Windows.
using NativeChar = std::filesystem::path::value_type;
using NativeName = std::basic_string_view<NativeChar>;

// ---- Listing a folder ---------------------------------------------------------------------------

// Calls onEntry(name, isFolder) for each entry of the folder, in the order the file system gives
// them, leaving out "." and "..", until onEntry returns false. isFolder is true for a folder and
// false for anything else, a link to a folder included: links are never followed. A folder that
// cannot be opened lists nothing; one that fails while being read lists what came before.
void ListFolder(const std::filesystem::path &folder,
                const std::function<bool(NativeName name, bool isFolder)> &onEntry);

// ---- Reading a file by position -----------------------------------------------------------------

// A file open for reading, closed when destroyed. A default-constructed one is closed.
class InputFile {
public:
    static constexpr std::intptr_t kClosed = -1; // also the value of INVALID_HANDLE_VALUE

    InputFile() = default;
    // Takes over the system's handle (a file descriptor, or a Windows HANDLE); kClosed for none.
    explicit InputFile(std::intptr_t handle) : m_handle(handle) {}
    ~InputFile();
    InputFile(InputFile &&other) noexcept : m_handle(std::exchange(other.m_handle, kClosed)) {}
    InputFile &operator=(InputFile &&other) noexcept { // the handle held before is closed with `other`
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    bool IsOpen() const { return m_handle != kClosed; }
    std::intptr_t Handle() const { return m_handle; }

private:
    std::intptr_t m_handle = kClosed;
};

// Opens the file for reading, following links, without ever waiting: a FIFO or a device opens
// (and is then refused by FactsOf) rather than blocking. Gives a closed file when it cannot be
// opened; a folder may open on some systems.
InputFile OpenForReading(const std::filesystem::path &path);

// Opens the files of a list whose entries come folder by folder, as OpenForReading does. Where the
// system allows, the folder of the file before is kept open and each file is opened by its name in
// it, sparing the walk along the whole path.
class FileOpener {
public:
    FileOpener() = default;
    ~FileOpener();
    FileOpener(const FileOpener &) = delete;
    FileOpener &operator=(const FileOpener &) = delete;

    InputFile Open(const std::filesystem::path &path);

private:
    std::filesystem::path::string_type m_folder;
    std::intptr_t m_folderHandle = InputFile::kClosed;
    bool m_known = false;
};

struct FileFacts {
    bool regular = false;   // a regular file (not a folder, a FIFO, a device, a socket)
    std::uint64_t size = 0; // bytes
    bool sparse = false;    // it may have holes: fewer bytes stored than it holds (Windows: marked sparse)
};

// What the open file is; a closed file, or one that cannot be examined, is not regular.
FileFacts FactsOf(const InputFile &file);

// Tells the system the file will be read from start to end (more read-ahead). May do nothing.
void AdviseSequentialReading(const InputFile &file);

// Reads at most `size` bytes from byte `offset` into `buffer`, without moving any shared position.
// Returns the bytes read, 0 at the end of the file, -1 on an error.
std::int64_t ReadAt(const InputFile &file, char *buffer, std::size_t size, std::uint64_t offset);

inline constexpr std::uint64_t kUnknownEnd = UINT64_MAX;

// The stored bytes of a sparse file at or after an offset, as far as the system tells them.
struct DataStretch {
    enum class Kind {
        Data,      // stored bytes begin at `begin` (>= the offset asked for), the hole after them at `end`
        HoleToEnd, // nothing but a hole from the offset to the end of the file
        Unknown,   // the system cannot tell: read everything
    };
    Kind kind = Kind::Unknown;
    std::uint64_t begin = 0;
    std::uint64_t end = kUnknownEnd; // kUnknownEnd when the next hole is not known
};

DataStretch NextDataStretch(const InputFile &file, std::uint64_t offset);

// ---- Writing a file whole -----------------------------------------------------------------------

// The file a write to `path` replaces: when `path` is a symbolic link, its target (the link is
// followed once on POSIX systems, to the end on Windows); otherwise `path` itself.
std::filesystem::path WriteTarget(const std::filesystem::path &path);

// What the replacement of a file must respect and keep.
struct ReplacedFile {
    bool exists = false;
    std::string refusal;    // why it must not be replaced (it is read-only); empty when it may be
    std::uint32_t kept = 0; // what the new file takes over: POSIX mode bits, or Windows attributes
};

// Looks at the file a write is about to replace. Nothing there (or nothing that can be looked at)
// is no refusal: the write itself then tells.
ReplacedFile InspectReplacedFile(const std::filesystem::path &path);

// Creates `path`, which must not exist yet, writes all the bytes, flushes them to the disk and
// closes it. When `replaced` exists the new file takes over its permissions (its attributes on
// Windows); otherwise it gets the system's defaults for a new file. Returns the empty text, or the
// reason it failed; a file left half-written is then the caller's to remove.
std::string WriteNewFile(const std::filesystem::path &path, std::string_view bytes,
                         const ReplacedFile &replaced);

// Renames `from` over `to` in one step (a crash leaves either file whole, never neither) and flushes
// the change to the disk. Returns the empty text, or the reason it failed (both files then stay).
std::string RenameOver(const std::filesystem::path &from, const std::filesystem::path &to);

} // namespace patchlens::platform
