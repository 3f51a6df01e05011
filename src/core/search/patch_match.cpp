#include "search/patch_match.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

// SSE2 is part of every x86-64 processor; elsewhere the scan below is plain C++.
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define PATCHLENS_SSE2_SCAN 1
#include <emmintrin.h>
#endif

#include "text/byte_text.h"

namespace patchlens {

using namespace match_parts;

namespace {

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

// The pattern of a parameter key "<ID>" id "</ID>": the 'I' of "<ID>" and the id's last digit,
// which only records of ids ending in the same digit share.
Pattern KeyPattern(std::string_view key) {
    constexpr std::size_t kFrame = std::string_view("<ID></ID>").size();
    if (key.size() <= kFrame)
        return {key};
    return {key, 1, key.size() - kFrame + 3};
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

// Looks for the finder's pattern in the window [start, start + window.size()), counting only
// occurrences that end at or before `limit`. True when it is (or was already) found.
// Requires from >= start.
bool Advance(Finder &finder, std::string_view window, std::uint64_t start, std::uint64_t limit) {
    if (finder.at != kNowhere)
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

ValueCheck StartCheck(Pattern key, Pattern needle) {
    ValueCheck check;
    check.key.pattern = key;
    check.needle.pattern = needle;
    return check;
}

} // namespace

// ---- One half of the rule -----------------------------------------------------------------------

namespace match_parts {

void ValueCheck::Step(std::string_view window, std::uint64_t start) {
    const std::uint64_t end = start + window.size();
    auto decide = [&](bool value, std::uint64_t at) {
        stage = Stage::Decided;
        verdict = value;
        decidedAt = at;
    };
    for (;;) {
        switch (stage) {
        case Stage::Key:
            if (!Advance(key, window, start, end))
                return;
            stage = Stage::Lines;
            lineEnd = {{kCrLf}, key.at, kNowhere};
            break;
        case Stage::Lines: {
            if (!Advance(lineEnd, window, start, end))
                return;
            const std::uint64_t next = lineEnd.at + kCrLf.size();
            lineEnd = {{kCrLf}, next, kNowhere};
            if (--linesLeft == 0) {
                stage = Stage::Value;
                needle.from = next;
                needle.at = kNowhere;
            }
            break;
        }
        case Stage::Value:
            if (Advance(lineEnd, window, start, end)) {
                decide(Advance(needle, window, start, lineEnd.at) &&
                           needle.at + needle.pattern.text.size() <= lineEnd.at,
                       lineEnd.at + kCrLf.size());
                return;
            }
            // No CR LF begins before lineEnd.from, so the line reaches at least that far.
            if (Advance(needle, window, start, end) && needle.at + needle.pattern.text.size() <= lineEnd.from)
                decide(true, needle.at + needle.pattern.text.size());
            return;
        case Stage::Decided:
            return;
        }
    }
}

bool ValueCheck::Finish(std::uint64_t total) const {
    switch (stage) {
    case Stage::Key:
        return false;
    case Stage::Lines: // the value line lies past the end: it is empty
        return needle.pattern.text.empty();
    case Stage::Value:
        return needle.at != kNowhere && needle.at + needle.pattern.text.size() <= total;
    case Stage::Decided:
        break;
    }
    return verdict;
}

std::uint64_t ValueCheck::KeepFrom() const {
    switch (stage) {
    case Stage::Key:
        return key.from;
    case Stage::Lines:
        return lineEnd.from;
    case Stage::Value:
        return needle.at == kNowhere ? std::min(lineEnd.from, needle.from) : lineEnd.from;
    case Stage::Decided:
        break;
    }
    return kNowhere;
}

} // namespace match_parts

// ---- The whole rule over a stream of windows ----------------------------------------------------

PatchMatcher::PatchMatcher(const SearchTarget &target)
    : m_enableKey("<ID>" + target.enableId + "</ID>"), m_typeKey("<ID>" + target.typeId + "</ID>"),
      m_model(target.model) {
    m_zeroFree = m_enableKey.find('\0') == std::string::npos && m_typeKey.find('\0') == std::string::npos &&
                 m_model.find('\0') == std::string::npos;
    m_longest = std::max({m_enableKey.size(), m_typeKey.size(), m_model.size(), std::size_t{2}});
    Reset();
}

void PatchMatcher::Reset() {
    m_enable = StartCheck(KeyPattern(m_enableKey), {"On"});
    m_type = StartCheck(KeyPattern(m_typeKey), {m_model});
    m_seen = 0;
    m_keep = 0;
}

bool PatchMatcher::Done() const {
    using Stage = ValueCheck::Stage;
    const bool enableDecided = m_enable.stage == Stage::Decided;
    const bool typeDecided = m_type.stage == Stage::Decided;
    return (enableDecided && !m_enable.verdict) || (typeDecided && !m_type.verdict) ||
           (enableDecided && typeDecided);
}

void PatchMatcher::Feed(std::string_view window) {
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

bool PatchMatcher::Finish() const {
    using Stage = ValueCheck::Stage;
    if (Done())
        return m_enable.stage == Stage::Decided && m_enable.verdict && m_type.stage == Stage::Decided &&
               m_type.verdict;
    return m_enable.Finish(m_seen) && m_type.Finish(m_seen);
}

std::uint64_t PatchMatcher::DecidedAt() const {
    using Stage = ValueCheck::Stage;
    if (m_enable.stage == Stage::Decided && !m_enable.verdict)
        return m_enable.decidedAt;
    if (m_type.stage == Stage::Decided && !m_type.verdict)
        return m_type.decidedAt;
    return std::max(m_enable.decidedAt, m_type.decidedAt);
}

// ---- Paths and whole texts ----------------------------------------------------------------------

bool HoldsPatchExtension(std::basic_string_view<std::filesystem::path::value_type> text) {
    using Char = std::filesystem::path::value_type;
    // ASCII, written in lower case: the same characters in every native form.
    constexpr std::string_view kExtensions[] = {".rp350p", ".rp250p", ".rp150p"};
    for (std::size_t at = text.find(Char('.')); at != text.npos; at = text.find(Char('.'), at + 1)) {
        const auto rest = text.substr(at);
        for (const std::string_view extension : kExtensions)
            if (rest.size() >= extension.size() &&
                std::equal(extension.begin(), extension.end(), rest.begin(),
                           [](char wanted, Char found) { return Char(wanted) == AsciiLowerCase(found); }))
                return true;
    }
    return false;
}

bool IsPatchFilePath(const std::filesystem::path &path) {
    return HoldsPatchExtension(path.native());
}

bool AnalyzePatch(std::string_view bytes, const SearchTarget &target) {
    PatchMatcher matcher(target);
    matcher.Feed(bytes);
    return matcher.Finish();
}

bool AnalyzePatchStream(std::istream &in, const SearchTarget &target, std::size_t chunkSize) {
    PatchMatcher matcher(target);
    chunkSize = std::max<std::size_t>(chunkSize, 1);
    std::vector<char> buffer(chunkSize + matcher.Longest());
    std::size_t held = 0;
    while (!matcher.Done()) {
        in.read(buffer.data() + held, static_cast<std::streamsize>(chunkSize));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0)
            break;
        held += got;
        matcher.Feed(std::string_view(buffer.data(), held));
        const std::size_t keep = matcher.Keep();
        if (keep > 0 && keep < held)
            std::memmove(buffer.data(), buffer.data() + (held - keep), keep);
        held = keep;
    }
    if (in.bad())
        return false;
    return matcher.Finish();
}

} // namespace patchlens
