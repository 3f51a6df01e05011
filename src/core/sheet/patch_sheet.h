#pragma once
// The printed patch sheet as data: one landscape page of texts and boxes in the units of a
// 600-dpi page (x to the right, y downwards from the printable area's top-left corner). A
// renderer scales the whole page to the device, so that it has the same size on paper at any
// resolution.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "panels/module_panels.h"

namespace patchlens {

inline constexpr int kSheetDpi = 600;
inline constexpr std::string_view kSheetDocumentName = "Digitech RP350 Patch";
inline constexpr std::string_view kSheetFooter =
    "Printed with Patchlens 1.21 - a viewer for DigiTech RP350 patches";

struct SheetColour {
    std::uint8_t red, green, blue;
    bool operator==(const SheetColour &) const = default;
};

inline constexpr SheetColour kSheetBlack{0, 0, 0};
inline constexpr SheetColour kSheetWhite{255, 255, 255};
inline constexpr SheetColour kSheetGrey{177, 177, 177};

enum class SheetFont {
    Sheet,    // the device's default face, sized so that rows fit their boxes
    Location, // "Courier New" bold, 16 points enlarged by 1.15
};

// A text drawn with its top-left corner at (x, y), its cell filled with the background colour.
struct SheetText {
    int x = 0;
    int y = 0;
    SheetFont font = SheetFont::Sheet;
    SheetColour colour = kSheetBlack;
    SheetColour background = kSheetWhite;
    std::string text; // bytes, shown by the display rule
};

// A one-pixel black outline from (left, top) to (right, bottom), not filled.
struct SheetBox {
    int left, top, right, bottom;
    bool operator==(const SheetBox &) const = default;
};

struct PatchSheet {
    std::vector<SheetText> texts; // in drawing order
    std::vector<SheetBox> boxes;
};

// What the sheet shows: the panels as the viewer shows them, the patch name field, the patch
// number field and the loaded file's path.
struct SheetInput {
    const ModulePanels &panels;
    std::string_view nameField;
    std::string_view numberField;
    std::string_view path;
};

PatchSheet BuildPatchSheet(const SheetInput &input);

// The location font's height in units of a page of `dpi` dots per inch: 16 points enlarged by
// 1.15, to the nearest integer, an exact half going to the even neighbour (77 at 300, 153 at 600).
int LocationFontHeight(int dpi);

// Whether a module counts as on for the sheet: the first row of blocks by the list's enabling,
// the others by the lamp.
bool CountsAsOn(const ModulePanels &panels, Module module);

} // namespace patchlens
