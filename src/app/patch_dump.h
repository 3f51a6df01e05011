#pragma once
// What the viewer shows, written as text: a JSON record per file for programs, and a
// printable summary laid out like the device's front panel for people.

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

// `{"path": ..., "refused": ..., ["message": ...,] "name": ..., "modules": [...]}`
void WriteJsonRecord(std::ostream &out, const DumpedFile &file, const Patch &patch);

// The printable summary of one file: the path, the name, and the fifteen panels in the three
// rows of the front panel, each caption marked [x] when its lamp is on and [ ] when off.
void WriteTextSummary(std::ostream &out, const DumpedFile &file, const Patch &patch);

} // namespace patchlens
