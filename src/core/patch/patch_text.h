#pragma once
// The patch file reader. A patch file is read as bytes and never parsed as XML: the reader
// relies on a fixed arrangement of CR LF lines, and finds parameter values by the exact key
// "<ID>" id "</ID>". Nothing is converted: no character sets, no entities.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace patchlens {

// The newest schema version this program reads; any version that sorts after it as text is refused.
inline constexpr std::string_view kSupportedSchemaVersion = "1.2";

// Where the first records with a chosen set of ids begin. It only speeds up FindParameter: a
// lookup through the index gives exactly what a scan from the start of the text gives.
struct ParameterIndex {
    static constexpr std::size_t kKept = 3; // first occurrences kept per id
    struct Entry {
        std::string_view id;     // viewing the ids given to IndexParameters
        std::uint32_t count = 0; // positions kept, at most kKept
        bool more = false;       // the text holds further occurrences after the kept ones
        std::array<std::size_t, kKept> at{};
    };
    std::vector<Entry> entries;     // sorted by id
    const char *builtFor = nullptr; // the bytes the index describes; used only when they still match
    std::size_t builtSize = 0;
};

// The content of one patch file. `cursor` is the read position of ReadLine.
struct PatchText {
    std::string bytes;
    std::size_t cursor = 0;
    ParameterIndex index;
};

struct FoundValue {
    bool found = false;
    std::string value; // empty when not found
};

struct SchemaVerdict {
    bool accepted = true;
    std::string version; // the file's version text
    std::string message; // the three-line refusal, lines joined by CR LF; empty when accepted
};

// A text over the given bytes, cursor 0, not indexed.
PatchText MakePatchText(std::string bytes);

// A patch file holds tens of kilobytes; a file larger than this is not a patch file and is not read.
inline constexpr std::uintmax_t kMaxPatchFileBytes = std::uintmax_t{64} << 20;

// Reads the whole file. A file that is missing, not a regular file, larger than
// kMaxPatchFileBytes, or that cannot be read gives the empty text, and `error` (when given)
// receives the reason (and `tooLarge` whether the size was the reason); the file is never created.
PatchText ReadPatchFile(const std::filesystem::path &path, std::string *error = nullptr,
                        bool *tooLarge = nullptr);

// Line n (1-based) without its CR LF; empty when the text has fewer lines. Lines end only at
// CR LF; what follows the last CR LF is the last line.
std::string_view Line(std::string_view bytes, std::size_t n);

// The bytes from the cursor up to the next CR LF; the cursor moves behind it (or to the end).
// Empty at the end of the text. The view stays valid while the text's bytes are unchanged.
std::string_view ReadLine(PatchText &text);

// The schema version of line 2 (between its first and second double quote) compared as text
// with kSupportedSchemaVersion: a version that sorts after it is refused.
SchemaVerdict CheckSchemaVersion(std::string_view bytes);

// Line 3 with every "<Name>" and "</Name>" removed, then trimmed of blanks and tabs.
std::string ReadPatchName(std::string_view bytes);

// Builds the index for the given ids (ids holding '<' are left to the scan). Rebuilds it whole.
// The ids' bytes must outlive the index.
void IndexParameters(PatchText &text, std::span<const std::string_view> ids);

// The value of parameter `id` under a module context ("" for the Pickup, "Amp A", "LFO1", ...).
// Contexts whose modules share ids test the record's name line; at most two occurrences of the
// key are examined. Moves the cursor.
FoundValue FindParameter(PatchText &text, std::string_view context, std::string_view id);

// The same lookup, always by scanning the text, never through the index.
FoundValue FindParameterByScan(PatchText &text, std::string_view context, std::string_view id);

} // namespace patchlens
