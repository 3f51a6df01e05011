#include "patch/patch_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PATCHLENS_SSE2 1
#else
#define PATCHLENS_SSE2 0
#endif
// AVX2 where the processor has it, chosen when the program runs (GCC and Clang on x86-64).
#if PATCHLENS_SSE2 && defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#include <immintrin.h>
#define PATCHLENS_AVX2 1
#else
#define PATCHLENS_AVX2 0
#endif

#include "files/whole_file.h"
#include "text/byte_text.h"

namespace patchlens {

namespace {

constexpr std::string_view kIdOpen = "<ID>";
constexpr std::string_view kIdClose = "</ID>";

// The names a record's name line must contain to be taken for a context whose modules share ids.
struct NameRule {
    std::string_view context;
    std::string_view onlyForId; // the rule applies only to this id ("" = any id)
    std::string_view exceptId;  // the rule applies to every id but this one ("" = none excepted)
    std::initializer_list<std::string_view> first;
    std::initializer_list<std::string_view> second;
};

#define PL_AMP_NAMES(X)                                                                                      \
    { "Amp " X " Enable", "Amp " X " Type", "Amp " X " Gain", "Amp " X " Level" }
#define PL_EQ_NAMES(X)                                                                                       \
    {                                                                                                        \
        "EQ " X " Enable", "Pickup " X " Type", "EQ " X " Type", "EQ " X " Bass", "EQ " X " Mid",            \
            "EQ " X " Treb", "EQ " X " Mid Freq", "EQ " X " Presence"                                        \
    }
#define PL_LFO_NAMES(X)                                                                                      \
    { "LFO" X " Assign", "LFO" X " Min", "LFO" X " Max", "LFO" X " Waveform", "LFO" X " Speed" }

const NameRule kNameRules[] = {
    {"Wah", "", "", {"Wah Enable", "Wah Min", "Wah Vol. Boost", "Wah Type"}, {"Wah Min"}},
    {"Amp A", "", "2560", PL_AMP_NAMES("A"), PL_AMP_NAMES("A")},
    {"Amp A", "2560", "", {"Cab A Type"}, {"Cab A Type"}},
    {"Amp B", "", "2560", PL_AMP_NAMES("B"), PL_AMP_NAMES("B")},
    {"Amp B", "2560", "", {"Cab B Type"}, {"Cab B Type"}},
    {"EQ A", "", "", PL_EQ_NAMES("A"), PL_EQ_NAMES("A")},
    {"EQ B", "", "", PL_EQ_NAMES("B"), PL_EQ_NAMES("B")},
    {"LFO1", "", "", PL_LFO_NAMES("1"), PL_LFO_NAMES("1")},
    {"LFO2", "", "", PL_LFO_NAMES("2"), PL_LFO_NAMES("2")},
};

#undef PL_AMP_NAMES
#undef PL_EQ_NAMES
#undef PL_LFO_NAMES

const NameRule *RuleFor(std::string_view context, std::string_view id) {
    // Most lookups are made under a context without a rule, told by its first byte.
    if (context.empty() || (context[0] != 'W' && context[0] != 'A' && context[0] != 'E' && context[0] != 'L'))
        return nullptr;
    for (const NameRule &rule : kNameRules) {
        if (rule.context != context)
            continue;
        if (!rule.onlyForId.empty() && rule.onlyForId != id)
            continue;
        if (!rule.exceptId.empty() && rule.exceptId == id)
            continue;
        return &rule;
    }
    return nullptr;
}

// A rule's names grouped by their first two bytes, which they mostly share ("Amp A Enable", "Amp A
// Type", ...): each two bytes are looked for once, and every name that begins with them is compared
// wherever they occur. Names shorter than two bytes are looked for alone.
struct NameGroup {
    char first, second;
    std::vector<std::string_view> names;
};
struct NameGroups {
    std::vector<NameGroup> groups;
    std::vector<std::string_view> shortNames;
};
NameGroups GroupNames(std::initializer_list<std::string_view> names) {
    NameGroups grouped;
    for (const std::string_view name : names) {
        if (name.size() < 2) {
            grouped.shortNames.push_back(name);
            continue;
        }
        const auto group =
            std::find_if(grouped.groups.begin(), grouped.groups.end(),
                         [&](const NameGroup &g) { return g.first == name[0] && g.second == name[1]; });
        if (group != grouped.groups.end())
            group->names.push_back(name);
        else
            grouped.groups.push_back({name[0], name[1], {name}});
    }
    return grouped;
}

// The names of the rule's first (or second) occurrence, grouped once for the whole run.
const NameGroups &GroupedNames(const NameRule &rule, bool second) {
    static const std::vector<std::array<NameGroups, 2>> grouped = [] {
        std::vector<std::array<NameGroups, 2>> all;
        for (const NameRule &each : kNameRules)
            all.push_back({GroupNames(each.first), GroupNames(each.second)});
        return all;
    }();
    return grouped[static_cast<std::size_t>(&rule - kNameRules)][second ? 1 : 0];
}

// Whether the line contains any of the names.
bool NameLinePasses(std::string_view nameLine, const NameGroups &names) {
    for (const std::string_view name : names.shortNames)
        if (nameLine.find(name) != std::string_view::npos)
            return true;
    for (const NameGroup &group : names.groups)
        for (std::size_t at = FindPair(nameLine, 0, group.first, group.second); at != std::string_view::npos;
             at = FindPair(nameLine, at + 1, group.first, group.second))
            for (const std::string_view name : group.names)
                if (nameLine.size() - at >= name.size() &&
                    std::equal(name.begin() + 2, name.end(),
                               nameLine.begin() + static_cast<std::ptrdiff_t>(at + 2)))
                    return true;
    return false;
}

// A patch file spends about 160 bytes on each parameter record; the index reserves room for one
// key in this many bytes, so that a patch's keys fit at once.
constexpr std::size_t kBytesPerRecord = 128;

// The index holds positions as 32-bit numbers; a longer text is searched instead.
constexpr std::size_t kMostIndexedBytes = UINT32_MAX;

// An id of up to this many bytes is held in its code whole.
constexpr std::size_t kShortIdBytes = 7;

// The id as one number, compared at once: a short id's bytes (the first the lowest) and its length
// (so that different short ids never share a code), a longer id's hash with the top byte all ones
// (no short id's).
std::uint64_t IdCode(std::string_view id) {
    std::uint64_t code = 0;
    if (id.size() <= kShortIdBytes) {
        for (std::size_t i = 0; i < id.size(); ++i)
            code |= std::uint64_t{static_cast<unsigned char>(id[i])} << (8 * i);
        return code | std::uint64_t{id.size()} << 56;
    }
    code = 14695981039346656037u; // FNV-1a
    for (const char c : id)
        code = (code ^ static_cast<unsigned char>(c)) * 1099511628211u;
    return code | std::uint64_t{0xFF} << 56;
}

// Where a code's search in a table of 2^bits slots begins: the top bits of its Fibonacci hash.
std::size_t SlotOf(std::uint64_t code, int bits) {
    return static_cast<std::size_t>((code * 0x9E3779B97F4A7C15u) >> (64 - bits));
}

// The table has at least two slots for each id, so that a search soon meets a free one.
int TableBits(std::size_t ids) {
    return std::bit_width(2 * ids - 1);
}

// Whether the key beginning at `at` has the id `id` (free of '<'): the id's bytes follow its "<ID>"
// and its first '<' follows them.
bool KeyHasId(std::string_view bytes, std::size_t at, std::string_view id) {
    const std::size_t end = at + kIdOpen.size() + id.size();
    return end < bytes.size() && bytes[end] == '<' && bytes.substr(at + kIdOpen.size(), id.size()) == id;
}

#if PATCHLENS_AVX2
// The 'I's of the blocks of 32 bytes from the start, by AVX2; where the blocks end.
template <typename Check>
__attribute__((target("avx2"))) std::size_t CheckIsByAvx2(std::string_view bytes, Check &check) {
    const char *const b = bytes.data();
    const __m256i is = _mm256_set1_epi8('I');
    std::size_t at = 0;
    for (; at + 64 <= bytes.size(); at += 64) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(b + at));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(b + at + 32));
        auto hits = static_cast<std::uint64_t>(
                        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, is)))) |
                    static_cast<std::uint64_t>(
                        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, is))))
                        << 32;
        for (; hits != 0; hits &= hits - 1)
            check(at + static_cast<std::size_t>(std::countr_zero(hits)));
    }
    return at;
}
#endif

