#include "search/patch_search.h"

#include <algorithm>
#include <array>
#include <bit>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>

// SSE2 is part of every x86-64 processor; elsewhere the scan below is plain C++.
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define PATCHLENS_SSE2_SCAN 1
#include <emmintrin.h>
#endif

#include "platform/platform_files.h"
#include "text/byte_text.h"
#include "text/path_bytes.h"

namespace patchlens {

namespace {

// ---- The table ----------------------------------------------------------------------------------

constexpr std::string_view kCompressorModels[] = {"Digi Comp", "CS Comp", "Dyna Comp"};
constexpr std::string_view kDistortionModels[] = {
    "Screamer", "808",   "Spark", "Guy OD", "DOD 250",    "Rodent",       "MX Dist", "DS Dist", "Grunge",
    "Zone",     "Death", "Gonk",  "8tavia", "Fuzzulator", "Classic Fuzz", "Fuzzy",   "Big MP"};
constexpr std::string_view kChorusFxModels[] = {
    "CE Chorus",  "TC Chorus", "Dual Chorus", "Multi Chorus", "Flanger",      "Trig Flanger", "MXR Flanger",
    "EH Flanger", "Phaser",    "Trig Phaser", "MXR Phaser",   "EH Phaser",    "Vibrato",      "Rotary",
    "VibroPan",   "Unovibe",   "Tremolo",     "Panner",       "Opto Tremolo", "Bias Tremolo", "Envelope",
    "AutoYa",     "YaYa",      "Synth Talk",  "Step Filter",  "FX25",         "Whammy",       "Pitch Shift",
    "Detune",     "IPS",       "Octaver"};
constexpr std::string_view kDelayModels[] = {"Analog", "DM-2", "Digital", "Modulated",
                                             "Pong",   "Tape", "EchoPlex"};
constexpr std::string_view kReverbModels[] = {"Twin Reverb",  "Lexicon Ambience", "Lexicon Studio",
                                              "Lexicon Room", "Lexicon Hall",     "EMT240 Plate"};

constexpr SearchModule kSearchModules[] = {
    {"Compressor", "193", "207", kCompressorModels}, {"Distortion", "2433", "2432", kDistortionModels},
    {"Chorus/Fx", "769", "768", kChorusFxModels},    {"Delay", "1857", "1856", kDelayModels},
    {"Reverb", "1921", "1920", kReverbModels},
};

// ---- Finding bytes ------------------------------------------------------------------------------

// The first occurrence of `needle` in [hay, hay + size), or nullptr. An empty needle is at `hay`.
const char *FindBytes(const char *hay, std::size_t size, std::string_view needle) {
    if (needle.empty())
        return hay;
    if (needle.size() > size)
        return nullptr;
    const std::string_view text(hay, size);
    const std::size_t at = text.find(needle);
    return at == std::string_view::npos ? nullptr : hay + at;
}

// A pattern and two of its positions whose bytes are rare together in patch text; where vector
// instructions are at hand, candidates are those with both bytes in place. Unused when equal.
struct Pattern {
    std::string_view text;
    std::size_t probeA = 0;
    std::size_t probeB = 0;
};

// The pattern of a parameter key "<ID>" id "</ID>": the 'I' of "<ID>" and the id's last digit,
// which only records of ids ending in the same digit share.
Pattern KeyPattern(std::string_view key, std::string_view id) {
    if (id.empty())
        return {key};
    return {key, 1, 4 + id.size() - 1};
}

// The first occurrence of the pattern in [hay, hay + size), or nullptr.
const char *FindPattern(const char *hay, std::size_t size, const Pattern &pattern) {
#if defined(PATCHLENS_SSE2_SCAN)
    const std::size_t length = pattern.text.size();
    if (pattern.probeA < pattern.probeB && pattern.probeB < length) {
        const __m128i first = _mm_set1_epi8(pattern.text[pattern.probeA]);
        const __m128i second = _mm_set1_epi8(pattern.text[pattern.probeB]);
        std::size_t at = 0;
        // Sixteen starts at a time, each with the whole pattern inside the haystack.
        for (; at + 15 + length <= size; at += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hay + at + pattern.probeA));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hay + at + pattern.probeB));
            auto mask = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, second))));
            while (mask != 0) {
                const char *candidate = hay + at + static_cast<std::size_t>(std::countr_zero(mask));
                if (std::memcmp(candidate, pattern.text.data(), length) == 0)
                    return candidate;
                mask &= mask - 1;
            }
        }
        return FindBytes(hay + at, size - at, pattern.text);
    }
