#pragma once
// Whole-file input and output. Files are never held open: each call opens, moves the whole
// content and closes.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/result.h"

namespace patchlens {

// What ReadWholeFile takes at most unless told otherwise: far more than any file of this program
// holds, far less than would exhaust the memory.
inline constexpr std::uintmax_t kWholeFileLimit = std::uintmax_t{256} << 20;

// Reads the whole file. Nothing there by that name is NotFound ("no such file"). A folder, a device
// or a pipe is not read (it could block or never end): Unreadable with a reason, as a file that
// cannot be read. A file larger than `maxBytes` is not read either (a sparse file of a terabyte
// must not end the program): TooLarge, with a reason that gives its size.
Result<std::string> ReadWholeFile(const std::filesystem::path &path,
                                  std::uintmax_t maxBytes = kWholeFileLimit);

// Replaces the file's content with `bytes` through a temporary file in the same folder, flushed
// to disk and renamed over the old one, so that a crash or a full disk leaves either the old file
// or the new one whole, never a torn one. An existing file keeps its permissions; a link is
// followed and its target replaced. A failure is WriteFailed with the reason; the old file is then
// untouched.
Status WriteWholeFile(const std::filesystem::path &path, const std::string &bytes);

// Copies `from` to `to` when nothing is at `to` yet and `from` is a regular file; `from` is only
// read, never moved or changed, and an existing `to` is never replaced. The copy is written as
// WriteWholeFile writes. Succeeds when the copy was made or there was nothing to copy; otherwise
// the read's or the write's error.
Status CopyFileWhenMissing(const std::filesystem::path &from, const std::filesystem::path &to);

// Whether `name` is one of the temporary files WriteWholeFile makes on its way to replacing
// `fileName`: "." + fileName + ".tmp-" + digits.
bool IsTemporaryFileOf(std::string_view name, std::string_view fileName);

// Removes the temporary files of `fileName` in `folder` that are older than `age`: the remains of
// a program ended while it was writing. Younger ones may belong to a write in progress and stay.
// Returns how many were removed.
std::size_t RemoveStaleTemporaryFiles(const std::filesystem::path &folder, std::string_view fileName,
                                      std::chrono::seconds age);

} // namespace patchlens
