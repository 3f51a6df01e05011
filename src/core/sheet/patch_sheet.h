#pragma once
// The printed patch sheet as data: one landscape page of texts and boxes in the units of a
// 600-dpi page (x to the right, y downwards from the printable area's top-left corner). A
// renderer scales the whole page to the device, so that it has the same size on paper at any
// resolution.

#include <cstddef>
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
    int height = 0; // the font's height in sheet units; 0: the font's own (the location font may be smaller)
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

// The right edge of the page's content: the blocks span x from 20 to 5710.
inline constexpr int kSheetRight = 5710;
// The location line's texts lie between y = 400 and the first row of blocks at y = 600.
inline constexpr int kLocationTop = 400;
inline constexpr int kBlocksTop = 600;
// "Courier New" (and its metric-compatible substitutes) advances 0.6 of its height a character
// and needs 1.15 of its height a line; the location texts are laid out by these two figures.
inline constexpr double kLocationAdvance = 0.601;
inline constexpr double kLocationLineHeight = 1.15;

// What the sheet shows: the panels as the viewer shows them, the patch name field, the patch
// number field and the loaded file's path. Texts are bytes, each shown by the display rule on its
// own (a Windows-1252 name beside a UTF-8 number reads right). A page of a collection also
// carries "page k of n" on the footer line, at its right.
struct SheetInput {
    const ModulePanels &panels;
    std::string_view nameField;
    std::string_view numberField;
    std::string_view path;
    std::size_t page = 0;      // from 1; 0: a page on its own, without a page number
    std::size_t pageCount = 0; // the pages of the collection
};

// Where the footer line shows "page k of n".
inline constexpr int kSheetFooterTop = 4250;
inline constexpr int kSheetPageNumberLeft = 5000;

// The page. The location line ("Patch Location: " and the path) keeps the whole path readable:
// when it is too wide for the page its font shrinks, down to the sheet font's size; below that the
// path is broken at its separators (inside a name only where a name alone is too wide) onto further
// lines, all above the blocks, in the largest font for which they fit. The rest of the page does
// not move.
PatchSheet BuildPatchSheet(const SheetInput &input);

// The location line as laid out: its lines, top to bottom, and the font height they share.
struct LocationLayout {
    std::vector<std::string> lines; // UTF-8
    int height = 0;
};
LocationLayout LayOutLocation(std::string_view path);

// The location font's height in units of a page of `dpi` dots per inch: 16 points enlarged by
// 1.15, to the nearest integer, an exact half going to the even neighbour (77 at 300, 153 at 600).
int LocationFontHeight(int dpi);

// The patch number of a collection's page `page` (from 0) when the first page has `first`: one or two
// digits count up page by page, shown with two digits at least ("01" .. "99", then "100", so that
// no two pages of a collection share a number); anything else stays as given on every page.
std::string CollectionPatchNumber(std::string_view first, std::size_t page);

// Whether a module counts as on for the sheet: the first row of blocks by the list's enabling,
// the others by the lamp.
bool CountsAsOn(const ModulePanels &panels, Module module);

} // namespace patchlens
