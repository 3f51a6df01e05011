#pragma once
// What the file tests need to know of the system they run on, and the few things they must make
// differently there. A test of behaviour that a system lacks skips with the reason given here.

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winioctl.h>
#endif

namespace patchlens::test {

#ifdef _WIN32
// std::filesystem::permissions sets or clears the read-only attribute only: it can neither take
// the right to read a file or a folder nor the right to write into a folder.
inline constexpr bool kPermissionsLockAccess = false;
#else
inline constexpr bool kPermissionsLockAccess = true;
#endif
inline constexpr const char *kNoAccessPermissions =
    "permissions here only set the read-only attribute; access rights are kept in ACLs";

inline constexpr const char *kNoLinks = "this system does not let the tests make symbolic links";

enum class LinkTo { File, Folder };

// Makes the symbolic link `link` to `target`. False where the system refuses (Windows without the
// privilege, or a C++ library that cannot make links there), for the test to skip; on POSIX systems
// any failure throws and fails the test.
inline bool MakeLink(const std::filesystem::path &target, const std::filesystem::path &link, LinkTo kind) {
#ifdef _WIN32
    std::error_code ec;
    if (kind == LinkTo::Folder)
        std::filesystem::create_directory_symlink(target, link, ec);
    else
        std::filesystem::create_symlink(target, link, ec);
    return !ec;
#else
    if (kind == LinkTo::Folder)
        std::filesystem::create_directory_symlink(target, link);
    else
        std::filesystem::create_symlink(target, link);
    return true;
#endif
}

// The path to give the system so that the name is taken as it is: on Windows the "\\?\" form of an
// absolute path, in which a name may end in "." or " " (the usual form drops them).
inline std::filesystem::path VerbatimPath(const std::filesystem::path &absolute) {
#ifdef _WIN32
    return std::filesystem::path(L"\\\\?\\" + absolute.lexically_normal().native());
#else
    return absolute;
#endif
}

// Sets the size of an existing file, as std::filesystem::resize_file does, leaving the new bytes a
// hole where the file system allows. On Windows the file is marked sparse first: the C library
// there extends a file by writing every zero byte.
inline void ResizeSparse(const std::filesystem::path &path, std::uintmax_t size, std::error_code &ec) {
#ifdef _WIN32
    ec.clear();
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD bytes = 0;
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    if (file == INVALID_HANDLE_VALUE ||
        !::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &bytes, nullptr) ||
        !::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) || !::SetEndOfFile(file))
        ec.assign(static_cast<int>(::GetLastError()), std::system_category());
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
#else
    std::filesystem::resize_file(path, size, ec);
#endif
}

// A text that differs between runs, to keep apart the temporary folders of tests run at once.
inline std::string RunTag() {
    static const std::string tag = std::to_string(std::random_device{}());
    return tag;
}

} // namespace patchlens::test