// Calls `found(at)` for every "<ID>" of the bytes, in text order. It looks for the 'I', which the
// bytes of a patch hold only in its tags and a few names, thirty-two bytes at a time where SSE2 is
// there (sixty-four where the processor has AVX2).
template <typename Found> void ForEachIdOpen(std::string_view bytes, Found &&found) {
    const char *const b = bytes.data();
    const std::size_t size = bytes.size();
    std::uint32_t idOpen; // "<ID>" as four bytes compared at once
    std::memcpy(&idOpen, kIdOpen.data(), 4);
    auto check = [&](std::size_t i) { // an 'I' at i
        if (i < 1 || i + 2 >= size)
            return;
        std::uint32_t here;
        std::memcpy(&here, b + i - 1, 4);
        if (here == idOpen)
            found(i - 1);
    };
    std::size_t at = 0;
#if PATCHLENS_AVX2
    static const bool hasAvx2 = __builtin_cpu_supports("avx2");
    if (hasAvx2)
        at = CheckIsByAvx2(bytes, check);
#endif
#if PATCHLENS_SSE2
    const __m128i is = _mm_set1_epi8('I');
    for (; at + 32 <= size; at += 32) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + at));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + at + 16));
        auto hits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(low, is))) |
                    static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(high, is))) << 16;
        for (; hits != 0; hits &= hits - 1)
            check(at + static_cast<std::size_t>(std::countr_zero(hits)));
    }
