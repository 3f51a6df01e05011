#include "text/byte_text.h"

#include <cstring>

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

std::size_t FindCrLf(std::string_view text, std::size_t from) {
    if (from >= text.size())
        return std::string_view::npos;
    const char *const begin = text.data();
    const char *const end = begin + text.size();
    for (const char *p = begin + from;
         (p = static_cast<const char *>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)))) != nullptr;
         ++p)
        if (end - p > 1 && p[1] == '\n')
            return static_cast<std::size_t>(p - begin);
    return std::string_view::npos;
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