#endif
    return FindBytes(hay, size, pattern.text);
}

constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();

// The patch bytes arrive as a stream of windows: each window repeats the last bytes of the one
// before (as many as the matcher asked to keep), then holds new bytes. Positions are counted from
// the start of the stream.

// The first occurrence of a pattern at or after `from`.
struct Finder {
    Pattern pattern;
    std::uint64_t from = 0;   // no occurrence begins in [start of search, from) unless `at` is set
    std::uint64_t at = kNone; // where the first occurrence begins, once found
};

// Looks for the finder's pattern in the window [start, start + window.size()), counting only
// occurrences that end at or before `limit`. True when it is (or was already) found.
// Requires from >= start.
bool Advance(Finder &finder, std::string_view window, std::uint64_t start, std::uint64_t limit) {
    if (finder.at != kNone)
        return true;
    const std::uint64_t end = std::min<std::uint64_t>(start + window.size(), limit);
    const std::size_t length = finder.pattern.text.size();
    if (finder.from + length <= end) {
        const char *const base = window.data() + (finder.from - start);
        const char *hit = FindPattern(base, static_cast<std::size_t>(end - finder.from), finder.pattern);
        if (hit != nullptr) {
            finder.at = finder.from + static_cast<std::uint64_t>(hit - base);
            return true;
        }
    }
    if (end + 1 >= length)
        finder.from = std::max(finder.from, end + 1 - length);
    return false;
}

// One half of the match test: the fifth line from the first occurrence of a key must contain a
// needle.
struct ValueCheck {
    enum class Stage { Key, Lines, Value, Decided };
    Stage stage = Stage::Key;
    Finder key;
    Finder lineEnd; // the CR LF ending the line being read
    Finder needle;
    int linesLeft = 4; // CR LFs still to pass before the value line begins
    bool verdict = false;

    void Decide(bool value) {
        stage = Stage::Decided;
        verdict = value;
    }

    void Step(std::string_view window, std::uint64_t start) {
        const std::uint64_t end = start + window.size();
        for (;;) {
            switch (stage) {
            case Stage::Key:
                if (!Advance(key, window, start, end))
                    return;
                stage = Stage::Lines;
                lineEnd = {{kCrLf}, key.at, kNone};
                break;
            case Stage::Lines: {
                if (!Advance(lineEnd, window, start, end))
                    return;
                const std::uint64_t next = lineEnd.at + kCrLf.size();
                lineEnd = {{kCrLf}, next, kNone};
                if (--linesLeft == 0) {
                    stage = Stage::Value;
                    needle.from = next;
                    needle.at = kNone;
                }
                break;
            }
            case Stage::Value:
                if (Advance(lineEnd, window, start, end)) {
                    Decide(Advance(needle, window, start, lineEnd.at) &&
                           needle.at + needle.pattern.text.size() <= lineEnd.at);
                    return;
                }
                // No CR LF begins before lineEnd.from, so the line reaches at least that far.
                if (Advance(needle, window, start, end) &&
                    needle.at + needle.pattern.text.size() <= lineEnd.from)
                    Decide(true);
                return;
            case Stage::Decided:
                return;
            }
        }
    }

    // The verdict when the stream has ended after `total` bytes.
    bool Finish(std::uint64_t total) const {
        switch (stage) {
        case Stage::Key:
            return false;
        case Stage::Lines: // the value line lies past the end: it is empty
            return needle.pattern.text.empty();
        case Stage::Value:
            return needle.at != kNone && needle.at + needle.pattern.text.size() <= total;
        case Stage::Decided:
            break;
        }
        return verdict;
    }

    // The earliest position a later window must still hold.
    std::uint64_t KeepFrom() const {
        switch (stage) {
        case Stage::Key:
            return key.from;
        case Stage::Lines:
            return lineEnd.from;
        case Stage::Value:
            return needle.at == kNone ? std::min(lineEnd.from, needle.from) : lineEnd.from;
        case Stage::Decided:
            break;
        }
        return kNone;
    }
};

