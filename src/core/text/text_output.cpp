#include "text/text_output.h"

#include <algorithm>
#include <cstdio>

#include "text/display_text.h"

namespace patchlens {

std::size_t DisplayWidth(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(
        utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string VisibleText(std::string_view bytes) {
    const std::string text = ToDisplayUtf8(bytes);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto [code, length] = *DecodeUtf8(text, i); // well-formed: the display rule made it so
        const bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F);
        const bool reorders = code == 0x061C || code == 0x200E || code == 0x200F ||
                              (code >= 0x2028 && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
        if (control || reorders) {
            char escaped[12];
            std::snprintf(escaped, sizeof escaped, control ? "\\x%02x" : "\\u%04x",
                          static_cast<unsigned>(code));
            out += escaped;
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out;
}

std::string JsonString(std::string_view bytes) {
    const std::string text = ToDisplayUtf8(bytes);
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x",
                              static_cast<unsigned>(static_cast<unsigned char>(c)));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

} // namespace patchlens
