#pragma once
// Where the window program lives and how the command-line front hands over to it. The front
// (`patchlens`) runs every mode that needs no window without loading the window toolkit, so that
// dumping and searching start at once and stay small; the viewer and the printed sheet run in
// `patchlens-window`, which sits in the same folder.

#include <filesystem>
#include <string>

namespace patchlens {

inline constexpr const char *kWindowProgramName = "patchlens-window";

// The running program's own file, links resolved; empty when the system cannot tell.
std::filesystem::path OwnProgramPath(const char *argv0);

// Replaces the running process with the window program beside `front`, passing the arguments on
// unchanged. Returns only when that failed, with the reason.
std::string ExecWindowProgram(const std::filesystem::path &front, char **argv);

} // namespace patchlens
