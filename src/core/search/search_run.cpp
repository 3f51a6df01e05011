#include "search/search_run.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

#include "search/file_reading.h"
#include "search/reading_threads.h"
#include "search/tree_walk.h"
#include "text/path_bytes.h"

namespace patchlens {

namespace {

// ---- How the work is cut --------------------------------------------------------------------------

// The most entries of one piece of a folder's listing.
constexpr std::size_t kPieceEntries = 512;
// The most pieces listed and not yet reported; each keeps its folder open.
constexpr std::size_t kAheadPieces = 64;
// The entries a reading thread takes at once.
constexpr std::size_t kBlock = 16;

// What became of one entry of the list.
enum EntryState : std::uint8_t { kPending, kSkipped, kNoMatch, kMatch, kAbandoned };

// A piece of the list and what became of each of its entries.
struct Piece {
    // Made by the calling thread before the piece is shared; only read afterwards.
    ListedPiece listed;
    // One per entry. Set by the calling thread before the piece is shared; a kPending entry is then
    // set once more by the reading thread that claimed it. Read by the calling thread to report,
    // and by claims, which skip the entries that are not pending.
    std::unique_ptr<std::atomic<std::uint8_t>[]> states;
    std::size_t claimed = 0; // entries taken by reading threads; under the run's lock
};

// Entries [begin, end) of a piece, taken by one reading thread.
struct Claim {
    Piece *piece = nullptr;
    std::size_t begin = 0;
    std::size_t end = 0;
};

bool StopRequested(const std::atomic<bool> *stop) {
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}

// Path text held in native characters, as PathText gives it; no path is made where paths are bytes.
template <typename Text> std::string NativeText(const Text &text) {
    if constexpr (std::is_same_v<typename Text::value_type, char>)
        return text;
    else
        return PathBytes(std::filesystem::path(text));
}

// ---- The run ------------------------------------------------------------------------------------

// The calling thread (below: this thread) lists the tree, reports in list order, and reads files
// too when it has nothing else to do; the other threads (the helpers) only read files. A piece
// leaves the list once every entry of it is reported, which no reading thread touches after storing
// its state.
class SearchRun {
public:
    SearchRun(const std::filesystem::path &root, const SearchTarget &target, const SearchOptions &options,
              const SearchObserver *observer)
        : m_target(target), m_stop(options.stop), m_ahead(std::max<std::size_t>(options.entriesAhead, 1)),
          m_pieceEntries(std::min(kPieceEntries, m_ahead)), m_keepResults(options.keepResults), m_walk(root),
          m_observer(observer), m_threads(options.threads), m_reader(target) {}
    ~SearchRun() { StopHelpers(); }
    SearchRun(const SearchRun &) = delete;
    SearchRun &operator=(const SearchRun &) = delete;

    SearchOutcome Run();

private:
    // The listing.
    void ListPiece();
    void StartHelpersIfUseful();
    // The reading.
    std::optional<Claim> ClaimLocked();
    void AnalyzeClaim(const Claim &claim, PatchFileReader &reader);
    void HelperLoop();
    void StopHelpers();
    // The reporting.
    void ReportReady(bool stopping);
    void Report(const Piece &piece, std::size_t index, std::uint8_t state, bool last);
    void WaitForNext();
    std::string LastPatchStatusText() const;
    void SetStatus(std::string status);

    // Set once, read by every thread.
    const SearchTarget &m_target;
    const std::atomic<bool> *m_stop;
    const std::size_t m_ahead;
    const std::size_t m_pieceEntries;
    const bool m_keepResults;

    // Counted by every reading thread, read by this thread to judge whether the reads wait.
    std::atomic<std::size_t> m_filesRead{0};

