#pragma once
// The settings library: named copies of the six display lines of one module, kept in
// LibraryRP350.dat. The file is held and changed as one text, whole lines at a time; every line
// no command touches (other modules' entries, empty lines, anything else, and the text after
// the last CR LF) passes through every rewrite byte for byte and keeps its place.
//
// An entry line is eight fields, each followed by ",", then CR LF: module, name, rows 0 to 5.
// There is no quoting: a comma inside a field splits it when read.

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace patchlens {

inline constexpr std::string_view kLibraryFileName = "LibraryRP350.dat";

// The fourteen modules with library entries, in the order of the module selector.
std::span<const std::string_view> LibraryModules();

using LibraryRows = std::array<std::string, 6>;

struct LibraryEntry {
    std::string module;
    std::string name;
    LibraryRows rows;
};

// The whole file as last read or as changed since.
using LibraryText = std::string;

// Reads the library file; a missing file is created empty and reads as the empty text. A file
// that is there but cannot be read is Unreadable ("cannot be read: " and why): nothing may be
// written over it.
Result<LibraryText> ReadLibraryFile(const std::filesystem::path &path);

// Replaces the file with the text, atomically; WriteFailed ("cannot be written: " and why) leaves
// the old file whole.
Status WriteLibraryFile(const std::filesystem::path &path, const LibraryText &text);

// Writes `changed` only while the file still holds `read`, the text the change was made from:
// never over what another program wrote since (Refused), nor over a file that cannot be read.
Status StoreLibraryFile(const std::filesystem::path &path, const LibraryText &read,
                        const LibraryText &changed);

// The number of lines: the CR LF-terminated stretches of the text.
std::size_t LineCount(std::string_view text);

// Line `index` (0-based) without its CR LF; empty when there is no such terminated line.
std::string_view LineAt(std::string_view text, std::size_t index);

// Field 2 of every line whose field 1 equals the module, in file order.
std::vector<std::string> ListNames(std::string_view text, std::string_view module);

// The first line whose field 1 equals the module and whose field 2 equals the name once both
// names have a to z upper-cased (no other letters are folded).
std::optional<std::size_t> FindEntry(std::string_view text, std::string_view module, std::string_view name);

// Fields 3 to 8 of every line whose module and name both match exactly, in file order.
std::vector<LibraryRows> EntryRows(std::string_view text, std::string_view module, std::string_view name);

// Rows 0 to 5 (fields 3 to 8) of one line.
LibraryRows RowsOfLine(std::string_view line);

// The eight fields, each followed by ","; no CR LF.
std::string FormatEntry(const LibraryEntry &entry);

// The line and CR LF put before the text.
LibraryText InsertFirst(std::string_view text, std::string_view line);

// The entry as the new first line, in place of the module's entry of that name (FindEntry) if any.
LibraryText AddEntry(std::string_view text, const LibraryEntry &entry);

// Line `index` moved to the top under the new name, its module and rows kept.
LibraryText RenameEntry(std::string_view text, std::size_t index, std::string_view name);

// The text without line `index` and its CR LF; unchanged when there is no such terminated line.
LibraryText DeleteLine(std::string_view text, std::size_t index);

} // namespace patchlens