#endif
    for (; at < size; ++at)
        if (b[at] == 'I')
            check(at);
}

// The id behind an "<ID>": where the first '<' after it is (npos when there is none) and the id's code.
struct IdBehind {
    std::size_t close;
    std::uint64_t code;
};
IdBehind ReadIdBehind(std::string_view bytes, std::size_t idStart) {
    if constexpr (std::endian::native == std::endian::little) {
        // Eight bytes at once: the lowest '<' among them ends a short id, whose code they then are.
        if (bytes.size() - idStart >= 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + idStart, 8);
            const std::uint64_t x = word ^ 0x3C3C3C3C3C3C3C3Cu; // '<' bytes become zero
            const std::uint64_t zeros = (x - 0x0101010101010101u) & ~x & 0x8080808080808080u;
            if (zeros != 0) {
                const auto length = static_cast<std::size_t>(std::countr_zero(zeros) / 8);
                const std::uint64_t idBytes =
                    length == 0 ? 0 : word & (~std::uint64_t{0} >> (64 - 8 * length));
                return {idStart + length, idBytes | std::uint64_t{length} << 56};
            }
        }
    }
    const std::size_t close = bytes.find('<', idStart);
    if (close == std::string_view::npos)
        return {close, 0};
    return {close, IdCode(bytes.substr(idStart, close - idStart))};
}

std::string MakeKey(std::string_view id) {
    std::string key;
    key.reserve(kIdOpen.size() + id.size() + kIdClose.size());
    key.append(kIdOpen).append(id).append(kIdClose);
    return key;
}

// The name and value lines of the record whose key begins at `key` (its fourth and fifth lines, as
// a LineReader from the key reads them) and where the line behind them begins.
struct RecordLines {
    std::string_view name, value;
    std::size_t behind;
};
RecordLines ReadRecordLines(std::string_view bytes, std::size_t key) {
    std::array<std::size_t, 5> ends{};
    const std::size_t found = FindCrLfs(bytes, key, ends);
    const auto begin = [&](std::size_t line) {
        return line == 0 ? key : line - 1 < found ? ends[line - 1] + kCrLf.size() : bytes.size();
    };
    const auto lineAt = [&](std::size_t line) {
        return bytes.substr(begin(line), (line < found ? ends[line] : bytes.size()) - begin(line));
    };
    return {lineAt(3), lineAt(4), begin(5)};
}

// The line with every `open` ("<" tag ">") removed, then every `close` ("</" tag ">") removed from
// what is left. A line with no '<' has neither; a line that is `open`, bytes without '<', `close`
// holds each once (either needs a '<' to begin at), so the bytes between are what is left.
std::string StripTags(std::string_view line, std::string_view open, std::string_view close) {
    if (line.size() >= open.size() + close.size() && line.starts_with(open) && line.ends_with(close)) {
        const std::string_view between = line.substr(open.size(), line.size() - open.size() - close.size());
        if (std::find(between.begin(), between.end(), '<') == between.end())
            return std::string(between);
    } else if (line.find('<') == std::string_view::npos) {
        return std::string(line);
    }
    return ReplaceAll(ReplaceAll(line, open, ""), close, "");
}