// The whole match test over a stream of windows.
class PatchMatcher {
public:
    explicit PatchMatcher(const SearchTarget &target)
        : m_enableKey("<ID>" + target.enableId + "</ID>"), m_typeKey("<ID>" + target.typeId + "</ID>") {
        m_enable.key.pattern = KeyPattern(m_enableKey, target.enableId);
        m_enable.needle.pattern = {"On"};
        m_type.key.pattern = KeyPattern(m_typeKey, target.typeId);
        m_type.needle.pattern = {target.model};
        m_zeroFree = m_enableKey.find('\0') == std::string::npos &&
                     m_typeKey.find('\0') == std::string::npos &&
                     target.model.find('\0') == std::string_view::npos;
        m_longest = std::max({m_enableKey.size(), m_typeKey.size(), target.model.size(), std::size_t{2}});
    }
    PatchMatcher(const PatchMatcher &) = delete;
    PatchMatcher &operator=(const PatchMatcher &) = delete;

    // True when no key and no needle holds a zero byte: then a run of zero bytes can stand for a
    // single one, since nothing can be found inside it or across it.
    bool ZeroFree() const { return m_zeroFree; }
    // The most bytes a window ever has to repeat.
    std::size_t Longest() const { return m_longest; }
    // How many of the last bytes of the window just fed the next window must begin with.
    std::size_t Keep() const { return m_keep; }

    bool Done() const {
        using Stage = ValueCheck::Stage;
        const bool enableDecided = m_enable.stage == Stage::Decided;
        const bool typeDecided = m_type.stage == Stage::Decided;
        return (enableDecided && !m_enable.verdict) || (typeDecided && !m_type.verdict) ||
               (enableDecided && typeDecided);
    }

    // The window: the Keep() bytes kept from the window before, then the new bytes.
    void Feed(std::string_view window) {
        const std::uint64_t start = m_seen - m_keep;
        m_seen = start + window.size();
        m_enable.Step(window, start);
        if (!Done())
            m_type.Step(window, start);
        if (Done()) {
            m_keep = 0;
            return;
        }
        const std::uint64_t keepFrom = std::min(m_enable.KeepFrom(), m_type.KeepFrom());
        m_keep = keepFrom >= m_seen ? 0 : static_cast<std::size_t>(m_seen - keepFrom);
    }

    bool Finish() const {
        if (Done())
            return m_enable.stage == ValueCheck::Stage::Decided && m_enable.verdict &&
                   m_type.stage == ValueCheck::Stage::Decided && m_type.verdict;
        return m_enable.Finish(m_seen) && m_type.Finish(m_seen);
    }

private:
    std::string m_enableKey;
    std::string m_typeKey;
    ValueCheck m_enable;
    ValueCheck m_type;
    std::uint64_t m_seen = 0;
    std::size_t m_keep = 0;
    std::size_t m_longest = 2;
    bool m_zeroFree = true;
};

// A buffer that holds the bytes a matcher keeps plus one chunk of new bytes.
class WindowBuffer {
public:
    void Reserve(std::size_t size) {
        if (m_bytes.size() < size)
            m_bytes.resize(size);
    }
    char *Data() { return m_bytes.data(); }
    std::size_t Capacity() const { return m_bytes.size(); }

private:
    std::vector<char> m_bytes;
};

// Feeds the first `held` bytes of the buffer; afterwards the buffer begins with the bytes to keep.
// Returns the number of bytes now held.
std::size_t FeedAndKeep(PatchMatcher &matcher, WindowBuffer &buffer, std::size_t held) {
    matcher.Feed(std::string_view(buffer.Data(), held));
    const std::size_t keep = matcher.Keep();
    if (keep > 0 && keep < held)
        std::memmove(buffer.Data(), buffer.Data() + (held - keep), keep);
    return keep;
}

enum class FileVerdict { NoMatch, Match, Stopped };

constexpr std::size_t kFirstRead = std::size_t{4} << 10; // the Compressor and Distortion records of a patch
constexpr std::size_t kChunk = std::size_t{256} << 10;

bool StopRequested(const std::atomic<bool> *stop) {
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}

FileVerdict AnalyzeStream(std::istream &in, const SearchTarget &target, std::size_t chunkSize,
                          const std::atomic<bool> *stop, WindowBuffer &buffer) {
    PatchMatcher matcher(target);
    chunkSize = std::max<std::size_t>(chunkSize, 1);
    buffer.Reserve(chunkSize + matcher.Longest());
    std::size_t held = 0;
    while (!matcher.Done()) {
        if (StopRequested(stop))
            return FileVerdict::Stopped;
        in.read(buffer.Data() + held, static_cast<std::streamsize>(chunkSize));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0)
            break;
        held = FeedAndKeep(matcher, buffer, held + got);
    }
    if (in.bad())
        return FileVerdict::NoMatch;
    return matcher.Finish() ? FileVerdict::Match : FileVerdict::NoMatch;
}

