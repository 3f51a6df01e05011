#include "text/byte_text.h"

#include <bit>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PATCHLENS_SSE2 1
#else
#define PATCHLENS_SSE2 0
#endif

namespace patchlens {

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
} // namespace

std::string_view TrimBlanks(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with) {
    std::string out;
    if (what.empty())
        return std::string(text);
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, from)) {
        out.append(text.substr(from, at - from));
        out.append(with);
        from = at + what.size();
    }
    out.append(text.substr(from));
    return out;
}

std::size_t FindPair(std::string_view text, std::size_t from, char first, char second) {
    if (text.size() < 2 || from > text.size() - 2)
        return std::string_view::npos;
    const char *const bytes = text.data();
    const std::size_t lastStart = text.size() - 2;
    std::size_t at = from;
#if PATCHLENS_SSE2
    // The sixteen positions from `at` whose byte is `first` and whose next byte is `second`.
    const __m128i firsts = _mm_set1_epi8(first), seconds = _mm_set1_epi8(second);
    for (; at + 17 <= text.size(); at += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + at));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + at + 1));
        const int hits =
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, firsts), _mm_cmpeq_epi8(next, seconds)));
        if (hits != 0)
            return at + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(hits)));
    }
#endif
    for (; at <= lastStart; ++at)
        if (bytes[at] == first && bytes[at + 1] == second)
            return at;
    return std::string_view::npos;
}

std::size_t FindCrLf(std::string_view text, std::size_t from) {
    return FindPair(text, from, '\r', '\n');
}

std::size_t FindCrLfs(std::string_view text, std::size_t from, std::span<std::size_t> ends) {
    std::size_t count = 0;
    if (ends.empty() || text.size() < 2 || from > text.size() - 2)
        return count;
    const char *const bytes = text.data();
    // A CR LF at p is an LF at p + 1 with a CR before it: the LFs from `from` + 1 are looked for
    // with one comparison, and each one's CR checked (two CR LFs never overlap, so every one found
    // is the next line end).
    std::size_t at = from + 1;
#if PATCHLENS_SSE2
    const __m128i lfs = _mm_set1_epi8('\n');
    const auto take = [&](std::uint32_t hits) { // the LFs of a block from `at`; true when `ends` is full
        for (; hits != 0; hits &= hits - 1) {
            const std::size_t lf = at + static_cast<std::size_t>(std::countr_zero(hits));
            if (bytes[lf - 1] != '\r')
                continue;
            ends[count++] = lf - 1;
            if (count == ends.size())
                return true;
        }
        return false;
    };
    const auto lfsOf = [&](std::size_t block) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + block));
        return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(here, lfs)));
    };
    for (; at + 32 <= text.size(); at += 32)
        if (take(lfsOf(at) | lfsOf(at + 16) << 16))
            return count;
    for (; at + 16 <= text.size(); at += 16)
        if (take(lfsOf(at)))
            return count;
#endif
    for (; at < text.size(); ++at)
        if (bytes[at] == '\n' && bytes[at - 1] == '\r') {
            ends[count++] = at - 1;
            if (count == ends.size())
                return count;
        }
    return count;
}

std::size_t CountCrLf(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = FindCrLf(text, 0); at != std::string_view::npos; at = FindCrLf(text, at + 2))
        ++count;
    return count;
}

std::string_view ItemOf(std::string_view list, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t end = FindCrLf(list, start);
        if (end == std::string_view::npos)
            return {};
        start = end + 2;
    }
    const std::size_t end = FindCrLf(list, start);
    return list.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

std::string_view FieldAt(std::string_view text, char delimiter, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t end = text.find(delimiter, start);
        if (end == std::string_view::npos)
            return {};
        start = end + 1;
    }
    const std::size_t end = text.find(delimiter, start);
    return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

} // namespace patchlens
