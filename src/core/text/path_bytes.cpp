#include "text/path_bytes.h"

#ifdef _WIN32
#include "text/display_text.h"
#endif

namespace patchlens {

#ifdef _WIN32
namespace {

// UTF-16 to UTF-8, a lone surrogate encoded as the code point it is.
std::string Utf16ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char16_t>(text[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            const char32_t low = static_cast<char16_t>(text[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(out, c);
    }
    return out;
}

// Well-formed UTF-8 to UTF-16.
std::wstring Utf8ToUtf16(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        // A malformed byte, should one come, stays one character.
        const auto [c, length] =
            DecodeUtf8(utf8, i).value_or(DecodedChar{static_cast<unsigned char>(utf8[i]), 1});
        i += length;
        if (c < 0x10000) {
            out += static_cast<wchar_t>(c);
        } else {
            out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

} // namespace

std::string PathBytes(const std::filesystem::path &path) {
    return Utf16ToUtf8(path.native());
}

std::filesystem::path PathFromBytes(std::string_view bytes) {
    return std::filesystem::path(Utf8ToUtf16(ToDisplayUtf8(bytes)));
}
#else
std::string PathBytes(const std::filesystem::path &path) {
    return path.native();
}

std::filesystem::path PathFromBytes(std::string_view bytes) {
    return std::filesystem::path(std::string(bytes));
}
#endif

} // namespace patchlens