// Reads the opened file from the first byte on, first one page (which holds the first records of a
// patch), then in large chunks, until the verdict is known or the file ends. The holes of a large
// sparse file (zero bytes not stored on disk) are skipped, not read, where the system tells them.
FileVerdict AnalyzeOpenedFile(const platform::InputFile &file, const SearchTarget &target,
                              const std::atomic<bool> *stop, WindowBuffer &buffer) {
    const platform::FileFacts facts = platform::FactsOf(file);
    if (!facts.regular)
        return FileVerdict::NoMatch;

    PatchMatcher matcher(target);
    buffer.Reserve(kChunk + matcher.Longest() + 1);
    constexpr std::uint64_t kNoHole = std::numeric_limits<std::uint64_t>::max();
    constexpr std::uint64_t kLargeFile = std::uint64_t{4} << 20;
    bool skipHoles = matcher.ZeroFree() && facts.size > kLargeFile && facts.sparse;
    if (facts.size > kLargeFile)
        platform::AdviseSequentialReading(file);

    std::uint64_t position = 0;
    std::uint64_t nextHole = skipHoles ? 0 : kNoHole;
    std::size_t held = 0;
    std::size_t want = kFirstRead;
    while (!matcher.Done()) {
        if (StopRequested(stop))
            return FileVerdict::Stopped;
        if (skipHoles && position >= nextHole) {
            const platform::DataStretch data = platform::NextDataStretch(file, position);
            using Kind = platform::DataStretch::Kind;
            if (data.kind == Kind::HoleToEnd) {
                if (facts.size > position) {
                    buffer.Data()[held] = '\0';
                    held = FeedAndKeep(matcher, buffer, held + 1);
                }
                break;
            }
            if (data.kind == Kind::Unknown) {
                skipHoles = false;
                nextHole = kNoHole;
            } else {
                if (data.begin > position) { // one zero byte stands for the whole hole
                    buffer.Data()[held] = '\0';
                    held = FeedAndKeep(matcher, buffer, held + 1);
                    position = data.begin;
                    if (matcher.Done())
                        break;
                }
                nextHole = data.end > position ? data.end : kNoHole;
            }
        }
        std::size_t room = std::min(want, buffer.Capacity() - held - 1);
        if (nextHole != kNoHole)
            room = static_cast<std::size_t>(std::min<std::uint64_t>(room, nextHole - position));
        const std::int64_t got = platform::ReadAt(file, buffer.Data() + held, room, position);
        if (got < 0)
            return FileVerdict::NoMatch;
        if (got == 0)
            break;
        position += static_cast<std::uint64_t>(got);
        held = FeedAndKeep(matcher, buffer, held + static_cast<std::size_t>(got));
        want = kChunk;
    }
    return matcher.Finish() ? FileVerdict::Match : FileVerdict::NoMatch;
}

FileVerdict AnalyzeFileAt(const std::filesystem::path &path, const SearchTarget &target,
                          const std::atomic<bool> *stop, WindowBuffer &buffer) {
    return AnalyzeOpenedFile(platform::OpenForReading(path), target, stop, buffer);
}

FileVerdict AnalyzeEntry(const std::filesystem::path &path, const SearchTarget &target,
                         const std::atomic<bool> *stop, WindowBuffer &buffer, platform::FileOpener &opener) {
    return AnalyzeOpenedFile(opener.Open(path), target, stop, buffer);
}

// ---- The listing --------------------------------------------------------------------------------

bool ShouldStop(const SearchOptions &options) {
    return StopRequested(options.stop);
}

constexpr bool kWindowsPaths = std::filesystem::path::preferred_separator == '\\';

// The folder's path text ready to take a name: with a separator at its end (on Windows, a bare
// drive such as "C:" takes the name right after the colon).
std::filesystem::path::string_type FolderPrefix(const std::filesystem::path &folder) {
    std::filesystem::path::string_type text = folder.native();
    const auto last = text.empty() ? 0 : text.back();
    const bool ready = last == '/' || (kWindowsPaths && (last == '\\' || last == ':'));
    if (text.empty() || !ready)
        text += std::filesystem::path::preferred_separator;
    return text;
}

