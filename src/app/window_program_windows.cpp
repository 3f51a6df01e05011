// The console front on Windows (patchlens.com) hands the window modes to patchlens.exe.

#include "window_program.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "text/path_bytes.h"

namespace patchlens {

namespace {

// The command line after the program's name, as the system gave it: the name is quoted or ends
// at the first blank (the rule CommandLineToArgvW applies to it), and the blanks after it go too.
std::wstring ArgumentsText() {
    std::wstring_view line = ::GetCommandLineW();
    std::size_t end = 0;
    if (!line.empty() && line.front() == L'"') {
        end = line.find(L'"', 1);
        end = end == std::wstring_view::npos ? line.size() : end + 1;
    } else {
        end = std::min(line.find_first_of(L" \t"), line.size());
    }
    line.remove_prefix(end);
    const std::size_t first = line.find_first_not_of(L" \t");
    return std::wstring(first == std::wstring_view::npos ? std::wstring_view() : line.substr(first));
}

} // namespace

std::filesystem::path OwnProgramPath(const char *) {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0)
            return {};
        if (length < name.size()) {
            name.resize(length);
            return std::filesystem::path(name);
        }
        name.resize(name.size() * 2);
    }
}

std::string ExecWindowProgram(const std::filesystem::path &front, char **, bool viewer) {
    if (front.empty())
        return "the program's own folder is not known";
    const std::filesystem::path window = front.parent_path() / kWindowProgramName;
    std::wstring commandLine = L"\"" + window.native() + L"\" " + ArgumentsText();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(window.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process))
        return PathBytes(window) + ": " + std::system_category().message(static_cast<int>(::GetLastError()));
    ::CloseHandle(process.hThread);
    DWORD status = 0;
    if (!viewer) {
        ::WaitForSingleObject(process.hProcess, INFINITE);
        if (!::GetExitCodeProcess(process.hProcess, &status))
            status = 1;
    }
    ::CloseHandle(process.hProcess);
    std::exit(static_cast<int>(status));
}

} // namespace patchlens