// A value line without its blanks and <Text> tags. The usual line, "<Text>" bytes without '<'
// "</Text>", is cut with the tags' lengths known here; any other goes through StripTags.
std::string ValueOf(std::string_view line) {
    constexpr std::string_view kOpen = "<Text>", kClose = "</Text>";
    const std::string_view value = TrimBlanks(line);
    if (value.size() >= kOpen.size() + kClose.size() &&
        std::memcmp(value.data(), kOpen.data(), kOpen.size()) == 0 &&
        std::memcmp(value.data() + value.size() - kClose.size(), kClose.data(), kClose.size()) == 0) {
        const std::string_view between =
            value.substr(kOpen.size(), value.size() - kOpen.size() - kClose.size());
        if (std::find(between.begin(), between.end(), '<') == between.end())
            return std::string(between);
    }
    return StripTags(value, kOpen, kClose);
}

std::optional<std::string> Lookup(const PatchText &text, std::string_view context, std::string_view id,
                                  bool useIndex) {
    const std::string key = useIndex ? std::string() : MakeKey(id);
    const auto nextKey = [&](std::size_t from) {
        return useIndex ? text.FindKey(id, from) : std::string_view(text.bytes()).find(key, from);
    };
    const std::size_t first = nextKey(0);
    if (first == std::string_view::npos)
        return {};

    RecordLines record = ReadRecordLines(text.bytes(), first);
    if (const NameRule *rule = RuleFor(context, id);
        rule != nullptr && !NameLinePasses(record.name, GroupedNames(*rule, false))) {
        const std::size_t second = nextKey(record.behind); // behind the rejected record's value line
        if (second == std::string_view::npos)
            return {};
        record = ReadRecordLines(text.bytes(), second);
        if (!NameLinePasses(record.name, GroupedNames(*rule, true)))
            return {};
    }
    return ValueOf(record.value);
}

} // namespace

PatchText MakePatchText(std::string bytes) {
    PatchText text;
    text.m_bytes = std::move(bytes);
    const std::string_view all(text.m_bytes);
    if (all.size() > kMostIndexedBytes)
        return text;
    // Every key "<ID>" id "</ID>" with an id free of '<' is the bytes between an "<ID>" and the
    // first '<' behind it, when that '<' begins "</ID>". Each id gets a run the first time it is
    // found, entered in the table at its code's slot or the first free one after it; the table
    // doubles when it is half full. Each key is kept with its run, then laid out run by run.
    struct Found {
        std::uint32_t at, run;
    };
    std::vector<Found> found;
    found.reserve(all.size() / kBytesPerRecord + 1);
    text.m_runs.reserve(all.size() / kBytesPerRecord + 1);
    int bits = TableBits(all.size() / (2 * kBytesPerRecord) + 1); // a patch's ids fill it not half
    text.m_table.assign(std::size_t{1} << bits, 0);
    const auto grow = [&] {
        ++bits;
        text.m_table.assign(std::size_t{1} << bits, 0);
        const std::size_t mask = text.m_table.size() - 1;
        for (std::size_t run = 0; run < text.m_runs.size(); ++run) {
            std::size_t slot = SlotOf(text.m_runs[run].code, bits);
            while (text.m_table[slot] != 0)
                slot = (slot + 1) & mask;
            text.m_table[slot] = static_cast<std::uint32_t>(run + 1);
        }
    };
    ForEachIdOpen(all, [&](std::size_t at) {
        const std::size_t idStart = at + kIdOpen.size();
        const IdBehind id = ReadIdBehind(all, idStart);
        if (id.close == std::string_view::npos || all.size() - id.close < kIdClose.size() ||
            std::memcmp(all.data() + id.close, "</ID>", 5) != 0)
            return;
        const std::size_t idSize = id.close - idStart;
        const std::size_t mask = text.m_table.size() - 1;
        std::size_t slot = SlotOf(id.code, bits);
        for (;; slot = (slot + 1) & mask) {
            const std::uint32_t entry = text.m_table[slot];
            if (entry == 0) {
                text.m_runs.push_back({id.code, 0, 0});
                text.m_table[slot] = static_cast<std::uint32_t>(text.m_runs.size());
                break;
            }
            const PatchText::Run &run = text.m_runs[entry - 1];
            if (run.code == id.code &&
                (idSize <= kShortIdBytes || KeyHasId(all, found[run.begin].at, all.substr(idStart, idSize))))
                break;
        }
        const std::uint32_t run = text.m_table[slot] - 1;
        PatchText::Run &r = text.m_runs[run];
        if (r.count++ == 0)
            r.begin = static_cast<std::uint32_t>(found.size()); // its first key, while the table is made
        found.push_back({static_cast<std::uint32_t>(at), run});
        if (2 * text.m_runs.size() > text.m_table.size())
            grow();
    });
    if (found.empty()) {
        text.m_table.clear();
        return text;
    }
    // The runs laid out one after the other, each filled in text order.
    std::uint32_t next = 0;
    for (PatchText::Run &run : text.m_runs) {
        run.begin = next;
        next += run.count;
        run.count = 0;
    }
    text.m_keys.resize(found.size());
    for (const Found &f : found) {
        PatchText::Run &run = text.m_runs[f.run];
        text.m_keys[run.begin + run.count++] = f.at;
    }
    return text;
}

