#include "text/byte_text.h"

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

std::size_t CountCrLf(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = text.find(kCrLf); at != std::string_view::npos; at = text.find(kCrLf, at + 2))
        ++count;
    return count;
}

std::string_view ItemOf(std::string_view list, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t end = list.find(kCrLf, start);
        if (end == std::string_view::npos)
            return {};
        start = end + 2;
    }
    const std::size_t end = list.find(kCrLf, start);
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
