#pragma once
// The match test: which paths are patch files, and whether the bytes of a patch have the chosen
// module switched on with the chosen model. Nothing is decoded: the test looks at the first record
// of the module's enable id and the first record of its type id, and at nothing else.
//
// The rule. The first occurrence of "<ID>" enableId "</ID>" must exist, and the fifth line read
// from its first byte, taken raw, must contain "On"; then the first occurrence of "<ID>" typeId
// "</ID>" must exist and its fifth line must contain the model. Lines end only at CR LF; what
// follows the last CR LF is a line; lines past the end are empty. Later occurrences of the keys are
// ignored.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <string>
#include <string_view>

#include "search/search_modules.h"

namespace patchlens {

// True when the path's text holds ".rp350p", ".rp250p" or ".rp150p" anywhere, in any letter case
// as the patch list takes its names (".RP350P", ".Rp250p"), folder parts included.
bool IsPatchFilePath(const std::filesystem::path &path);

// The same on path text in the system's form (bytes on POSIX systems, UTF-16 on Windows). No
// extension holds a separator, so a path holds one exactly when its folder's text or its name does.
bool HoldsPatchExtension(std::basic_string_view<std::filesystem::path::value_type> text);

// The rule on the bytes of one file.
bool AnalyzePatch(std::string_view bytes, const SearchTarget &target);

// The rule on a stream, read in chunks of `chunkSize` bytes (at least 1). Gives what AnalyzePatch
// gives on the whole content, whatever the chunk size.
bool AnalyzePatchStream(std::istream &in, const SearchTarget &target, std::size_t chunkSize = 1 << 16);

namespace match_parts {

// A pattern and two of its positions whose bytes are rare together in patch text; where vector
// instructions are at hand, candidates are those with both bytes in place. Unused when equal.
struct Pattern {
    std::string_view text;
    std::size_t probeA = 0;
    std::size_t probeB = 0;
};

inline constexpr std::uint64_t kNowhere = UINT64_MAX;

// The first occurrence of a pattern at or after `from`, looked for window by window.
struct Finder {
    Pattern pattern;
    std::uint64_t from = 0;      // no occurrence begins in [start of search, from) unless `at` is set
    std::uint64_t at = kNowhere; // where the first occurrence begins, once found
};

// One half of the rule: the fifth line from the first occurrence of a key must contain a needle.
struct ValueCheck {
    enum class Stage { Key, Lines, Value, Decided };
    Stage stage = Stage::Key;
    Finder key;
    Finder lineEnd; // the CR LF ending the line being read
    Finder needle;
    int linesLeft = 4; // CR LFs still to pass before the value line begins
    bool verdict = false;
    std::uint64_t decidedAt = 0; // the end of the bytes that decided the verdict

    // Goes as far as the window [start, start + window.size()) allows.
    void Step(std::string_view window, std::uint64_t start);
    // The verdict when the stream has ended after `total` bytes.
    bool Finish(std::uint64_t total) const;
    // The earliest position a later window must still hold.
    std::uint64_t KeepFrom() const;
};

} // namespace match_parts

// The rule over bytes that arrive in pieces (windows): each window repeats the last Keep() bytes of
// the window before, then holds new bytes. A matcher holds no bytes itself and does not allocate
// once made; Reset() readies it for the next file. Not copyable: its patterns point into it.
class PatchMatcher {
public:
    explicit PatchMatcher(const SearchTarget &target);
    PatchMatcher(const PatchMatcher &) = delete;
    PatchMatcher &operator=(const PatchMatcher &) = delete;

    void Reset();

    // The window: the Keep() bytes kept from the window before, then the new bytes.
    void Feed(std::string_view window);
    // True once the verdict is known, whatever bytes follow.
    bool Done() const;
    // The verdict on all the bytes fed, as the end of the stream.
    bool Finish() const;

    // How many of the last bytes of the window just fed the next window must begin with.
    std::size_t Keep() const { return m_keep; }
    // The most bytes a window ever has to repeat.
    std::size_t Longest() const { return m_longest; }
    // True when no key and no needle holds a zero byte: then a run of zero bytes can stand for a
    // single one, since nothing can be found inside it or across it.
    bool ZeroFree() const { return m_zeroFree; }
    // Once Done(): how far from the start of the stream the bytes reach that decided the verdict.
    std::uint64_t DecidedAt() const;

private:
    std::string m_enableKey;
    std::string m_typeKey;
    std::string m_model;
    match_parts::ValueCheck m_enable;
    match_parts::ValueCheck m_type;
    std::uint64_t m_seen = 0;
    std::size_t m_keep = 0;
    std::size_t m_longest = 2;
    bool m_zeroFree = true;
};

} // namespace patchlens
