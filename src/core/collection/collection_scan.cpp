#include "collection/collection_scan.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>

#include "platform/platform_files.h"
#include "search/reading_threads.h"
#include "search/tree_walk.h"
#include "text/byte_text.h"
#include "text/path_bytes.h"

namespace patchlens {

namespace {

// ---- How the work is cut --------------------------------------------------------------------------

constexpr std::size_t kPieceEntries = 512;  // the most entries of one piece of a folder's listing
constexpr std::size_t kFilesAhead = 1024;   // the most files listed and not yet handed on
constexpr std::size_t kBlock = 8;           // the files a reading thread takes at once
constexpr std::size_t kProgressEvery = 256; // files handed on between two progress reports
constexpr std::size_t kSpentBunch = 32;     // patches handed on given back to their thread at once

bool StopRequested(const std::atomic<bool> *stop) {
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}

// The patch list's rule on a name as the system stores it: it ends in ".rp350p" in any case.
bool EndsInPatchExtension(platform::NativeName name) {
    constexpr std::string_view kExtension = ".rp350p";
    if (name.size() < kExtension.size())
        return false;
    const platform::NativeName tail = name.substr(name.size() - kExtension.size());
    return std::equal(
        tail.begin(), tail.end(), kExtension.begin(),
        [](platform::NativeChar found, char wanted) { return AsciiLowerCase(found) == wanted; });
}

// A path's text relative to its scanned folder, as bytes with '/' between the names.
std::string RelativeBytes(const NativeString &relative) {
    if constexpr (std::is_same_v<platform::NativeChar, char>) {
        return relative;
    } else {
        std::string bytes = PathBytes(std::filesystem::path(relative));
        std::replace(bytes.begin(), bytes.end(), '\\', '/');
        return bytes;
    }
}

std::string FolderMessage(const std::filesystem::path &folder, std::string_view what) {
    return PathBytes(folder) + ": " + std::string(what);
}

// Why a folder that could not be opened cannot be read, in the system's words.
std::string UnreadableFolderMessage(const std::filesystem::path &folder) {
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    const std::string reason = ec ? ec.message() : std::string("it could not be opened");
    return FolderMessage(folder, "the folder cannot be read: " + reason);
}

// Whether a named folder can be scanned: none when it can, else what is wrong.
std::optional<std::string> NamedFolderTrouble(const std::filesystem::path &folder) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(folder, ec);
    if (!std::filesystem::exists(status)) {
        if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory)
            return FolderMessage(folder, "the folder cannot be read: " + ec.message());
        return FolderMessage(folder, "no such folder");
    }
    if (!std::filesystem::is_directory(status))
        return FolderMessage(folder, "not a folder");
    return std::nullopt;
}

// ---- The run ------------------------------------------------------------------------------------

enum FileState : std::uint8_t { kPending, kPatch, kNoPatch, kAbandoned };

// One file that may be a patch file: a name ending in ".rp350p" that the listing did not call a
// folder or a special file.
struct File {
    std::uint32_t entry = 0;
    // Set by the listing thread before the batch is shared, then once by the reading thread that
    // claimed it (last, with release); read by the listing thread to hand the file on.
    std::atomic<std::uint8_t> state{kPending};
    std::uint8_t reader = 0;           // the reading thread that read it (0: this thread)
    std::optional<ScannedPatch> patch; // kPatch: what it holds; written by the reading thread
};

// A piece of one scanned folder's listing and its files, or a folder that could not be read.
struct Batch {
    ListedPiece listed;
    std::size_t folder = 0;        // which scanned folder
    std::size_t rootLength = 0;    // the characters of the scanned folder's prefix in paths below it
    std::unique_ptr<File[]> files; // in listing order
    std::size_t fileCount = 0;
    std::size_t claimed = 0; // files taken by reading threads; under the run's lock
    std::optional<FolderTrouble> trouble;
};

struct Claim {
    Batch *batch = nullptr;
    std::size_t begin = 0;
    std::size_t end = 0;
};

