#include "library/library_file.h"

#include <fstream>
#include <system_error>

#include "files/whole_file.h"
#include "text/byte_text.h"

namespace patchlens {

namespace {

constexpr std::string_view kModules[] = {
    "Wah",        "Compressor", "Distortion", "Amplifier A", "Amplifier B", "Equalizer A", "Equalizer B",
    "Noise Gate", "Chorus/Fx",  "Delay",      "Reverb",      "Expression",  "LFO 1",       "LFO 2",
};

// Calls `visit(index, line)` for every CR LF-terminated line in order; stops when it returns false.
template <typename Visit> void ForEachLine(std::string_view text, Visit visit) {
    std::size_t start = 0;
    for (std::size_t index = 0;; ++index) {
        const std::size_t end = text.find(kCrLf, start);
        if (end == std::string_view::npos)
            return;
        if (!visit(index, text.substr(start, end - start)))
            return;
        start = end + kCrLf.size();
    }
}

bool EqualsIgnoringAtoZCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
        if (upper(a[i]) != upper(b[i]))
            return false;
    }
    return true;
}

} // namespace

std::span<const std::string_view> LibraryModules() {
    return kModules;
}

Result<LibraryText> ReadLibraryFile(const std::filesystem::path &path) {
    Result<std::string> file = ReadWholeFile(path);
    if (!file.ok() && file.error().kind() == ErrorKind::NotFound) {
        std::ofstream(path,
                      std::ios::binary | std::ios::app); // created empty; a failure shows at the next write
        return LibraryText{};
    }
    if (!file.ok())
        return Error::Unreadable("cannot be read: " + file.error().message());
    return std::move(file).value();
}

Status WriteLibraryFile(const std::filesystem::path &path, const LibraryText &text) {
    if (const Status written = WriteWholeFile(path, text); !written.ok())
        return Error::WriteFailed("cannot be written: " + written.message());
    return {};
}

Status StoreLibraryFile(const std::filesystem::path &path, const LibraryText &read,
                        const LibraryText &changed) {
    const Result<LibraryText> current = ReadLibraryFile(path);
    if (!current.ok())
        return current.error();
    if (*current != read)
        return Error::Refused("was changed by another program: the list now shows what the file holds; "
                              "please repeat the command");
    return WriteLibraryFile(path, changed);
}

std::size_t LineCount(std::string_view text) {
    return CountCrLf(text);
}

std::string_view LineAt(std::string_view text, std::size_t index) {
    std::string_view found;
    ForEachLine(text, [&](std::size_t i, std::string_view line) {
        if (i < index)
            return true;
        found = line;
        return false;
    });
    return found;
}

std::vector<std::string> ListNames(std::string_view text, std::string_view module) {
    std::vector<std::string> names;
    ForEachLine(text, [&](std::size_t, std::string_view line) {
        if (FieldAt(line, ',', 0) == module)
            names.emplace_back(FieldAt(line, ',', 1));
        return true;
    });
    return names;
}

std::optional<std::size_t> FindEntry(std::string_view text, std::string_view module, std::string_view name) {
    std::optional<std::size_t> found;
    ForEachLine(text, [&](std::size_t index, std::string_view line) {
        if (FieldAt(line, ',', 0) != module || !EqualsIgnoringAtoZCase(FieldAt(line, ',', 1), name))
            return true;
        found = index;
        return false;
    });
    return found;
}

LibraryRows RowsOfLine(std::string_view line) {
    LibraryRows rows;
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = std::string(FieldAt(line, ',', i + 2));
    return rows;
}

std::vector<LibraryRows> EntryRows(std::string_view text, std::string_view module, std::string_view name) {
    std::vector<LibraryRows> groups;
    ForEachLine(text, [&](std::size_t, std::string_view line) {
        if (FieldAt(line, ',', 0) == module && FieldAt(line, ',', 1) == name)
            groups.push_back(RowsOfLine(line));
        return true;
    });
    return groups;
}

std::string FormatEntry(const LibraryEntry &entry) {
    std::string line = entry.module + "," + entry.name + ",";
    for (const std::string &row : entry.rows)
        line += row + ",";
    return line;
}

LibraryText InsertFirst(std::string_view text, std::string_view line) {
    LibraryText out;
    out.reserve(line.size() + kCrLf.size() + text.size());
    out.append(line).append(kCrLf).append(text);
    return out;
}

LibraryText AddEntry(std::string_view text, const LibraryEntry &entry) {
    const std::optional<std::size_t> found = FindEntry(text, entry.module, entry.name);
    return InsertFirst(found ? DeleteLine(text, *found) : LibraryText(text), FormatEntry(entry));
}

LibraryText RenameEntry(std::string_view text, std::size_t index, std::string_view name) {
    const std::string_view line = LineAt(text, index);
    const LibraryEntry entry{std::string(FieldAt(line, ',', 0)), std::string(name), RowsOfLine(line)};
    return InsertFirst(DeleteLine(text, index), FormatEntry(entry));
}

LibraryText DeleteLine(std::string_view text, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t i = 0;; ++i) {
        const std::size_t end = text.find(kCrLf, start);
        if (end == std::string_view::npos)
            return LibraryText(text);
        if (i == index) {
            LibraryText out(text.substr(0, start));
            out.append(text.substr(end + kCrLf.size()));
            return out;
        }
        start = end + kCrLf.size();
    }
}

} // namespace patchlens
