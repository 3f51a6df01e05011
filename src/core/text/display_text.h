#pragma once
// The one rule by which byte texts become readable characters, shared by the window and the
// command line: a text whose bytes are valid UTF-8 is shown as UTF-8; any other text is read
// byte for byte as Windows-1252, the code page the device's software writes. The five bytes
// Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters
// of the same number.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace patchlens {

// Appends the code point as UTF-8.
void AppendUtf8(std::string &out, char32_t cp);

// One character of a UTF-8 text: its code point and the number of bytes it takes.
struct DecodedChar {
    char32_t code;
    std::size_t length;
};

// The UTF-8 sequence at `at` (a position within `s`); nothing when it is malformed.
std::optional<DecodedChar> DecodeUtf8(std::string_view s, std::size_t at);

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The bytes as UTF-8 for display, by the rule above. Never fails.
std::string ToDisplayUtf8(std::string_view bytes);

// Each byte read as Windows-1252 and written as UTF-8.
std::string Windows1252ToUtf8(std::string_view bytes);

// UTF-8 text back to Windows-1252 bytes; nothing when a character has no Windows-1252 byte
// (or the input is not valid UTF-8).
std::optional<std::string> Utf8ToWindows1252(std::string_view utf8);

} // namespace patchlens
