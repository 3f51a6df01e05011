#include "search/file_reading.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace patchlens {

namespace {

// First reads are whole multiples of this: the system's cache copies only the bytes asked for.
constexpr std::size_t kReadUnit = std::size_t{1} << 10;
// The first read of a file before any verdict was decided: a whole typical patch (about 36 KB).
constexpr std::size_t kLargestFirstRead = std::size_t{64} << 10;
// Room past the furthest decision seen, for records that sit a little later in the next file.
constexpr std::size_t kDecisionMargin = 256;
// The reads after the first one.
constexpr std::size_t kChunk = std::size_t{256} << 10;
constexpr std::uint64_t kLargeFile = std::uint64_t{4} << 20;

bool StopRequested(const std::atomic<bool> *stop) {
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}

} // namespace

bool AnalyzePatchFile(const std::filesystem::path &path, const SearchTarget &target) {
    PatchFileReader reader(target);
    return reader.Analyze(platform::OpenForReading(path), false, nullptr) == FileVerdict::Match;
}

PatchFileReader::PatchFileReader(const SearchTarget &target)
    : m_matcher(target), m_capacity(kChunk + m_matcher.Longest() + 1) {
    // Not filled: only the pages a read reaches ever become memory of the process.
    m_buffer = std::make_unique_for_overwrite<char[]>(m_capacity);
}

std::size_t PatchFileReader::FirstReadSize() const {
    const std::uint32_t furthest = *std::max_element(m_decided.begin(), m_decided.end());
    if (furthest == 0)
        return kLargestFirstRead;
    const std::size_t wanted = (furthest + kDecisionMargin + kReadUnit - 1) / kReadUnit * kReadUnit;
    return std::min(wanted, kLargestFirstRead);
}

void PatchFileReader::NoteDecided(std::uint64_t at) {
    m_decided[m_nextDecided] = static_cast<std::uint32_t>(std::min<std::uint64_t>(at, kLargestFirstRead));
    m_nextDecided = (m_nextDecided + 1) % m_decided.size();
}

// Feeds the first `held` bytes of the buffer; afterwards the buffer begins with the bytes to keep.
// Returns the number of bytes now held.
std::size_t PatchFileReader::FeedHeld(std::size_t held) {
    m_matcher.Feed(std::string_view(m_buffer.get(), held));
    const std::size_t keep = m_matcher.Keep();
    if (keep > 0 && keep < held)
        std::memmove(m_buffer.get(), m_buffer.get() + (held - keep), keep);
    return keep;
}

FileVerdict PatchFileReader::Analyze(const platform::InputFile &file, bool listedRegular,
                                     const std::atomic<bool> *stop) {
    if (!file.IsOpen())
        return FileVerdict::NoMatch;
    platform::FileFacts facts;
    if (!listedRegular) {
        facts = platform::FactsOf(file);
        if (!facts.regular)
            return FileVerdict::NoMatch;
    }
    m_matcher.Reset();
    const std::size_t first = FirstReadSize();
    const Result<std::size_t> read = platform::ReadAt(file, m_buffer.get(), first, 0);
    if (!read.ok())
        return FileVerdict::NoMatch;
    const std::size_t got = *read;
    const std::size_t held = FeedHeld(got);
    if (m_matcher.Done()) {
        NoteDecided(m_matcher.DecidedAt());
        return m_matcher.Finish() ? FileVerdict::Match : FileVerdict::NoMatch;
    }
    if (got == 0)
        return m_matcher.Finish() ? FileVerdict::Match : FileVerdict::NoMatch;
    // A file that fills the first read may be large, sparse, or no file at all by now.
    if (listedRegular && got == first) {
        facts = platform::FactsOf(file);
        if (!facts.regular)
            return FileVerdict::NoMatch;
    }
    const FileVerdict verdict = ReadOn(file, facts, static_cast<std::uint64_t>(got), held, stop);
    if (verdict != FileVerdict::Stopped && m_matcher.Done())
        NoteDecided(m_matcher.DecidedAt());
    return verdict;
}

// Reads on from `position` in large chunks until the verdict is known or the file ends. The holes of
// a large sparse file (zero bytes not stored on disk) are skipped, not read, where the system tells
// them. `facts` are the file's, or nothing known (a short file read to its end).
FileVerdict PatchFileReader::ReadOn(const platform::InputFile &file, const platform::FileFacts &facts,
                                    std::uint64_t position, std::size_t held, const std::atomic<bool> *stop) {
    constexpr std::uint64_t kNoHole = std::numeric_limits<std::uint64_t>::max();
    bool skipHoles = m_matcher.ZeroFree() && facts.size > kLargeFile && facts.sparse;
    if (facts.size > kLargeFile)
        platform::AdviseSequentialReading(file);
    std::uint64_t nextHole = skipHoles ? position : kNoHole;
    char *const buffer = m_buffer.get();
    while (!m_matcher.Done()) {
        if (StopRequested(stop))
            return FileVerdict::Stopped;
        if (skipHoles && position >= nextHole) {
            const platform::DataStretch data = platform::NextDataStretch(file, position);
            using Kind = platform::DataStretch::Kind;
            if (data.kind == Kind::HoleToEnd) {
                if (facts.size > position) {
                    buffer[held] = '\0';
                    held = FeedHeld(held + 1);
                }
                break;
            }
            if (data.kind == Kind::Unknown) {
                skipHoles = false;
                nextHole = kNoHole;
            } else {
                if (data.begin > position) { // one zero byte stands for the whole hole
                    buffer[held] = '\0';
                    held = FeedHeld(held + 1);
                    position = data.begin;
                    if (m_matcher.Done())
                        break;
                }
                nextHole = data.end > position ? data.end : kNoHole;
            }
        }
        std::size_t room = std::min(kChunk, m_capacity - held - 1);
        if (nextHole != kNoHole)
            room = static_cast<std::size_t>(std::min<std::uint64_t>(room, nextHole - position));
        const Result<std::size_t> got = platform::ReadAt(file, buffer + held, room, position);
        if (!got.ok())
            return FileVerdict::NoMatch;
        if (*got == 0)
            break;
        position += *got;
        held = FeedHeld(held + *got);
    }
    return m_matcher.Finish() ? FileVerdict::Match : FileVerdict::NoMatch;
}

} // namespace patchlens
