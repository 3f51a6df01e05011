#pragma once
// The pieces the texts written for people and programs are made of (the command line's dumps, the
// collection's exports): file bytes shown safely on a terminal, their width there, and JSON values.

#include <cstddef>
#include <string>
#include <string_view>

namespace patchlens {

// The bytes for a terminal, by the display rule, with every character that a terminal would act on
// instead of showing shown visibly: C0 and C1 controls and DEL as "\x1b", and the characters that
// reorder or break lines (bidirectional overrides and isolates, line and paragraph separators) as
// "\u202e". A file name or a patch name can then neither recolour, clear or retitle the terminal
// nor hide part of a line.
std::string VisibleText(std::string_view bytes);

// Characters (not bytes) of a UTF-8 text: the columns it takes on a terminal, for alignment.
std::size_t DisplayWidth(std::string_view utf8);

// A JSON string literal of the bytes, shown by the display rule (UTF-8 when valid, else
// Windows-1252).
std::string JsonString(std::string_view bytes);

// `true` or `false`.
inline const char *JsonBool(bool value) {
    return value ? "true" : "false";
}

} // namespace patchlens