// The calling thread (this thread) walks the folders, hands the files on in order and reads files
// too when it has nothing else to do; the helpers only read. A batch leaves the list once every
// file of it was handed on; no reading thread touches a file after storing its state.
class ScanRun {
public:
    ScanRun(std::span<const std::filesystem::path> folders, const ScanOptions &options,
            const ScanObserver *observer)
        : m_folders(folders), m_options(options), m_observer(observer), m_threads(options.threads) {
        m_outcome.collection = Collection(std::vector<std::filesystem::path>(folders.begin(), folders.end()));
    }
    ~ScanRun() { StopHelpers(); }
    ScanRun(const ScanRun &) = delete;
    ScanRun &operator=(const ScanRun &) = delete;

    ScanOutcome Run();

private:
    // The listing.
    void ListNext();
    void AddTrouble(std::size_t folder, const std::filesystem::path &path, std::string message);
    void Share(std::unique_ptr<Batch> batch);
    void StartHelpersIfUseful();
    // The reading.
    std::optional<Claim> ClaimLocked();
    void ReadClaim(const Claim &claim, std::uint8_t reader);
    void HelperLoop(std::uint8_t reader);
    void StopHelpers();
    // The handing on.
    void HandReady();
    void Hand(File &file);
    void GiveBack(std::uint8_t reader, ScannedPatch &&patch);
    void WaitForNext();
    void ReportProgress();

    const std::span<const std::filesystem::path> m_folders;
    const ScanOptions m_options;
    const ScanObserver *m_observer;

    std::atomic<std::size_t> m_filesRead{0}; // counted by every reading thread

    // m_lock guards the fields from here to m_quit, and Batch::claimed. Only this thread changes
    // m_batches and m_listingOver, so it reads them without the lock; the helpers take it.
    std::mutex m_lock;
    std::condition_variable m_workReady;          // a batch came, or the end
    std::condition_variable m_fileDone;           // a reading thread stored the state of m_awaited
    std::deque<std::unique_ptr<Batch>> m_batches; // listed and not fully handed on, in order
    std::size_t m_claimBatch = 0;                 // the first batch with files not yet claimed
    bool m_listingOver = false;
    bool m_quit = false;
    // The patches handed on, by the reading thread that made them, for it to free: a block of
    // memory is freed fastest by the thread that took it (the allocator keeps an arena for each
    // thread, and a block freed by another thread waits for the lock of its arena).
    std::vector<std::vector<ScannedPatch>> m_spent;

    // The file this thread waits for, if any: only its reader wakes this thread.
    std::atomic<const File *> m_awaited{nullptr};

    // The rest is this thread's own.
    std::vector<std::thread> m_helpers;
    std::vector<std::vector<ScannedPatch>> m_spentHere; // by reading thread, not yet given back
    ReadingThreads m_threads; // the reading threads wanted; this thread only
    std::size_t m_nextFolder = 0;   // the next scanned folder to walk
    std::optional<TreeWalk> m_walk; // the walk of folder m_nextFolder - 1
    std::size_t m_rootLength = 0;   // its prefix's length, once its first piece came
    std::size_t m_ahead = 0;        // files listed and not yet handed on
    std::size_t m_handAt = 0;       // the next file to hand on in the first batch
    std::size_t m_sinceProgress = 0;
    ScanOutcome m_outcome;
};

ScanOutcome ScanRun::Run() {
    m_threads.Begin();
    for (;;) {
        if (StopRequested(m_options.stop)) {
            m_outcome.stopped = true;
            break;
        }
        if (!m_listingOver && m_ahead < kFilesAhead) {
            ListNext();
            continue;
        }
        const std::size_t handedBefore = m_outcome.progress.handed;
        const std::size_t batchesBefore = m_batches.size();
        HandReady();
        if (m_listingOver && m_batches.empty())
            break;
        if (m_outcome.progress.handed != handedBefore || m_batches.size() != batchesBefore)
            continue;
        std::optional<Claim> claim;
        {
            const std::lock_guard lock(m_lock);
            claim = ClaimLocked();
        }
        if (claim) {
            ReadClaim(*claim, 0);
            StartHelpersIfUseful();
            continue;
        }
        WaitForNext();
    }
    StopHelpers();
    ReportProgress();
    return std::move(m_outcome);
}

// ---- The listing --------------------------------------------------------------------------------

