#pragma once
// How many threads read the files of a tree, for the search and the collection scan alike.

#include <cstddef>
#include <cstdint>

namespace patchlens {

// The threads wanted: the number asked for, or with none asked for one per processor, doubled
// (up to 16) while the reads wait for the disk: a cold cache leaves the processors idle, and more
// reads in flight let the disk serve them together. Each time 32 more files were read, the
// threads double when the process read from the disk at least once per file meanwhile; a system
// that does not tell its disk reads keeps the first number. Used by one thread only (the one that
// starts the readers); the readers count the files they read and that thread passes the count in.
class ReadingThreads {
public:
    // `asked` 0: one per processor, grown while the reads wait.
    explicit ReadingThreads(unsigned asked);

    // The reading threads wanted now, the calling one included: 1 to 64.
    unsigned wanted() const { return m_threads; }

    // Takes the disk reads so far as the start; call when the reading begins.
    void Begin();
    // Looks at the disk reads once 32 files more were read than at the last look.
    void Judge(std::size_t filesRead);
    // No more threads could be started than `started`: that many are wanted from now on.
    void Settle(unsigned started) { m_threads = started; }

private:
    unsigned m_threads;
    bool m_growing;                // more when the reads wait for the disk
    std::size_t m_filesJudged = 0; // files read when the disk reads were last looked at
    std::uint64_t m_diskReads = 0; // the disk reads of the process then
};

} // namespace patchlens
