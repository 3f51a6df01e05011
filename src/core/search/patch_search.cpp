#include "search/patch_search.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <exception>
#include <fstream>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#if defined(__unix__) || defined(__APPLE__)
#define PATCHLENS_POSIX_FILES 1
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#define PATCHLENS_SSE2_SCAN 1
#include <emmintrin.h>
#endif

#include "text/byte_text.h"

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
#if defined(PATCHLENS_POSIX_FILES)
    return static_cast<const char *>(::memmem(hay, size, needle.data(), needle.size()));
#else
    const std::string_view text(hay, size);
    const std::size_t at = text.find(needle);
    return at == std::string_view::npos ? nullptr : hay + at;
#endif
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
                const char *candidate = hay + at + static_cast<std::size_t>(__builtin_ctz(mask));
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

#if defined(PATCHLENS_POSIX_FILES)

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

// Opens a file for reading. O_NONBLOCK: a FIFO that happens to carry a patch extension must not
// wait for a writer.
int OpenForReading(int folder, const char *name) {
    return ::openat(folder, name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

// Opens the files of a list whose entries come folder by folder: the folder of the entry before is
// kept open, and each file is opened by its name in it, sparing the walk along the whole path.
class FolderCache {
public:
    FolderCache() = default;
    FolderCache(const FolderCache &) = delete;
    FolderCache &operator=(const FolderCache &) = delete;
    ~FolderCache() {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    int Open(const std::filesystem::path &path) {
        const std::string &text = path.native();
        const std::size_t slash = text.rfind('/');
        if (slash == std::string::npos || slash == 0 || slash + 1 == text.size())
            return OpenForReading(AT_FDCWD, text.c_str());
        if (!m_known || m_folder.size() != slash || text.compare(0, slash, m_folder) != 0) {
            if (m_fd >= 0)
                ::close(m_fd);
            m_folder.assign(text, 0, slash);
            m_fd = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            m_known = true;
        }
        if (m_fd < 0)
            return OpenForReading(AT_FDCWD, text.c_str());
        return OpenForReading(m_fd, text.c_str() + slash + 1);
    }

private:
    std::string m_folder;
    int m_fd = -1;
    bool m_known = false;
};

// Reads the opened file (and closes it) with pread from the first byte on, first one page (which
// holds the first records of a patch), then in large chunks, until the verdict is known or the
// file ends. The holes of a large sparse file (zero bytes not stored on disk) are skipped, not read.
FileVerdict AnalyzeOpenedFile(int fd, const SearchTarget &target, const std::atomic<bool> *stop,
                              WindowBuffer &buffer) {
    if (fd < 0)
        return FileVerdict::NoMatch;
    const FileDescriptor file(fd);
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return FileVerdict::NoMatch;

    PatchMatcher matcher(target);
    buffer.Reserve(kChunk + matcher.Longest() + 1);
    constexpr off_t kNoHole = std::numeric_limits<off_t>::max();
    constexpr off_t kLargeFile = off_t{4} << 20;
    bool skipHoles = false;
#if defined(SEEK_DATA) && defined(SEEK_HOLE)
    skipHoles = matcher.ZeroFree() && info.st_size > kLargeFile &&
                static_cast<std::uint64_t>(info.st_blocks) * 512u < static_cast<std::uint64_t>(info.st_size);
#endif
#if defined(POSIX_FADV_SEQUENTIAL)
    if (info.st_size > kLargeFile)
        ::posix_fadvise(file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
#endif

    off_t position = 0;
    off_t nextHole = skipHoles ? 0 : kNoHole;
    std::size_t held = 0;
    std::size_t want = kFirstRead;
    while (!matcher.Done()) {
        if (StopRequested(stop))
            return FileVerdict::Stopped;
#if defined(SEEK_DATA) && defined(SEEK_HOLE)
        if (skipHoles && position >= nextHole) {
            const off_t data = ::lseek(file.Get(), position, SEEK_DATA);
            if (data < 0 && errno == ENXIO) { // nothing but a hole up to the end
                if (info.st_size > position) {
                    buffer.Data()[held] = '\0';
                    held = FeedAndKeep(matcher, buffer, held + 1);
                }
                break;
            }
            if (data < 0) {
                skipHoles = false;
                nextHole = kNoHole;
            } else {
                if (data > position) { // one zero byte stands for the whole hole
                    buffer.Data()[held] = '\0';
                    held = FeedAndKeep(matcher, buffer, held + 1);
                    position = data;
                    if (matcher.Done())
                        break;
                }
                const off_t hole = ::lseek(file.Get(), position, SEEK_HOLE);
                nextHole = hole > position ? hole : kNoHole;
            }
        }
#endif
        std::size_t room = std::min(want, buffer.Capacity() - held - 1);
        if (nextHole != kNoHole)
            room = static_cast<std::size_t>(std::min<off_t>(static_cast<off_t>(room), nextHole - position));
        const ssize_t got = ::pread(file.Get(), buffer.Data() + held, room, position);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return FileVerdict::NoMatch;
        }
        if (got == 0)
            break;
        position += got;
        held = FeedAndKeep(matcher, buffer, held + static_cast<std::size_t>(got));
        want = kChunk;
    }
    return matcher.Finish() ? FileVerdict::Match : FileVerdict::NoMatch;
}

FileVerdict AnalyzeFileAt(const std::filesystem::path &path, const SearchTarget &target,
                          const std::atomic<bool> *stop, WindowBuffer &buffer) {
    return AnalyzeOpenedFile(OpenForReading(AT_FDCWD, path.c_str()), target, stop, buffer);
}

#else

class FolderCache {};

FileVerdict AnalyzeFileAt(const std::filesystem::path &path, const SearchTarget &target,
                          const std::atomic<bool> *stop, WindowBuffer &buffer) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return FileVerdict::NoMatch;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return FileVerdict::NoMatch;
    return AnalyzeStream(in, target, kChunk, stop, buffer);
}

#endif

FileVerdict AnalyzeEntry(const std::filesystem::path &path, const SearchTarget &target,
                         const std::atomic<bool> *stop, WindowBuffer &buffer, FolderCache &folders) {
#if defined(PATCHLENS_POSIX_FILES)
    return AnalyzeOpenedFile(folders.Open(path), target, stop, buffer);
#else
    (void)folders;
    return AnalyzeFileAt(path, target, stop, buffer);
#endif
}

// ---- The listing --------------------------------------------------------------------------------

bool ShouldStop(const SearchOptions &options) {
    return StopRequested(options.stop);
}

// Appends the folder's entries; false when the list was full before the folder was done.
#if defined(PATCHLENS_POSIX_FILES)
// Read with readdir: the entry's type comes with its name, and each path is built once.
bool ListFolder(const std::filesystem::path &folder, std::size_t limit, std::vector<TreeEntry> &entries) {
    DIR *const dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return true;
    const std::unique_ptr<DIR, int (*)(DIR *)> closer(dir, ::closedir);
    std::string path = folder.native();
    if (path.empty() || path.back() != '/')
        path += '/';
    const std::size_t folderSize = path.size();
    while (const dirent *entry = ::readdir(dir)) {
        const std::size_t length = std::strlen(entry->d_name);
        if (length == 0 || entry->d_name[length - 1] == '.') // "." and ".." among them
            continue;
        if (entries.size() >= limit)
            return false;
        bool isFolder = false;
#if defined(DT_DIR) && defined(DT_UNKNOWN)
        if (entry->d_type != DT_UNKNOWN) {
            isFolder = entry->d_type == DT_DIR;
        } else
#endif
        {
            struct stat info {};
            isFolder = ::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                       S_ISDIR(info.st_mode);
        }
        path.resize(folderSize);
        path.append(entry->d_name, length);
        entries.push_back({std::filesystem::path(path), isFolder});
    }
    return true;
}
#else
bool ListFolder(const std::filesystem::path &folder, std::size_t limit, std::vector<TreeEntry> &entries) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const fs::path &path = it->path();
        const auto &text = path.native();
        // The name is what ends the path; a name ending in "." is skipped.
        if (text.empty() || text.back() == static_cast<fs::path::value_type>('.'))
            continue;
        if (entries.size() >= limit)
            return false;
        std::error_code typeError;
        const fs::file_status status = it->symlink_status(typeError);
        entries.push_back({path, !typeError && fs::is_directory(status)});
    }
    return true;
}
#endif