void ScanRun::ListNext() {
    if (!m_walk) {
        if (m_nextFolder == m_folders.size()) {
            const std::lock_guard lock(m_lock);
            m_listingOver = true;
            m_workReady.notify_all();
            return;
        }
        const std::size_t folder = m_nextFolder++;
        if (std::optional<std::string> trouble = NamedFolderTrouble(m_folders[folder])) {
            AddTrouble(folder, m_folders[folder], std::move(*trouble));
            return;
        }
        m_walk.emplace(m_folders[folder], m_options.recursive);
        m_rootLength = 0;
        return;
    }
    const std::size_t folder = m_nextFolder - 1;
    std::optional<ListedPiece> listed = m_walk->Next(kPieceEntries);
    if (!listed) {
        m_walk.reset();
        return;
    }
    const bool root = m_rootLength == 0;
    if (root)
        m_rootLength = listed->folder->prefix.size(); // the walk's first piece is the folder's own
    if (listed->unreadable) {
        const std::filesystem::path path =
            root ? m_folders[folder]
                 : std::filesystem::path(listed->folder->prefix.substr(0, listed->folder->prefix.size() - 1));
        AddTrouble(folder, path, UnreadableFolderMessage(path));
        return;
    }
    std::size_t count = 0;
    for (const ListedEntry &entry : listed->entries)
        count += entry.kind != platform::EntryKind::Folder && entry.kind != platform::EntryKind::Special &&
                 EndsInPatchExtension(platform::NativeName(listed->Name(entry), entry.length));
    if (count == 0)
        return;
    auto batch = std::make_unique<Batch>();
    batch->folder = folder;
    batch->rootLength = m_rootLength;
    batch->files = std::make_unique<File[]>(count);
    batch->fileCount = count;
    std::size_t at = 0;
    for (std::size_t i = 0; i < listed->entries.size(); ++i) {
        const ListedEntry &entry = listed->entries[i];
        if (entry.kind != platform::EntryKind::Folder && entry.kind != platform::EntryKind::Special &&
            EndsInPatchExtension(platform::NativeName(listed->Name(entry), entry.length)))
            batch->files[at++].entry = static_cast<std::uint32_t>(i);
    }
    batch->listed = std::move(*listed);
    m_outcome.progress.listed += count;
    m_ahead += count;
    Share(std::move(batch));
    StartHelpersIfUseful();
}

void ScanRun::AddTrouble(std::size_t folder, const std::filesystem::path &path, std::string message) {
    auto batch = std::make_unique<Batch>();
    batch->folder = folder;
    batch->trouble = FolderTrouble{folder, path, std::move(message)};
    Share(std::move(batch));
}

void ScanRun::Share(std::unique_ptr<Batch> batch) {
    const std::lock_guard lock(m_lock);
    m_batches.push_back(std::move(batch));
    m_workReady.notify_all();
}

// Helpers start once there are files enough to keep them busy a while: a few files are read by
// this thread alone.
void ScanRun::StartHelpersIfUseful() {
    m_threads.Judge(m_filesRead.load(std::memory_order_relaxed));
    while (m_helpers.size() + 1 < m_threads.wanted() && m_ahead >= 2 * kBlock * (m_helpers.size() + 1)) {
        try {
            const auto reader = static_cast<std::uint8_t>(m_helpers.size() + 1);
            {
                const std::lock_guard lock(m_lock);
                m_spent.resize(reader + 1u);
            }
            m_spentHere.resize(reader + 1u);
            m_helpers.emplace_back([this, reader] { HelperLoop(reader); });
        } catch (const std::exception &) {
            m_threads.Settle(static_cast<unsigned>(m_helpers.size() + 1)); // the same entries, later
        }
    }
}

// ---- The reading --------------------------------------------------------------------------------

std::optional<Claim> ScanRun::ClaimLocked() {
    while (m_claimBatch < m_batches.size()) {
        Batch &batch = *m_batches[m_claimBatch];
        if (batch.claimed < batch.fileCount) {
            const std::size_t begin = batch.claimed;
            batch.claimed = std::min(batch.fileCount, begin + kBlock);
            return Claim{&batch, begin, batch.claimed};
        }
        ++m_claimBatch;
    }
    return std::nullopt;
}

