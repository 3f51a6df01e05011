#pragma once
// Decoding: one Patch lives for the whole run and every load decodes into it. Whatever the
// rules leave unchanged (a lamp whose activity parameter the new patch lacks, everything after
// a refused schema version) keeps what the previous patch left.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/result.h"
#include "panels/module_panels.h"
#include "patch/patch_text.h"

namespace patchlens {

// What the patch name field shows until a patch is accepted.
inline constexpr std::string_view kNoPatchName = "------";

struct Patch {
    std::filesystem::path path; // the file last loaded (LoadPatchFile: refused or not; LoadIntoViewer: shown
                                // only); empty before the first load
    PatchText text;             // that file's bytes
    std::string name{kNoPatchName}; // the patch name field: the name of the patch last accepted
    bool loaded = false;            // true after any load, refused or not
    ModulePanels panels;
};

// The Pickup step: its single line from parameter 64 ("SC->HB", "HB->SC" or "NOTFND"), its
// lamp from parameter 65 when present.
void ShowPickup(const PatchText &text, ModulePanels &panels);

// Schema check, name, Pickup, the fourteen module passes and the closing pass. A refused schema
// version changes nothing and is Refused with the message for the caller to show.
Status DecodePatch(Patch &patch);

// The load sequence of every route into the viewer: read the whole file, record the path,
// decode, mark the patch loaded (also when it was refused). A file that cannot be read decodes as
// the empty text and gives the read's error (NotFound, Unreadable, TooLarge: why it could not be
// read); otherwise the decode's outcome.
Status LoadPatchFile(Patch &patch, const std::filesystem::path &path);

// The path as the viewer names the file: made absolute against the current folder, its "."
// components dropped; links are not resolved.
std::filesystem::path ShownPath(const std::filesystem::path &path);

// Whether the viewer opens a file dropped on it or given to it: Refused, with the reason (lines
// joined by CR LF, naming the file), when the file does not exist or its name does not end in
// ".rp350p" in any letter case. A folder is never refused here.
Status OpenRefusal(const std::filesystem::path &path);

// The viewer's load: the file's patch replaces the one in `patch` only when the file is read and
// its schema version accepted; then patch.path is its ShownPath and the patch is loaded. A file
// that is missing, unreadable, too large or refused changes nothing of `patch`: the error's message
// says why (lines joined by CR LF, naming the file).
Status LoadIntoViewer(Patch &patch, const std::filesystem::path &path);

// What the viewer says when several files are dropped at once and only `taken` is opened.
std::string OneOfManyDroppedMessage(const std::filesystem::path &taken, std::size_t dropped);

} // namespace patchlens
