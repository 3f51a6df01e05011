#pragma once
// Decoding: one Patch lives for the whole run and every load decodes into it. Whatever the
// rules leave unchanged (a lamp whose activity parameter the new patch lacks, everything after
// a refused schema version) keeps what the previous patch left.

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "panels/module_panels.h"
#include "patch/patch_text.h"

namespace patchlens {

// What the patch name field shows until a patch is accepted.
inline constexpr std::string_view kNoPatchName = "------";

struct Patch {
    std::filesystem::path path;     // the file last loaded, refused or not; empty before the first load
    PatchText text;                 // that file's bytes
    std::string name{kNoPatchName}; // the patch name field: the name of the patch last accepted
    bool loaded = false;            // true after any load, refused or not
    ModulePanels panels;
};

struct DecodeOutcome {
    bool accepted = true;
    std::string message; // the refusal to show (lines joined by CR LF); empty when accepted
};

struct LoadOutcome {
    bool readOk = true;
    std::string readError; // why the file could not be read; it then decodes as the empty text
    bool tooLarge = false; // not read because no patch file is that large
    DecodeOutcome decode;
};

// The ids every decode looks up; the decoder indexes exactly these.
std::span<const std::string_view> DecodedParameterIds();

// The Pickup step: its single line from parameter 64 ("SC->HB", "HB->SC" or "NOTFND"), its
// lamp from parameter 65 when present.
void ShowPickup(PatchText &text, ModulePanels &panels);

// Schema check, name, Pickup, the fourteen module passes and the closing pass. A refused schema
// version changes nothing and returns the message for the caller to show.
DecodeOutcome DecodePatch(Patch &patch);

// The load sequence of every route into the viewer: read the whole file, record the path,
// decode, mark the patch loaded (also when it was refused).
LoadOutcome LoadPatchFile(Patch &patch, const std::filesystem::path &path);

} // namespace patchlens
