#pragma once
// Whole-file input and output. Files are never held open: each call opens, moves the whole
// content and closes.

#include <filesystem>
#include <string>

namespace patchlens {

struct FileBytes {
    bool exists = false;  // something is there by that name
    bool ok = false;      // it was read whole
    std::string bytes;
    std::string error;  // why it could not be read
};

// Reads the whole file; a missing file reads as not existing, not as an error.
FileBytes ReadWholeFile(const std::filesystem::path &path);

// Replaces the file with `bytes` through a temporary file in the same folder and an atomic
// rename, so that a crash or a full disk leaves either the old file or the new one, whole.
// Returns the empty text on success, otherwise the reason.
std::string WriteWholeFile(const std::filesystem::path &path, const std::string &bytes);

}  // namespace patchlens