// ---- The analysis -------------------------------------------------------------------------------

// What became of one entry of the list.
enum EntryState : std::uint8_t { kPending, kSkipped, kNoMatch, kMatch, kAbandoned };

struct AnalysisRun {
    const TreeScan &scan;
    const SearchTarget &target;
    const std::atomic<bool> *stop;
    std::unique_ptr<std::atomic<std::uint8_t>[]> states;
    std::atomic<std::size_t> next{0};

    static constexpr std::size_t kBlock = 16; // entries taken at once by a thread

    // Takes the next block of entries and handles it. False when none was left.
    bool WorkOneBlock(WindowBuffer &buffer, FolderCache &folders) {
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
                switch (AnalyzeEntry(path, target, stop, buffer, folders)) {
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
            states[i].store(state, std::memory_order_release);
            states[i].notify_all();
        }
        return true;
    }

    void Work() {
        WindowBuffer buffer;
        FolderCache folders;
        while (WorkOneBlock(buffer, folders)) {
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
#if defined(_WIN32)
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.native();
#endif
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

    AnalysisRun run{scan, target, options.stop, std::make_unique<std::atomic<std::uint8_t>[]>(count), {}};
    Reporter reporter{scan, observer, outcome, {}, Reporter::kNoEntry, 0};
    reporter.progress.entries = count;
    reporter.progress.patchFiles = static_cast<std::size_t>(std::count_if(
        scan.entries.begin(), scan.entries.end(), [](const TreeEntry &entry) { return IsPatchFilePath(entry.path); }));

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
    FolderCache folders;
    while (run.WorkOneBlock(buffer, folders))
        reportReady();
    // Every entry has been taken: wait for each in turn.
    while (reported < count && !StopRequested(options.stop)) {
        run.states[reported].wait(kPending, std::memory_order_acquire);
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
