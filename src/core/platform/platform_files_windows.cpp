// The platform's file operations on Windows, with the Win32 API's wide-character functions, so
// that every name on disk can be reached whatever the code page.

#include "platform/platform_files.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winioctl.h>

namespace patchlens::platform {

namespace {

// The system's text for the last error of this thread.
std::string LastErrorReason() {
    return std::system_category().message(static_cast<int>(::GetLastError()));
}

HANDLE HandleOf(const InputFile &file) {
    return reinterpret_cast<HANDLE>(file.Handle());
}

// The attributes a replacing file takes over; read-only is never among them (such a file is not
// replaced), nor those the system keeps for itself (compressed, encrypted, sparse).
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

} // namespace

// ---- Reading a file by position -----------------------------------------------------------------

InputFile::~InputFile() {
    if (m_handle != kClosed)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

// Others may read, write, rename or delete the file meanwhile, as on POSIX systems. Opening never
// blocks; a pipe or a device is refused by FactsOf before any read. A folder does not open.
InputFile OpenForReading(const std::filesystem::path &path) {
    const HANDLE handle =
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return InputFile(reinterpret_cast<std::intptr_t>(handle));
}

FileFacts FactsOf(const InputFile &file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.IsOpen() || ::GetFileType(HandleOf(file)) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(HandleOf(file), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return {};
    const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    return {true, size, (info.dwFileAttributes & FILE_ATTRIBUTE_SPARSE_FILE) != 0};
}

// The read-ahead of Windows follows sequential reads by itself.
void AdviseSequentialReading(const InputFile &) {}

// Nothing asks Windows to read a file ahead without reading it (overlapped reads would).
void AdviseReadingSoon(const InputFile &, std::uint64_t) {}

Result<std::size_t> ReadAt(const InputFile &file, char *buffer, std::size_t size, std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const auto want = static_cast<DWORD>(std::min<std::size_t>(size, std::size_t{1} << 30));
    DWORD got = 0;
    if (!::ReadFile(HandleOf(file), buffer, want, &got, &at)) {
        if (::GetLastError() == ERROR_HANDLE_EOF)
            return std::size_t{0};
        return Error::Unreadable(LastErrorReason());
    }
    return std::size_t{got};
}

// The allocated ranges of a sparse file: the first one that reaches past the offset.
DataStretch NextDataStretch(const InputFile &file, std::uint64_t offset) {
    constexpr std::uint64_t kMostOffset = static_cast<std::uint64_t>(INT64_MAX);
    if (offset >= kMostOffset)
        return {};
    FILE_ALLOCATED_RANGE_BUFFER query{};
    query.FileOffset.QuadPart = static_cast<LONGLONG>(offset);
    query.Length.QuadPart = static_cast<LONGLONG>(kMostOffset - offset);
    FILE_ALLOCATED_RANGE_BUFFER range{};
    DWORD bytes = 0;
    const BOOL done = ::DeviceIoControl(HandleOf(file), FSCTL_QUERY_ALLOCATED_RANGES, &query, sizeof query,
                                        &range, sizeof range, &bytes, nullptr);
    if (!done && ::GetLastError() != ERROR_MORE_DATA) // more ranges follow the one returned
        return {};
    if (bytes < sizeof range)
        return {DataStretch::Kind::HoleToEnd};
    const auto begin = static_cast<std::uint64_t>(range.FileOffset.QuadPart);
    const std::uint64_t end = begin + static_cast<std::uint64_t>(range.Length.QuadPart);
    if (end <= offset)
        return {};
    return {DataStretch::Kind::Data, std::max(begin, offset), end};
}

// The counters Windows keeps count the reads served from its cache as well.
std::optional<std::uint64_t> DiskReadsSoFar() {
    return std::nullopt;
}

// ---- Listing a folder ---------------------------------------------------------------------------

struct FolderReader::Listing {
    HANDLE find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data{}; // the entry found but not yet given
    bool more = false;
    std::wstring prefix; // the folder's path ready to take a name
};

FolderReader::FolderReader(const std::filesystem::path &folder) : m_listing(std::make_unique<Listing>()) {
    std::wstring &prefix = m_listing->prefix;
    prefix = folder.native();
    if (!prefix.empty() && prefix.back() != L'\\' && prefix.back() != L'/' && prefix.back() != L':')
        prefix += L'\\';
    m_listing->find = ::FindFirstFileExW((prefix + L'*').c_str(), FindExInfoBasic, &m_listing->data,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    m_listing->more = m_listing->find != INVALID_HANDLE_VALUE;
}

FolderReader::~FolderReader() {
    if (m_listing->find != INVALID_HANDLE_VALUE)
        ::FindClose(m_listing->find);
}

bool FolderReader::IsOpen() const {
    return m_listing->find != INVALID_HANDLE_VALUE;
}

bool FolderReader::Read(const std::function<bool(NativeName name, EntryKind kind)> &onEntry) {
    while (m_listing->more) {
        const WIN32_FIND_DATAW data = m_listing->data;
        m_listing->more = ::FindNextFileW(m_listing->find, &m_listing->data) != 0;
        const NativeName name(data.cFileName);
        if (name == L"." || name == L"..")
            continue;
        // A symbolic link or a junction (a reparse point standing for another entry) is not
        // followed; other reparse points (a folder kept in the cloud, say) are ordinary entries.
        // The listing tells nothing of devices: every other entry is a file.
        const bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                          IsReparseTagNameSurrogate(data.dwReserved0);
        const EntryKind kind = link                                                      ? EntryKind::Link
                               : (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Folder
                                                                                         : EntryKind::File;
        if (!onEntry(name, kind))
            break;
    }
    return m_listing->more;
}

// Windows opens by the whole path.
InputFile FolderReader::OpenFile(const NativeChar *name) const {
    return OpenForReading(m_listing->prefix + name);
}

// ---- Writing a file whole -----------------------------------------------------------------------

// A link is a reparse point; opening it opens its final target, whose path the system then tells.
// The "\\?\" form it gives is turned back into the usual one where that names the same file.
std::filesystem::path WriteTarget(const std::filesystem::path &path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return path;
    const HANDLE file = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return path;
    std::wstring target(MAX_PATH, L'\0');
    DWORD length = ::GetFinalPathNameByHandleW(file, target.data(), static_cast<DWORD>(target.size()), 0);
    if (length >= target.size()) {
        target.resize(length);
        length = ::GetFinalPathNameByHandleW(file, target.data(), static_cast<DWORD>(target.size()), 0);
    }
    ::CloseHandle(file);
    if (length == 0 || length >= target.size())
        return path;
    target.resize(length);
    const std::wstring_view verbatim = L"\\\\?\\";
    const std::wstring_view verbatimShare = L"\\\\?\\UNC\\";
    if (target.starts_with(verbatimShare) && target.size() < MAX_PATH)
        return std::filesystem::path(L"\\\\" + target.substr(verbatimShare.size()));
    if (target.starts_with(verbatim) && target.size() < MAX_PATH + verbatim.size() && target.size() > 6 &&
        target[5] == L':')
        return std::filesystem::path(target.substr(verbatim.size()));
    return std::filesystem::path(target);
}

Result<ReplacedFile> InspectReplacedFile(const std::filesystem::path &path) {
    ReplacedFile replaced;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return replaced;
    replaced.exists = true;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return Error::WriteFailed(std::generic_category().message(EACCES)); // a read-only file stays as it is
    replaced.kept = attributes & kKeptAttributes;
    return replaced;
}

Status WriteNewFile(const std::filesystem::path &path, std::string_view bytes, const ReplacedFile &replaced) {
    const DWORD attributes = replaced.exists && replaced.kept != 0 ? replaced.kept : FILE_ATTRIBUTE_NORMAL;
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Error::WriteFailed(LastErrorReason());
    std::size_t written = 0;
    while (written < bytes.size()) {
        const auto chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, std::size_t{1} << 30));
        DWORD wrote = 0;
        if (!::WriteFile(file, bytes.data() + written, chunk, &wrote, nullptr) || wrote == 0) {
            const Error failed = Error::WriteFailed(LastErrorReason());
            ::CloseHandle(file);
            return failed;
        }
        written += wrote;
    }
    if (!::FlushFileBuffers(file)) {
        const Error failed = Error::WriteFailed(LastErrorReason());
        ::CloseHandle(file);
        return failed;
    }
    if (!::CloseHandle(file))
        return Error::WriteFailed(LastErrorReason());
    return {};
}

// MOVEFILE_WRITE_THROUGH: the call returns once the rename is on the disk.
Status RenameOver(const std::filesystem::path &from, const std::filesystem::path &to) {
    if (!::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Error::WriteFailed(LastErrorReason());
    return {};
}

} // namespace patchlens::platform