// Appends the folder's entries; false when the list was full before the folder was done. Each
// path is built once, from the folder's text and the name as on disk.
bool ListFolder(const std::filesystem::path &folder, std::size_t limit, std::vector<TreeEntry> &entries) {
    auto path = FolderPrefix(folder);
    const std::size_t folderSize = path.size();
    bool complete = true;
    platform::ListFolder(folder, [&](platform::NativeName name, bool isFolder) {
        if (name.empty() || name.back() == '.') // a name ending in "." is skipped
            return true;
        if (entries.size() >= limit) {
            complete = false;
            return false;
        }
        path.resize(folderSize);
        path.append(name);
        entries.push_back({std::filesystem::path(path), isFolder});
        return true;
    });
    return complete;
}

// ---- The analysis -------------------------------------------------------------------------------

// What became of one entry of the list.
enum EntryState : std::uint8_t { kPending, kSkipped, kNoMatch, kMatch, kAbandoned };

// Wakes the reporting thread when the entry it waits for is done. A mutex and a condition variable
// rather than std::atomic::wait, whose fallback where the system has no futex can miss a wake-up in
// some standard libraries (GCC 12's on Windows). The states are stored and loaded in sequentially
// consistent order: either the worker sees the entry awaited, or the waiter sees it done.
class EntrySignal {
public:
    // Called after the entry's state was stored.
    void Done(std::size_t entry) {
        if (m_awaited.load() != entry)
            return;
        const std::lock_guard lock(m_mutex);
        m_done.notify_all();
    }

    // Returns once the entry's state is no longer pending.
    void WaitFor(std::size_t entry, const std::atomic<std::uint8_t> &state) {
        std::unique_lock lock(m_mutex);
        m_awaited.store(entry);
        m_done.wait(lock, [&] { return state.load() != kPending; });
        m_awaited.store(kNone);
    }

private:
    static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::atomic<std::size_t> m_awaited{kNone};
};

struct AnalysisRun {
    const TreeScan &scan;
    const SearchTarget &target;
    const std::atomic<bool> *stop;
    std::unique_ptr<std::atomic<std::uint8_t>[]> states;
    std::atomic<std::size_t> next{0};
    EntrySignal signal;

    static constexpr std::size_t kBlock = 16; // entries taken at once by a thread

    // Takes the next block of entries and handles it. False when none was left.
    bool WorkOneBlock(WindowBuffer &buffer, platform::FileOpener &opener) {
        const std::size_t count = scan.entries.size();
        if (StopRequested(stop))
            return false;
        const std::size_t first = next.fetch_add(kBlock, std::memory_order_relaxed);
        if (first >= count)
            return false;
        const std::size_t last = std::min(count, first + kBlock);
        for (std::size_t i = first; i < last; ++i) {
            std::uint8_t state = kAbandoned;
            const std::filesystem::path &path = scan.entries[i].path;
            if (!IsPatchFilePath(path)) {
                state = kSkipped;
            } else if (!StopRequested(stop)) {
                switch (AnalyzeEntry(path, target, stop, buffer, opener)) {
                case FileVerdict::Match:
                    state = kMatch;
                    break;
                case FileVerdict::NoMatch:
                    state = kNoMatch;
                    break;
                case FileVerdict::Stopped:
                    break;
                }
            }
            states[i].store(state);
            signal.Done(i);
        }
        return true;
    }

    void Work() {
        WindowBuffer buffer;
        platform::FileOpener opener;
        while (WorkOneBlock(buffer, opener)) {
        }
    }
};

// Reports entries in list order; the one-by-one search makes exactly these calls.
struct Reporter {
    const TreeScan &scan;
    const SearchObserver *observer;
    SearchOutcome &outcome;
    SearchProgress progress;
    std::size_t lastPatch = kNoEntry; // the last patch file reported
    std::size_t lastPatchBefore = 0;  // patch files analyzed before it

    static constexpr std::size_t kNoEntry = std::numeric_limits<std::size_t>::max();