std::size_t PatchText::FindKey(std::string_view id, std::size_t from) const {
    if (m_bytes.size() > kMostIndexedBytes || id.find('<') != std::string_view::npos)
        return std::string_view(m_bytes).find(MakeKey(id), from);
    if (m_table.empty())
        return std::string_view::npos;
    // A short id is its code; a long one is compared with the text of its run's first key.
    const std::uint64_t code = IdCode(id);
    const int bits = std::countr_zero(m_table.size());
    for (std::size_t slot = SlotOf(code, bits);; slot = (slot + 1) & (m_table.size() - 1)) {
        if (m_table[slot] == 0)
            return std::string_view::npos;
        const Run &run = m_runs[m_table[slot] - 1];
        if (run.code != code || (id.size() > kShortIdBytes && !KeyHasId(m_bytes, m_keys[run.begin], id)))
            continue;
        const auto begin = m_keys.begin() + run.begin;
        const auto end = begin + run.count;
        const auto it = *begin >= from ? begin : std::partition_point(begin, end, [from](std::uint32_t key) {
            return key < from;
        });
        return it == end ? std::string_view::npos : *it;
    }
}

std::string PatchText::TakeBytes() && {
    std::string bytes = std::move(m_bytes);
    *this = PatchText();
    return bytes;
}

Result<PatchText> ReadPatchFile(const std::filesystem::path &path) {
    Result<std::string> file = ReadWholeFile(path, kMaxPatchFileBytes);
    if (!file.ok())
        return file.error().kind() != ErrorKind::TooLarge
                   ? file.error()
                   : Error::TooLarge(file.error().message() + " (a patch file holds tens of kilobytes)");
    return MakePatchText(std::move(file).value());
}

std::string_view LineReader::Next() {
    const std::size_t start = m_at;
    const std::size_t end = FindCrLf(m_bytes, start);
    m_at = end == std::string_view::npos ? m_bytes.size() : end + kCrLf.size();
    return m_bytes.substr(start, std::min(end, m_bytes.size()) - start);
}

Status CheckSchemaVersion(std::string_view bytes) {
    const std::string version(FieldAt(ItemOf(bytes, 1), '"', 1));
    if (kSupportedSchemaVersion < std::string_view(version))
        return Error::Refused("Wrong Schema Version!: " + version + "\r\n" + "Program Supports Version : " +
                              std::string(kSupportedSchemaVersion) + "\r\n" + "Ask for New Version.");
    return {};
}

std::string ReadPatchName(std::string_view bytes) {
    return std::string(TrimBlanks(StripTags(ItemOf(bytes, 2), "<Name>", "</Name>")));
}

std::optional<std::string> FindParameter(const PatchText &text, std::string_view context,
                                         std::string_view id) {
    return Lookup(text, context, id, true);
}

std::optional<std::string> FindParameterByScan(const PatchText &text, std::string_view context,
                                               std::string_view id) {
    return Lookup(text, context, id, false);
}

} // namespace patchlens
