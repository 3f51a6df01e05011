#pragma once
// Whole-file input and output. Files are never held open: each call opens, moves the whole
// content and closes.

#include <filesystem>
#include <string>

namespace patchlens {

struct FileBytes {
    bool exists = false; // something is there by that name
    bool ok = false;     // it was read whole
    std::string bytes;
    std::string error; // why it could not be read
};

// Reads the whole file. Something that is not there is not an error: exists is false. A folder,
// a device or a pipe is not read (it could block or never end): ok is false with a reason.
FileBytes ReadWholeFile(const std::filesystem::path &path);

// Replaces the file's content with `bytes` through a temporary file in the same folder, flushed
// to disk and renamed over the old one, so that a crash or a full disk leaves either the old file
// or the new one whole, never a torn one. An existing file keeps its permissions; a link is
// followed and its target replaced. Returns the empty text on success, otherwise the reason (the
// old file is then untouched).
std::string WriteWholeFile(const std::filesystem::path &path, const std::string &bytes);

} // namespace patchlens