    void Report(std::size_t index, std::uint8_t state) {
        const TreeEntry &entry = scan.entries[index];
        if (state != kSkipped) {
            lastPatch = index;
            lastPatchBefore = progress.analyzed;
            ++progress.analyzed;
            if (observer != nullptr && observer->onStatus)
                observer->onStatus(StatusOf(index));
            if (state == kMatch) {
                ++progress.found;
                outcome.results.push_back(entry.path);
                if (observer != nullptr && observer->onResult)
                    observer->onResult(entry.path);
            }
        }
        ++progress.entriesDone;
        if (observer != nullptr && observer->onProgress)
            observer->onProgress(progress);
    }

    std::string StatusOf(std::size_t index) const {
        const TreeEntry &entry = scan.entries[index];
        return index + 1 == scan.entries.size() ? LastPatchStatus(lastPatchBefore, entry.path)
                                                : AnalyzePatchStatus(entry.path);
    }
};

unsigned ThreadsFor(const SearchOptions &options, std::size_t entries) {
    unsigned threads = options.threads;
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    threads = std::min(threads, 64u);
    // Starting a thread costs more than reading a few small files.
    const std::size_t useful = std::max<std::size_t>(1, entries / (4 * AnalysisRun::kBlock));
    return static_cast<unsigned>(std::min<std::size_t>(threads, useful));
}

} // namespace

// ---- The table ----------------------------------------------------------------------------------

std::span<const SearchModule> SearchModules() {
    return kSearchModules;
}

const SearchModule *FindSearchModule(std::string_view entry) {
    for (const SearchModule &module : kSearchModules)
        if (module.entry == entry)
            return &module;
    return nullptr;
}

SearchTarget MakeSearchTarget(const SearchModule &module, std::string_view model) {
    return {std::string(module.enableId), std::string(module.typeId), std::string(model)};
}

// ---- Refusals -----------------------------------------------------------------------------------

std::string TrailingSeparatorMessage() {
    const auto separator = std::filesystem::path::preferred_separator;
    return std::string("Remove Traling '") + static_cast<char>(separator) + "' character";
}

SearchRefusal CheckSearchStart(const std::filesystem::path &folder, bool moduleChosen, bool modelChosen) {
    const auto &text = folder.native();
    if (!text.empty() && text.back() == std::filesystem::path::preferred_separator)
        return {true, TrailingSeparatorMessage(), SearchFocus::FolderField};
    std::error_code ec;
    if (text.empty() || !std::filesystem::is_directory(folder, ec))
        return {true, std::string(kSearchPathMissingMessage), SearchFocus::FolderField};
    if (!moduleChosen)
        return {true, std::string(kSelectModelMessage), SearchFocus::ModuleList};
    if (!modelChosen)
        return {true, std::string(kSelectTypeMessage), SearchFocus::ModelList};
    return {};
}

// ---- The listing --------------------------------------------------------------------------------

TreeScan ScanFolderTree(const std::filesystem::path &root, const SearchOptions &options,
                        const SearchObserver *observer) {
    TreeScan scan;
    auto list = [&](const std::filesystem::path &folder) {
        if (ListFolder(folder, options.entryLimit, scan.entries))
            return;
        scan.overflowFolders.push_back(folder);
        if (observer != nullptr && observer->onTooManyItems)
            observer->onTooManyItems(folder);
    };
    if (ShouldStop(options)) {
        scan.stopped = true;
        return scan;
    }
    list(root);
    // The list grows while it is walked; index, not iterators.
    for (std::size_t i = 0; i < scan.entries.size(); ++i) {
        if (!scan.entries[i].isFolder)
            continue;
        if (ShouldStop(options)) {
            scan.stopped = true;
            break;
        }
        const std::filesystem::path folder = scan.entries[i].path; // the list may move
        list(folder);
    }
    return scan;
}

// ---- The match test -----------------------------------------------------------------------------

bool IsPatchFilePath(const std::filesystem::path &path) {
    using String = std::filesystem::path::string_type;
    static const std::array<String, 3> kExtensions = {std::filesystem::path(".rp350p").native(),
                                                      std::filesystem::path(".rp250p").native(),
                                                      std::filesystem::path(".rp150p").native()};
    const String &text = path.native();
    return std::any_of(kExtensions.begin(), kExtensions.end(),
                       [&](const String &extension) { return text.find(extension) != String::npos; });
}

bool AnalyzePatch(std::string_view bytes, const SearchTarget &target) {
    PatchMatcher matcher(target);
    matcher.Feed(bytes);
    return matcher.Finish();
}

bool AnalyzePatchFile(const std::filesystem::path &path, const SearchTarget &target) {
    WindowBuffer buffer;
    return AnalyzeFileAt(path, target, nullptr, buffer) == FileVerdict::Match;
}

