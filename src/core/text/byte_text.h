#pragma once
// Helpers over 8-bit byte texts shared by every part of the core.
// Texts are never converted: every function works on bytes as they are.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace patchlens {

inline constexpr std::string_view kCrLf = "\r\n";

// A to Z as a to z; every other character (of any width) as it is. File extensions are compared
// by it, so that "Song.RP350P" is a patch file as "song.rp350p" is.
template <typename Char> constexpr Char AsciiLowerCase(Char c) {
    return c >= 'A' && c <= 'Z' ? Char(c - 'A' + 'a') : c;
}

// Removes blanks (byte 32) and tabs (byte 9) at both ends; nothing else counts as blank.
std::string_view TrimBlanks(std::string_view text);

// Every occurrence of `what` replaced by `with`, scanning left to right without overlap.
// An empty `what` leaves the text unchanged.
std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with);

// Where the two bytes `first` `second` next occur one after the other, at or after `from`; npos
// when they do not (or `from` is beyond the text). The position text.find of the two gives, found
// sixteen bytes at a time where the processor allows.
std::size_t FindPair(std::string_view text, std::size_t from, char first, char second);

// Where the first CR LF at or after `from` begins, or npos: FindPair of CR and LF.
std::size_t FindCrLf(std::string_view text, std::size_t from);

// Where the CR LFs at or after `from` begin, the first `ends.size()` of them in text order (each
// is the end of a line, as FindCrLf finds them one after the other); returns how many there are.
std::size_t FindCrLfs(std::string_view text, std::size_t from, std::span<std::size_t> ends);

// The number of CR LF pairs in the text, that is the number of items of a CR LF text list.
std::size_t CountCrLf(std::string_view text);

// Item `index` (0-based) of a CR LF text list, that is line `index` of a CR LF text: the bytes
// after the index-th CR LF (for item 0, from the start) up to the next CR LF, or to the end when
// none follows. An item past the last
// CR LF-terminated one reads as the text after the last CR LF, and past that as empty.
std::string_view ItemOf(std::string_view list, std::size_t index);

// Field `index` (0-based, as ItemOf counts) of a text split at `delimiter`: the bytes after the
// index-th delimiter (for field 0, from the start) up to the next one. A field beyond the last
// reads as empty.
std::string_view FieldAt(std::string_view text, char delimiter, std::size_t index);

} // namespace patchlens
