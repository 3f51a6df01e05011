#pragma once
// Where the window program lives and how the command-line front hands over to it. The front
// (`patchlens`) runs every mode that needs no window without loading the window toolkit, so that
// dumping and searching start at once and stay small; the viewer and the printed sheet run in
// `patchlens-window`, which sits in the same folder. On Windows the front is the console program
// `patchlens.com`, which a command prompt runs for `patchlens`, and the window program is
// `patchlens.exe`.

#include <filesystem>
#include <string>

namespace patchlens {

#ifdef _WIN32
inline constexpr const char *kWindowProgramName = "patchlens.exe";
#else
inline constexpr const char *kWindowProgramName = "patchlens-window";
#endif

// The running program's own file, links resolved; empty when the system cannot tell.
std::filesystem::path OwnProgramPath(const char *argv0);

// Replaces the running process with the window program beside `front`, passing the arguments on
// unchanged. Returns only when that failed, with the reason. On Windows, which cannot replace a
// process, the window program is started with this one's standard streams; for the viewer the
// front then ends at once (a window program started from a command prompt gives the prompt back),
// otherwise it waits and ends with the window program's exit status.
std::string ExecWindowProgram(const std::filesystem::path &front, char **argv, bool viewer);

} // namespace patchlens