bool AnalyzePatchStream(std::istream &in, const SearchTarget &target, std::size_t chunkSize) {
    WindowBuffer buffer;
    return AnalyzeStream(in, target, chunkSize, nullptr, buffer) == FileVerdict::Match;
}

// ---- Status texts -------------------------------------------------------------------------------

std::string PathText(const std::filesystem::path &path) {
    return PathBytes(path);
}

std::string AnalyzePatchStatus(const std::filesystem::path &path) {
    return "Analyze Patch -> " + PathText(path);
}

std::string LastPatchStatus(std::size_t analyzedBefore, const std::filesystem::path &path) {
    return "Last Patch: " + std::to_string(analyzedBefore) + " -> " + PathText(path);
}

// ---- The whole search ---------------------------------------------------------------------------

SearchOutcome AnalyzeTree(const TreeScan &scan, const SearchTarget &target, const SearchOptions &options,
                          const SearchObserver *observer) {
    SearchOutcome outcome;
    outcome.entries = scan.entries.size();
    outcome.overflowFolders = scan.overflowFolders;
    auto setStatus = [&](std::string status) {
        if (observer != nullptr && observer->onStatus)
            observer->onStatus(status);
        outcome.status = std::move(status);
    };
    const std::size_t count = scan.entries.size();
    if (count == 0) {
        setStatus(std::string(kNoPatchesFoundStatus));
        return outcome;
    }
    setStatus(std::string(kStartAnalyzingStatus));
    outcome.resultsReplaced = true;

    AnalysisRun run{scan, target, options.stop, std::make_unique<std::atomic<std::uint8_t>[]>(count), {}, {}};
    Reporter reporter{scan, observer, outcome, {}, Reporter::kNoEntry, 0};
    reporter.progress.entries = count;
    reporter.progress.patchFiles = static_cast<std::size_t>(
        std::count_if(scan.entries.begin(), scan.entries.end(),
                      [](const TreeEntry &entry) { return IsPatchFilePath(entry.path); }));

    std::vector<std::thread> helpers;
    const unsigned threads = ThreadsFor(options, count);
    for (unsigned i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back([&run] { run.Work(); });
        } catch (const std::exception &) {
            break; // fewer threads: the same results, later
        }
    }

    // This thread works too, and between blocks reports every entry already done, in order.
    std::size_t reported = 0;
    auto reportReady = [&] {
        while (reported < count) {
            const std::uint8_t state = run.states[reported].load(std::memory_order_acquire);
            if (state == kPending || state == kAbandoned)
                return;
            reporter.Report(reported++, state);
        }
    };
    WindowBuffer buffer;
    platform::FileOpener opener;
    while (run.WorkOneBlock(buffer, opener))
        reportReady();
    // Every entry has been taken: wait for each in turn.
    while (reported < count && !StopRequested(options.stop)) {
        run.signal.WaitFor(reported, run.states[reported]);
        const std::uint8_t state = run.states[reported].load(std::memory_order_acquire);
        if (state == kAbandoned)
            break;
        reporter.Report(reported++, state);
    }
    for (std::thread &helper : helpers)
        helper.join();
    reportReady();

    outcome.analyzed = reporter.progress.analyzed;
    outcome.stopped = reported < count;
    if (outcome.stopped) {
        if (reporter.lastPatch != Reporter::kNoEntry)
            outcome.status = reporter.StatusOf(reporter.lastPatch);
    } else if (reporter.progress.analyzed == 0) {
        setStatus(std::string(kNoPatchesFoundStatus));
    } else {
        outcome.status = reporter.StatusOf(reporter.lastPatch);
    }
    return outcome;
}

SearchOutcome RunPatchSearch(const std::filesystem::path &root, const SearchTarget &target,
                             const SearchOptions &options, const SearchObserver *observer) {
    if (observer != nullptr && observer->onStatus)
        observer->onStatus(kSearchingStatus);
    const TreeScan scan = ScanFolderTree(root, options, observer);
    if (scan.stopped) {
        SearchOutcome outcome;
        outcome.status = std::string(kSearchingStatus);
        outcome.entries = scan.entries.size();
        outcome.overflowFolders = scan.overflowFolders;
        outcome.stopped = true;
        return outcome;
    }
    return AnalyzeTree(scan, target, options, observer);
}

} // namespace patchlens
