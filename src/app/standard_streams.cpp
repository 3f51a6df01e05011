#include "standard_streams.h"

#ifdef _WIN32
#include <cstdio>
#include <fcntl.h>
#include <io.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <shellapi.h>

#include "text/path_bytes.h"
#endif

namespace patchlens {

#ifdef _WIN32

namespace {

bool LeadsSomewhere(DWORD stream) {
    const HANDLE handle = ::GetStdHandle(stream);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

} // namespace

std::vector<std::string> ProgramArguments(int, char **) {
    std::vector<std::string> args;
    int count = 0;
    wchar_t **wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr)
        return args;
    for (int i = 1; i < count; ++i)
        args.push_back(PathBytes(std::filesystem::path(wide[i]))); // UTF-8 of any UTF-16 text
    ::LocalFree(wide);
    return args;
}

void UseStartingConsole() {
    const bool out = LeadsSomewhere(STD_OUTPUT_HANDLE);
    const bool err = LeadsSomewhere(STD_ERROR_HANDLE);
    if ((out && err) || !::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!out && std::freopen("CONOUT$", "w", stdout) == nullptr)
        return;
    if (!err)
        std::freopen("CONOUT$", "w", stderr);
}

ByteOutput::ByteOutput() {
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    DWORD mode = 0;
    if (::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) ||
        ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode)) {
        m_consoleCodePage = ::GetConsoleOutputCP();
        ::SetConsoleOutputCP(CP_UTF8);
    }
}

ByteOutput::~ByteOutput() {
    std::fflush(stdout);
    std::fflush(stderr);
    if (m_consoleCodePage != 0)
        ::SetConsoleOutputCP(m_consoleCodePage);
}

#else

std::vector<std::string> ProgramArguments(int argc, char **argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void UseStartingConsole() {}

ByteOutput::ByteOutput() = default;
ByteOutput::~ByteOutput() = default;

#endif

} // namespace patchlens