    // m_lock guards the fields from here to m_idleHelpers, and Piece::claimed. Only this thread
    // changes m_pieces and m_listingOver, so it reads them without the lock; the helpers take it.
    std::mutex m_lock;
    std::condition_variable m_workReady;         // this thread wakes the helpers: a piece came, or the end
    std::condition_variable m_entryDone;         // a reading thread wakes this thread: the entry it waits for
    std::deque<std::unique_ptr<Piece>> m_pieces; // listed and not fully reported, in list order
    std::size_t m_claimPiece = 0;                // the first piece with entries not yet claimed
    bool m_listingOver = false;                  // no piece comes any more
    bool m_quit = false;                         // the helpers must end
    unsigned m_idleHelpers = 0;                  // helpers waiting on m_workReady
    // Set by this thread while it waits on m_entryDone; a reading thread that stored a state looks
    // at it and takes the lock to wake this thread only when it is set.
    std::atomic<bool> m_waiting{false};

    // The rest is this thread's own.
    std::vector<std::thread> m_helpers;
    TreeWalk m_walk;
    const SearchObserver *m_observer;
    ReadingThreads m_threads; // the reading threads wanted; this thread only
    PatchFileReader m_reader;
    SearchOutcome m_outcome;
    SearchProgress m_progress;
    std::size_t m_reportAt = 0;   // the next entry to report in the first piece
    std::size_t m_toRead = 0;     // patch files listed that are to be read
    bool m_needLookAhead = false; // the entry to report is the last one listed: is it the last one?
    NativeString m_lastPatch;     // the last patch file reported
    std::size_t m_lastPatchBefore = 0;
    bool m_lastPatchIsLast = false;
};

SearchOutcome SearchRun::Run() {
    SetStatus(std::string(kSearchingStatus));
    m_threads.Begin();
    for (;;) {
        if (StopRequested(m_stop)) {
            m_outcome.stopped = true;
            break;
        }
        const std::size_t ahead = m_progress.entries - m_progress.entriesDone;
        if (!m_listingOver && (m_needLookAhead || (ahead < m_ahead && m_pieces.size() < kAheadPieces))) {
            ListPiece();
            continue;
        }
        const std::size_t reportedBefore = m_progress.entriesDone;
        ReportReady(false);
        if (m_listingOver && m_pieces.empty())
            break;
        if (m_progress.entriesDone != reportedBefore || m_needLookAhead)
            continue;
        std::optional<Claim> claim;
        {
            const std::lock_guard lock(m_lock);
            claim = ClaimLocked();
        }
        if (claim) {
            AnalyzeClaim(*claim, m_reader);
            StartHelpersIfUseful();
            continue;
        }
        WaitForNext();
    }
    StopHelpers();
    if (m_outcome.stopped) {
        ReportReady(true);
        SetStatus(StoppedStatus(m_progress.analyzed, m_progress.patchFiles));
    } else if (m_progress.analyzed == 0) {
        SetStatus(std::string(kNoPatchesFoundStatus));
    } else if (!m_lastPatchIsLast) {
        // Entries that are no patch files came after the last patch file: the status says all the
        // same that the search is over.
        m_lastPatchIsLast = true;
        SetStatus(LastPatchStatusText());
    } else {
        m_outcome.status = LastPatchStatusText();
    }
    m_outcome.entries = m_progress.entries;
    m_outcome.patchFiles = m_progress.patchFiles;
    m_outcome.analyzed = m_progress.analyzed;
    return std::move(m_outcome);
}

// ---- The listing --------------------------------------------------------------------------------

void SearchRun::ListPiece() {
    std::optional<ListedPiece> listed = m_walk.Next(m_pieceEntries);
    if (!listed) {
        m_needLookAhead = false;
        const std::lock_guard lock(m_lock);
        m_listingOver = true;
        m_workReady.notify_all();
        return;
    }
    if (listed->entries.empty())
        return; // an empty folder: the look-ahead, if any, goes on
    m_needLookAhead = false;
    auto piece = std::make_unique<Piece>();
    piece->listed = std::move(*listed);
    const std::vector<ListedEntry> &entries = piece->listed.entries;
    piece->states = std::make_unique<std::atomic<std::uint8_t>[]>(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ListedEntry &entry = entries[i];
        std::uint8_t state = kSkipped;
        if (entry.patchFile) {
            ++m_progress.patchFiles;
            // A folder, a FIFO or a device is a patch file by its name, but nothing to read.
            const bool readable =
                entry.kind != platform::EntryKind::Folder && entry.kind != platform::EntryKind::Special;
            state = readable ? kPending : kNoMatch;
            m_toRead += readable ? 1 : 0;
        }
        piece->states[i].store(state, std::memory_order_relaxed);
    }
    const bool first = m_progress.entries == 0;
    m_progress.entries += entries.size();
    {
        const std::lock_guard lock(m_lock);
        m_pieces.push_back(std::move(piece));
        if (m_idleHelpers > 0)
            m_workReady.notify_all();
    }
    if (first) {
        m_outcome.resultsReplaced = true;
        if (m_observer != nullptr && m_observer->onResultsReplaced)
            m_observer->onResultsReplaced();
        SetStatus(std::string(kStartAnalyzingStatus));
    }
    StartHelpersIfUseful();
}

// Helpers start once there are files enough to keep them busy for a while: a small tree is read by
// this thread alone.
void SearchRun::StartHelpersIfUseful() {
    m_threads.Judge(m_filesRead.load(std::memory_order_relaxed));
    while (m_helpers.size() + 1 < m_threads.wanted() && m_toRead >= 4 * kBlock * (m_helpers.size() + 1)) {
        try {
            m_helpers.emplace_back([this] { HelperLoop(); });
        } catch (const std::exception &) {
            m_threads.Settle(static_cast<unsigned>(m_helpers.size() + 1)); // the same results, later
        }
    }
}

// ---- The reading --------------------------------------------------------------------------------

// A claim ends with an entry to read: once a reading thread has stored the state of that entry,
// the piece may be reported and freed, so the thread must not look at any entry after it.
std::optional<Claim> SearchRun::ClaimLocked() {
    while (m_claimPiece < m_pieces.size()) {
        Piece &piece = *m_pieces[m_claimPiece];
        const std::size_t size = piece.listed.entries.size();
        while (piece.claimed < size) {
            const std::size_t begin = piece.claimed;
            std::size_t end = std::min(size, begin + kBlock);
            piece.claimed = end;
            while (end > begin && piece.states[end - 1].load(std::memory_order_relaxed) != kPending)
                --end;
            if (end > begin)
                return Claim{&piece, begin, end};
        }
        ++m_claimPiece;
    }
    return std::nullopt;
}

void SearchRun::AnalyzeClaim(const Claim &claim, PatchFileReader &reader) {
    const ListedPiece &listed = claim.piece->listed;
    std::atomic<std::uint8_t> *const states = claim.piece->states.get();
    for (std::size_t i = claim.begin; i < claim.end; ++i) {
        if (states[i].load(std::memory_order_relaxed) != kPending)
            continue;
        std::uint8_t state = kAbandoned;
        if (!StopRequested(m_stop)) {
            const ListedEntry &entry = listed.entries[i];
            const platform::InputFile file = listed.folder->reader.OpenFile(listed.Name(entry));
            switch (reader.Analyze(file, entry.kind == platform::EntryKind::File, m_stop)) {
            case FileVerdict::Match:
                state = kMatch;
                break;
            case FileVerdict::NoMatch:
                state = kNoMatch;
                break;
            case FileVerdict::Stopped:
                break;
            }
            m_filesRead.fetch_add(1, std::memory_order_relaxed);
        }
        // Sequentially consistent with m_waiting: either this thread sees the reporter waiting,
        // or the reporter sees the state.
        states[i].store(state);
        if (m_waiting.load()) {
            const std::lock_guard lock(m_lock);
            m_entryDone.notify_one();
        }
    }
}

void SearchRun::HelperLoop() {
    PatchFileReader reader(m_target);
    for (;;) {
        std::optional<Claim> claim;
        {
            std::unique_lock lock(m_lock);
            for (;;) {
                if (m_quit)
                    return;
                if ((claim = ClaimLocked()))
                    break;
                if (m_listingOver)
                    return;
                ++m_idleHelpers;
                m_workReady.wait(lock);
                --m_idleHelpers;
            }
        }
        AnalyzeClaim(*claim, reader);
    }
}

void SearchRun::StopHelpers() {
    {
        const std::lock_guard lock(m_lock);
        m_quit = true;
        m_workReady.notify_all();
    }
    for (std::thread &helper : m_helpers)
        helper.join();
    m_helpers.clear();
}

// ---- The reporting ------------------------------------------------------------------------------

// Reports, in list order, every entry whose fate is known. The last entry listed waits for the
// listing to tell whether another follows, except when the search is stopping.
void SearchRun::ReportReady(bool stopping) {
    while (!m_pieces.empty()) {
        const Piece &piece = *m_pieces.front();
        const std::size_t size = piece.listed.entries.size();
        while (m_reportAt < size) {
            const std::uint8_t state = piece.states[m_reportAt].load(std::memory_order_acquire);
            if (state == kPending || state == kAbandoned)
                return;
            const bool lastListed = m_reportAt + 1 == size && m_pieces.size() == 1;
            if (state != kSkipped && lastListed && !m_listingOver && !stopping) {
                m_needLookAhead = true;
                return;
            }
            Report(piece, m_reportAt, state, lastListed && m_listingOver);
            ++m_reportAt;
        }
        std::unique_ptr<Piece> done;
        {
            const std::lock_guard lock(m_lock);
            done = std::move(m_pieces.front());
            m_pieces.pop_front();
            if (m_claimPiece > 0)
                --m_claimPiece;
        }
        m_reportAt = 0;
    }
}

void SearchRun::Report(const Piece &piece, std::size_t index, std::uint8_t state, bool last) {
    if (state != kSkipped) {
        const ListedEntry &entry = piece.listed.entries[index];
        m_lastPatch.assign(piece.listed.folder->prefix).append(piece.listed.Name(entry), entry.length);
        m_lastPatchBefore = m_progress.analyzed;
        m_lastPatchIsLast = last;
        ++m_progress.analyzed;
        if (m_observer != nullptr && m_observer->onStatus)
            m_observer->onStatus(LastPatchStatusText());
        if (state == kMatch) {
            ++m_progress.matches;
            if (m_keepResults)
                m_outcome.results.emplace_back(m_lastPatch);
            if (m_observer != nullptr && m_observer->onResult)
                m_observer->onResult(m_keepResults ? m_outcome.results.back()
                                                   : std::filesystem::path(m_lastPatch));
        }
    }
    ++m_progress.entriesDone;
    if (m_observer != nullptr && m_observer->onProgress)
        m_observer->onProgress(m_progress);
}

// Waits until the next entry to report is done; it was taken by another thread.
void SearchRun::WaitForNext() {
    std::unique_lock lock(m_lock);
    if (m_pieces.empty())
        return;
    const std::atomic<std::uint8_t> &state = m_pieces.front()->states[m_reportAt];
    m_waiting.store(true);
    m_entryDone.wait(lock, [&] { return state.load() != kPending; });
    m_waiting.store(false);
}

std::string SearchRun::LastPatchStatusText() const {
    return PatchFileStatus(m_lastPatchIsLast, m_lastPatchBefore, NativeText(m_lastPatch));
}

void SearchRun::SetStatus(std::string status) {
    if (m_observer != nullptr && m_observer->onStatus)
        m_observer->onStatus(status);
    m_outcome.status = std::move(status);
}

} // namespace

// ---- The whole search ---------------------------------------------------------------------------

SearchOutcome RunPatchSearch(const std::filesystem::path &root, const SearchTarget &target,
                             const SearchOptions &options, const SearchObserver *observer) {
    SearchRun run(root, target, options, observer);
    return run.Run();
}

} // namespace patchlens
