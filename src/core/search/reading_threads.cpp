#include "search/reading_threads.h"

#include <algorithm>
#include <optional>
#include <thread>

#include "platform/platform_files.h"

namespace patchlens {
namespace {

constexpr unsigned kMostThreads = 64;
constexpr std::size_t kFilesJudged = 32;
constexpr unsigned kMostWaitingThreads = 16;

} // namespace

ReadingThreads::ReadingThreads(unsigned asked)
    : m_threads(
          std::min(asked != 0 ? asked : std::max(1u, std::thread::hardware_concurrency()), kMostThreads)),
      m_growing(asked == 0) {}

void ReadingThreads::Begin() {
    if (m_growing)
        m_diskReads = platform::DiskReadsSoFar().value_or(0);
}

void ReadingThreads::Judge(std::size_t filesRead) {
    if (!m_growing || m_threads >= kMostWaitingThreads || filesRead < m_filesJudged + kFilesJudged)
        return;
    const std::optional<std::uint64_t> diskReads = platform::DiskReadsSoFar();
    if (!diskReads) { // the system does not tell
        m_growing = false;
        return;
    }
    if (*diskReads - m_diskReads >= filesRead - m_filesJudged)
        m_threads = std::min(2 * m_threads, kMostWaitingThreads);
    m_filesJudged = filesRead;
    m_diskReads = *diskReads;
}

} // namespace patchlens
