#include "window_program.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <system_error>
#include <vector>

#include <unistd.h>
#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

namespace patchlens {

std::filesystem::path OwnProgramPath(const char *argv0) {
    std::error_code ec;
#if defined(__APPLE__)
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) == 0)
        return std::filesystem::canonical(buffer.data(), ec);
#else
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec)
        return self;
#endif
    // Elsewhere the name it was started by: a path, or a name looked up on the PATH.
    if (argv0 == nullptr || *argv0 == '\0')
        return {};
    if (std::strchr(argv0, '/') != nullptr)
        return std::filesystem::canonical(argv0, ec);
    const char *path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "";
    while (!folders.empty()) {
        const std::size_t colon = folders.find(':');
        const std::filesystem::path candidate =
            std::filesystem::path(std::string(folders.substr(0, colon))) / argv0;
        if (::access(candidate.c_str(), X_OK) == 0)
            return std::filesystem::canonical(candidate, ec);
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
    }
    return {};
}

std::string ExecWindowProgram(const std::filesystem::path &front, char **argv, bool) {
    if (front.empty())
        return "the program's own folder is not known";
    const std::filesystem::path window = front.parent_path() / kWindowProgramName;
    ::execv(window.c_str(), argv);
    return window.native() + ": " + std::strerror(errno);
}

} // namespace patchlens