// A file of a claim, opened before any of them is read.
struct OpenedFile {
    platform::InputFile file;
    platform::FileFacts facts;
};

// Opens the file through its folder and, when it may be a patch file, asks the system to start
// reading it: the files of a claim are opened first and read after, so that on a cold cache the
// disk serves their reads together instead of one after the other.
OpenedFile OpenListed(const ListedPiece &listed, const ListedEntry &entry) {
    OpenedFile opened{listed.folder->reader.OpenFile(listed.Name(entry)), {}};
    if (opened.file.IsOpen()) {
        opened.facts = platform::FactsOf(opened.file);
        if (opened.facts.regular && opened.facts.size <= kMaxPatchFileBytes)
            platform::AdviseReadingSoon(opened.file, opened.facts.size);
    }
    return opened;
}

// Reads the opened file whole, as ReadPatchFile would read it by its path; where that gives an
// error, it is ReadPatchFile's own (read again by the path, for its words). None when the file is
// no regular file after all (a link to a folder, say): the patch list does not show it.
std::optional<Result<PatchText>> ReadListed(const ListedPiece &listed, const ListedEntry &entry,
                                            const OpenedFile &opened) {
    const platform::InputFile &file = opened.file;
    if (file.IsOpen()) {
        const platform::FileFacts &facts = opened.facts;
        if (!facts.regular)
            return std::nullopt;
        if (facts.size <= kMaxPatchFileBytes) {
            const auto size = static_cast<std::size_t>(facts.size);
            std::string bytes(size + 1, '\0');
            std::size_t got = 0;
            for (;;) {
                const Result<std::size_t> read =
                    platform::ReadAt(file, bytes.data() + got, bytes.size() - got, got);
                if (!read.ok() || read.value() == 0)
                    break;
                got += read.value();
                if (got >= size)
                    break;
            }
            if (got == size) {
                bytes.resize(size);
                return MakePatchText(std::move(bytes));
            }
        }
    }
    const std::filesystem::path path = listed.Path(entry);
    std::error_code ec;
    if (!file.IsOpen() && !std::filesystem::is_regular_file(path, ec) &&
        (!ec || ec == std::errc::no_such_file_or_directory))
        return std::nullopt; // a link that leads nowhere, or a file gone since it was listed
    return ReadPatchFile(path);
}

void ScanRun::ReadClaim(const Claim &claim, std::uint8_t reader) {
    Batch &batch = *claim.batch;
    std::array<OpenedFile, kBlock> opened;
    const bool stopped = StopRequested(m_options.stop);
    for (std::size_t i = claim.begin; i < claim.end && !stopped; ++i)
        opened[i - claim.begin] = OpenListed(batch.listed, batch.listed.entries[batch.files[i].entry]);
    for (std::size_t i = claim.begin; i < claim.end; ++i) {
        File &file = batch.files[i];
        std::uint8_t state = kAbandoned;
        if (!StopRequested(m_options.stop)) {
            const ListedEntry &entry = batch.listed.entries[file.entry];
            OpenedFile &own = opened[i - claim.begin];
            std::optional<Result<PatchText>> read = ReadListed(batch.listed, entry, own);
            own = {}; // closed as soon as it was read
            if (read) {
                const NativeString &prefix = batch.listed.folder->prefix;
                NativeString relative = prefix.substr(std::min(batch.rootLength, prefix.size()));
                relative.append(batch.listed.Name(entry), entry.length);
                file.patch = ScanPatch(batch.folder, RelativeBytes(relative), std::move(*read));
                state = kPatch;
            } else {
                state = kNoPatch;
            }
            m_filesRead.fetch_add(1, std::memory_order_relaxed);
        }
        file.reader = reader;
        // Stored before m_awaited is looked at, and looked at after it was set by a waiting
        // thread that then finds the state still pending: one of the two sees the other.
        file.state.store(state, std::memory_order_seq_cst);
        if (m_awaited.load(std::memory_order_seq_cst) == &file) {
            const std::lock_guard lock(m_lock); // held by the waiting thread until it waits
            m_fileDone.notify_one();
        }
    }
}

