#pragma once
// What the viewer shows, written as text: a JSON record per file for programs, and a
// printable summary laid out like the device's front panel for people.

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

#include "patch/decode.h"

namespace patchlens {

// One dumped file: the path as given, the decode verdict, and the viewer state after it.
struct DumpedFile {
    std::string path; // bytes as given on the command line
    bool refused = false;
    std::string message; // the refusal, lines joined by CR LF
};

// The bytes for a terminal, by the display rule, with every character that a terminal would act on
// instead of showing shown visibly: C0 and C1 controls and DEL as "\x1b", and the characters that
// reorder or break lines (bidirectional overrides and isolates, line and paragraph separators) as
// "\u202e". A file name or a patch name can then neither recolour, clear or retitle the terminal
// nor hide part of a line.
std::string VisibleText(std::string_view bytes);

// Characters (not bytes) of a UTF-8 text: the columns it takes on a terminal, for alignment.
std::size_t DisplayWidth(std::string_view utf8);

// Says on `err` why a file loaded by `outcome` does not stand for a patch: "<path>: cannot read
// file: <reason>", or the path and the refusal, each of its lines on a line of its own. Returns
// true when it said something (the file was unreadable or refused), false for a usable file.
bool ReportLoadTrouble(std::ostream &err, std::string_view path, const Status &outcome);

// A JSON string literal of the bytes, shown by the display rule (UTF-8 when valid, else
// Windows-1252).
std::string JsonString(std::string_view bytes);

// `{"path": ..., "refused": ..., ["message": ...,] "name": ..., "modules": [...]}`
void WriteJsonRecord(std::ostream &out, const DumpedFile &file, const Patch &patch);

// The printable summary of one file: the path, the name, and the fifteen panels in the three
// rows of the front panel, each caption marked [x] when its lamp is on and [ ] when off.
void WriteTextSummary(std::ostream &out, const DumpedFile &file, const Patch &patch);

} // namespace patchlens
