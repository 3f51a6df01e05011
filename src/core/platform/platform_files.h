#pragma once
// The few file operations standard C++ does not offer, or offers too slowly for the search. Each
// operating system has one implementation, chosen by CMake: platform_files_posix.cpp (Linux,
// macOS, the BSDs) and platform_files_windows.cpp (the Win32 API). The rest of the core is
// standard C++ and reaches the system only through these functions.
//
// Nothing here throws. Failures come back as values: a closed file, an empty listing, an Error.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "base/result.h"

namespace patchlens::platform {

// A file name as the system stores it: bytes on POSIX systems, UTF-16 on Windows.
using NativeChar = std::filesystem::path::value_type;
using NativeName = std::basic_string_view<NativeChar>;

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

struct FileFacts {
    bool regular = false;   // a regular file (not a folder, a FIFO, a device, a socket)
    std::uint64_t size = 0; // bytes
    bool sparse = false;    // it may have holes: fewer bytes stored than it holds (Windows: marked sparse)
};

// What the open file is; a closed file, or one that cannot be examined, is not regular.
FileFacts FactsOf(const InputFile &file);

// Tells the system the file will be read from start to end (more read-ahead). May do nothing.
void AdviseSequentialReading(const InputFile &file);

// Tells the system the first `bytes` of the file will be read soon, so that it may start reading
// them from the disk now, beside reads already waiting. Returns at once; may do nothing.
void AdviseReadingSoon(const InputFile &file, std::uint64_t bytes);

// Reads at most `size` bytes from byte `offset` into `buffer`, without moving any shared position.
// Gives the number of bytes read (0 at the end of the file), or Unreadable with the reason.
Result<std::size_t> ReadAt(const InputFile &file, char *buffer, std::size_t size, std::uint64_t offset);

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

// A count that grows as the reads of this process wait for the disk instead of finding their
// bytes in the system's cache: 512-byte blocks on Linux, input operations on other POSIX systems.
// Nothing where the system does not tell (Windows).
std::optional<std::uint64_t> DiskReadsSoFar();

// ---- Listing a folder ---------------------------------------------------------------------------

// What a folder's listing tells of an entry, without examining it further.
enum class EntryKind : std::uint8_t {
    Folder,  // a folder; never a link to one
    File,    // a regular file
    Link,    // a symbolic link (on Windows also a junction): what it leads to shows once opened
    Special, // a FIFO, a device, a socket: nothing to read as a file
    Unknown, // the system did not tell
};

// A folder open for listing, read a few entries at a time; its files can be opened by name as long
// as it lives. Closed when destroyed. Not for two threads to list at once, but OpenFile may be
// called on any thread while another lists.
class FolderReader {
public:
    // Opens the folder; a folder that cannot be opened lists nothing.
    explicit FolderReader(const std::filesystem::path &folder);
    ~FolderReader();
    FolderReader(const FolderReader &) = delete;
    FolderReader &operator=(const FolderReader &) = delete;

    bool IsOpen() const;

    // Calls onEntry(name, kind) for the next entries in the order the file system gives them,
    // leaving out "." and "..", until onEntry returns false (the entry it was given counts as
    // listed) or the folder has no more. Returns false once the listing is over: every entry
    // given, or the folder failed while being read (what came before stays listed).
    bool Read(const std::function<bool(NativeName name, EntryKind kind)> &onEntry);

    // Opens the entry `name` (a name this folder listed, ending in a zero character) as
    // OpenForReading opens a path; a closed file when it cannot be opened.
    InputFile OpenFile(const NativeChar *name) const;

private:
    struct Listing; // the system's listing, one kind per system
    std::unique_ptr<Listing> m_listing;
};

// ---- Writing a file whole -----------------------------------------------------------------------

// The file a write to `path` replaces: when `path` is a symbolic link, its target (the link is
// followed once on POSIX systems, to the end on Windows); otherwise `path` itself.
std::filesystem::path WriteTarget(const std::filesystem::path &path);

// What the replacement of a file must respect and keep.
struct ReplacedFile {
    bool exists = false;
    std::uint32_t kept = 0; // what the new file takes over: POSIX mode bits, or Windows attributes
};

// Looks at the file a write is about to replace: WriteFailed with the reason when it must not be
// replaced (it is read-only). Nothing there (or nothing that can be looked at) is no refusal: the
// write itself then tells.
Result<ReplacedFile> InspectReplacedFile(const std::filesystem::path &path);

// Creates `path`, which must not exist yet, writes all the bytes, flushes them to the disk and
// closes it. When `replaced` exists the new file takes over its permissions (its attributes on
// Windows); otherwise it gets the system's defaults for a new file. A failure is WriteFailed with
// the reason; a file left half-written is then the caller's to remove.
Status WriteNewFile(const std::filesystem::path &path, std::string_view bytes, const ReplacedFile &replaced);

// Renames `from` over `to` in one step (a crash leaves either file whole, never neither) and flushes
// the change to the disk. A failure is WriteFailed with the reason (both files then stay).
Status RenameOver(const std::filesystem::path &from, const std::filesystem::path &to);

} // namespace patchlens::platform
