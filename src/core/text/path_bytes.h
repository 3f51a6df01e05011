#pragma once
// File paths as byte texts: what default.ini keeps, what the command line takes and prints, what
// messages and status texts show. Where the system names files with bytes (Linux, macOS) a path's
// bytes are its name as it is. Where it names them in UTF-16 (Windows) they are its UTF-8 form;
// bytes that are not valid UTF-8 are read by the display rule (display_text.h) as Windows-1252,
// the code page in which older Windows programs wrote their paths.

#include <filesystem>
#include <string>
#include <string_view>

namespace patchlens {

// The path's bytes. Never fails: on Windows a lone surrogate in a name is written as UTF-8 writes
// any other code point (such a text reads back by the display rule, not as that name).
std::string PathBytes(const std::filesystem::path &path);

// The path the bytes name; PathFromBytes(PathBytes(p)) is p for every name that is valid Unicode.
std::filesystem::path PathFromBytes(std::string_view bytes);

} // namespace patchlens
