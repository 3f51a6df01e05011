#pragma once
// Reading one file for the match test: from its first byte, in as few reads as patches need and
// never more than a bounded chunk at a time, stopping as soon as the verdict is known. A file of
// any size is examined within little memory; the holes of a large sparse file are skipped.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "platform/platform_files.h"
#include "search/patch_match.h"
#include "search/search_modules.h"

namespace patchlens {

// The match test on a file. A file that cannot be opened or read, a folder, and anything but a
// regular file (after following links) never match.
bool AnalyzePatchFile(const std::filesystem::path &path, const SearchTarget &target);

enum class FileVerdict { NoMatch, Match, Stopped };

// What one reading thread keeps from file to file: the matcher, a buffer, and where the verdicts
// of the last files were decided, which sizes the first read of the next file (one read usually
// suffices, and reads as little as the module's records need).
class PatchFileReader {
public:
    explicit PatchFileReader(const SearchTarget &target);
    PatchFileReader(const PatchFileReader &) = delete;
    PatchFileReader &operator=(const PatchFileReader &) = delete;

    // The match test on an open file (a closed one never matches). `listedRegular`: the folder's
    // listing said the file is a regular file, so it is read without being examined first, unless
    // it fills the first read; otherwise it is examined and anything but a regular file never
    // matches. Stopped when `stop` became true between two reads.
    FileVerdict Analyze(const platform::InputFile &file, bool listedRegular, const std::atomic<bool> *stop);

private:
    std::size_t FirstReadSize() const;
    void NoteDecided(std::uint64_t at);
    std::size_t FeedHeld(std::size_t held);
    FileVerdict ReadOn(const platform::InputFile &file, const platform::FileFacts &facts,
                       std::uint64_t position, std::size_t held, const std::atomic<bool> *stop);

    PatchMatcher m_matcher;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity = 0;
    std::array<std::uint32_t, 32> m_decided{}; // where the last verdicts were decided, 0: none yet
    std::size_t m_nextDecided = 0;
};

} // namespace patchlens
