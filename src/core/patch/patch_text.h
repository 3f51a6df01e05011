#pragma once
// The patch file reader. A patch file is read as bytes and never parsed as XML: the reader
// relies on a fixed arrangement of CR LF lines, and finds parameter values by the exact key
// "<ID>" id "</ID>". Nothing is converted: no character sets, no entities.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace patchlens {

// The newest schema version this program reads; any version that sorts after it as text is refused.
inline constexpr std::string_view kSupportedSchemaVersion = "1.2";

// The content of one patch file. It is made once (MakePatchText, ReadPatchFile) with an index of
// where each parameter's key occurs, and never changes after: any number of threads may read
// one text at once. A text of more than 4 GiB (never a patch file) is not indexed: its keys are
// searched for in its bytes.
class PatchText {
public:
    PatchText() = default; // the empty text
    const std::string &bytes() const { return m_bytes; }
    // Where the key "<ID>" id "</ID>" first occurs at or after `from`, or npos; the same position
    // a search of the bytes gives, found through the index.
    std::size_t FindKey(std::string_view id, std::size_t from) const;
    // The bytes, given back; the text is then the empty text.
    std::string TakeBytes() &&;

private:
    friend PatchText MakePatchText(std::string bytes);
    struct Run {            // the keys of one id: m_keys[begin, begin + count)
        std::uint64_t code; // the id as a number (IdCode in patch_text.cpp): equal ids, equal codes
        std::uint32_t begin, count;
    };
    std::string m_bytes;
    std::vector<std::uint32_t> m_keys;  // where each key whose id is free of '<' begins: by id, each id's
                                        // in text order
    std::vector<Run> m_runs;            // one for each id, in the order the ids first occur
    std::vector<std::uint32_t> m_table; // open addressing by code: 0 empty, else 1 + the id's run
};

// The text over the given bytes, indexed.
PatchText MakePatchText(std::string bytes);

// A patch file holds tens of kilobytes; a file larger than this is not a patch file and is not read.
inline constexpr std::uintmax_t kMaxPatchFileBytes = std::uintmax_t{64} << 20;

// Reads the whole file: NotFound ("no such file"), Unreadable (not a regular file, or it cannot be
// read) or TooLarge (larger than kMaxPatchFileBytes) with the reason; the file is never created.
// A caller that only needs the text takes ReadPatchFile(path).value_or({}): the empty text.
Result<PatchText> ReadPatchFile(const std::filesystem::path &path);

// Reads a text line by line from a position. Lines end only at CR LF; what follows the last
// CR LF is the last line.
class LineReader {
public:
    explicit LineReader(std::string_view bytes, std::size_t from = 0)
        : m_bytes(bytes), m_at(std::min(from, bytes.size())) {}
    // The bytes up to the next CR LF, then moves behind it (or to the end); empty at the end.
    std::string_view Next();
    // Where the next line begins; the size of the bytes at the end.
    std::size_t Position() const { return m_at; }

private:
    std::string_view m_bytes;
    std::size_t m_at;
};

// The schema version of line 2 (between its first and second double quote) compared as text
// with kSupportedSchemaVersion: a version that sorts after it is Refused, with the three-line
// message (lines joined by CR LF).
Status CheckSchemaVersion(std::string_view bytes);

// Line 3 with every "<Name>" and "</Name>" removed, then trimmed of blanks and tabs.
std::string ReadPatchName(std::string_view bytes);

// The value of parameter `id` under a module context ("" for the Pickup, "Amp A", "LFO1", ...),
// or nothing when the patch lacks it. Contexts whose modules share ids test the record's name
// line; at most two occurrences of the key are examined.
std::optional<std::string> FindParameter(const PatchText &text, std::string_view context,
                                         std::string_view id);

// The same lookup, always by scanning the text, never through the index.
std::optional<std::string> FindParameterByScan(const PatchText &text, std::string_view context,
                                               std::string_view id);

} // namespace patchlens
