#pragma once
// Two patches side by side: for each of the fifteen modules, its lamp and its display lines in A and
// in B, each marked equal or different. A comparison never carries state from the patch on screen:
// each side is decoded from scratch, as if it were the first file the viewer loaded.

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "panels/module_panels.h"
#include "patch/decode.h"

namespace patchlens {

// One file decoded into a viewer state of its own.
struct FreshPatch {
    Patch patch;         // path, name and panels as the viewer would show them after this one load
    Status outcome;      // the load's: why the file was not read, or why it was refused
    // True when the file was read and accepted: only then does it stand for a patch.
    bool usable() const { return outcome.ok(); }
};

// Reads and decodes the file into a fresh Patch, as if it were the first file loaded.
FreshPatch DecodeFresh(const std::filesystem::path &path);

// Decodes bytes already in memory (a file's bytes as they were read, say) into a fresh Patch with
// the given path, as if they were the first file loaded; nothing is read from the disk.
FreshPatch DecodeFresh(const std::filesystem::path &path, std::string bytes);

// The lines a comparison looks at: lines 0 to 5 of a panel (the Pickup's one line), as the library
// and the sheet read them (a missing line is the empty text).
inline constexpr std::size_t kComparedLines = 6;

struct ComparedLine {
    std::string a; // bytes, as the panel holds them
    std::string b;
    bool differs = false;
};

struct ComparedModule {
    Module module = Module::Pickup;
    bool lampA = false;
    bool lampB = false;
    bool enabledA = true; // whether the panel's list shows its lines greyed (false) or not
    bool enabledB = true;
    std::vector<ComparedLine> lines; // kComparedLines of them; the Pickup: 1
    bool lampDiffers() const { return lampA != lampB; }
    bool differs = false; // the lamp, the enabling or any line differs
};

struct PatchComparison {
    std::array<ComparedModule, kModuleCount> modules; // in panel order
    bool differs = false;                             // some module differs
};

// Compares what the two decoded patches show, module by module in panel order.
PatchComparison ComparePatches(const Patch &a, const Patch &b);

} // namespace patchlens