void ScanRun::HelperLoop(std::uint8_t reader) {
    std::vector<ScannedPatch> spent;
    for (;;) {
        spent.clear(); // freed by the thread that made them, outside the lock
        std::optional<Claim> claim;
        {
            std::unique_lock lock(m_lock);
            spent.swap(m_spent[reader]);
            for (;;) {
                if (m_quit)
                    return;
                if ((claim = ClaimLocked()))
                    break;
                if (m_listingOver)
                    return;
                m_workReady.wait(lock);
            }
        }
        ReadClaim(*claim, reader);
    }
}

void ScanRun::StopHelpers() {
    {
        const std::lock_guard lock(m_lock);
        m_quit = true;
        m_workReady.notify_all();
    }
    for (std::thread &helper : m_helpers)
        helper.join();
    m_helpers.clear();
}

// ---- The handing on -----------------------------------------------------------------------------

// Hands on, in order, every file and trouble whose turn has come and whose fate is known.
void ScanRun::HandReady() {
    while (!m_batches.empty()) {
        Batch &batch = *m_batches.front();
        if (batch.trouble) {
            ++m_outcome.progress.troubles;
            if (m_observer != nullptr && m_observer->onTrouble)
                m_observer->onTrouble(*batch.trouble);
            m_outcome.troubles.push_back(std::move(*batch.trouble));
            batch.trouble.reset();
        }
        while (m_handAt < batch.fileCount) {
            File &file = batch.files[m_handAt];
            const std::uint8_t state = file.state.load(std::memory_order_acquire);
            if (state == kPending || state == kAbandoned || StopRequested(m_options.stop))
                return; // once stopped, nothing more is handed on, read or not
            Hand(file);
            ++m_handAt;
        }
        std::unique_ptr<Batch> done;
        {
            const std::lock_guard lock(m_lock);
            done = std::move(m_batches.front());
            m_batches.pop_front();
            if (m_claimBatch > 0)
                --m_claimBatch;
        }
        m_handAt = 0;
    }
}

void ScanRun::Hand(File &file) {
    ScanProgress &progress = m_outcome.progress;
    ++progress.handed;
    --m_ahead;
    if (file.patch) {
        ++progress.patches;
        progress.accepted += file.patch->accepted() ? 1 : 0;
        if (m_options.keepEntries)
            m_outcome.collection.Add(*file.patch);
        if (m_observer != nullptr && m_observer->onPatch)
            m_observer->onPatch(*file.patch, progress);
        if (file.reader != 0)
            GiveBack(file.reader, std::move(*file.patch));
        file.patch.reset();
    }
    if (++m_sinceProgress >= kProgressEvery)
        ReportProgress();
}

// Keeps the patch for the helper that made it, and gives it the patches kept once they are a bunch.
void ScanRun::GiveBack(std::uint8_t reader, ScannedPatch &&patch) {
    std::vector<ScannedPatch> &here = m_spentHere[reader];
    here.push_back(std::move(patch));
    if (here.size() < kSpentBunch)
        return;
    const std::lock_guard lock(m_lock);
    std::vector<ScannedPatch> &given = m_spent[reader];
    if (given.empty())
        given.swap(here); // the usual case: the helper took the last bunch
    else
        std::move(here.begin(), here.end(), std::back_inserter(given));
    here.clear();
}

void ScanRun::ReportProgress() {
    m_sinceProgress = 0;
    if (m_observer != nullptr && m_observer->onProgress)
        m_observer->onProgress(m_outcome.progress);
}

// Waits until the next file to hand on is done; another thread took it.
void ScanRun::WaitForNext() {
    std::unique_lock lock(m_lock);
    if (m_batches.empty())
        return;
    const Batch &batch = *m_batches.front();
    if (m_handAt >= batch.fileCount)
        return;
    const File &file = batch.files[m_handAt];
    m_awaited.store(&file, std::memory_order_seq_cst);
    m_fileDone.wait(lock, [&] { return file.state.load(std::memory_order_seq_cst) != kPending; });
    m_awaited.store(nullptr, std::memory_order_relaxed);
}

} // namespace

ScanOutcome ScanCollection(std::span<const std::filesystem::path> folders, const ScanOptions &options,
                           const ScanObserver *observer) {
    ScanRun run(folders, options, observer);
    return run.Run();
}

} // namespace patchlens
