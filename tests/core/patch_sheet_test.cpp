// The printed sheet as data: captions, header, colours by module state, rows and boxes.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "patch/decode.h"
#include "sheet/patch_sheet.h"
#include "text/display_text.h"

namespace patchlens {
namespace {

const SheetText *TextAt(const PatchSheet &sheet, int x, int y) {
    const auto it = std::find_if(sheet.texts.begin(), sheet.texts.end(),
                                 [&](const SheetText &t) { return t.x == x && t.y == y; });
    return it == sheet.texts.end() ? nullptr : &*it;
}

// The text printed at a position, or "(nothing)".
std::string TextOf(const PatchSheet &sheet, int x, int y) {
    const SheetText *text = TextAt(sheet, x, y);
    return text != nullptr ? text->text : "(nothing)";
}

ModulePanels AllOnPanels() {
    ModulePanels panels;
    for (ModulePanel &panel : panels) {
        panel.lampOn = true;
        panel.list.lines = {"MODEL", "KNOB1= 1", "KNOB2= 2", "", "KNOB4= 4", "KNOB5= 5"};
    }
    panels[IndexOf(Module::Pickup)].list.lines = {"SC->HB"};
    return panels;
}

// A sample's sheet, every text and box, against the sheet written out once and read by eye.
TEST(PatchSheet, ASampleMatchesItsGoldenSheet) {
    const std::filesystem::path sample = std::filesystem::path(PATCHLENS_SAMPLES) / "Screamer Blues.rp350p";
    Patch patch;
    ASSERT_TRUE(LoadPatchFile(patch, sample).ok());
    const PatchSheet sheet = BuildPatchSheet({patch.panels, patch.name, "07", "/patches/Screamer Blues"});
    auto colour = [](const SheetColour &c) {
        return c == kSheetBlack ? "black" : c == kSheetWhite ? "white" : c == kSheetGrey ? "grey" : "other";
    };
    std::string shown;
    for (const SheetText &t : sheet.texts)
        shown += std::to_string(t.x) + " " + std::to_string(t.y) +
                 (t.font == SheetFont::Location ? " location " + std::to_string(t.height) : "") + " " +
                 colour(t.colour) + " on " + colour(t.background) + ": " + t.text + "\n";
    for (const SheetBox &b : sheet.boxes)
        shown += "box " + std::to_string(b.left) + " " + std::to_string(b.top) + " " +
                 std::to_string(b.right) + " " + std::to_string(b.bottom) + "\n";
    std::ifstream in(std::filesystem::path(PATCHLENS_TEST_DATA) / "golden" / "sheet.txt", std::ios::binary);
    EXPECT_EQ(shown, std::string(std::istreambuf_iterator<char>(in), {}));
}

// Each typed or stored text of the header is shown by the display rule on its own, so that a
// Windows-1252 number beside a UTF-8 name (or the other way round) reads right; a page of a
// collection has its number.
TEST(PatchSheet, HeaderFieldsAndPageNumbers) {
    const ModulePanels panels = AllOnPanels();
    EXPECT_EQ(TextOf(BuildPatchSheet({panels, "Caf\xE9", "\xE9", "p"}), 20, 300),
              "Patch Name: Caf\xC3\xA9    PATCH NUMBER: \xC3\xA9");
    EXPECT_EQ(TextOf(BuildPatchSheet({panels, "Caf\xC3\xA9", "01", "p"}), 20, 300),
              "Patch Name: Caf\xC3\xA9    PATCH NUMBER: 01");
    EXPECT_EQ(TextOf(BuildPatchSheet({panels, "x", "01", "p"}), kSheetPageNumberLeft, 4250), "(nothing)");
    EXPECT_EQ(TextOf(BuildPatchSheet({panels, "x", "01", "p", 12, 500}), kSheetPageNumberLeft, 4250),
              "page 12 of 500");
}

TEST(PatchSheet, CollectionPatchNumbersCountUpFromTheFirst) {
    const struct {
        const char *first;
        std::size_t page;
        const char *number;
    } cases[] = {{"01", 0, "01"},  {"01", 7, "08"},    {"7", 0, "07"},  {"00", 3, "03"}, {"98", 1, "99"},
                 {"99", 1, "100"}, {"42", 500, "542"}, {"A1", 5, "A1"}, {"", 2, ""},     {"\xE9", 1, "\xE9"}};
    for (const auto &c : cases)
        EXPECT_EQ(CollectionPatchNumber(c.first, c.page), c.number) << c.first << " + " << c.page;
}

TEST(PatchSheet, OffModulesAreGreyFirstRowByEnablingOthersByLamp) {
    ModulePanels panels = AllOnPanels();
    // First row: the list's enabling decides, whatever the lamp says.
    panels[IndexOf(Module::Wah)].list.enabled = false;  // lamp on, list greyed: grey
    panels[IndexOf(Module::EqualizerA)].lampOn = false; // lamp off, list enabled: black
    // Other rows: the lamp decides, whatever the list says.
    panels[IndexOf(Module::NoiseGate)].lampOn = false;  // grey
    panels[IndexOf(Module::Lfo2)].list.enabled = false; // lamp on: black
    const PatchSheet sheet = BuildPatchSheet({panels, "x", "01", "p"});
    EXPECT_EQ(TextAt(sheet, 1010, 735)->colour, kSheetGrey);
    EXPECT_EQ(TextAt(sheet, 5010, 735)->colour, kSheetBlack);
    EXPECT_EQ(TextAt(sheet, 1010, 1935)->colour, kSheetGrey);
    EXPECT_EQ(TextAt(sheet, 5010, 3135)->colour, kSheetBlack);
    EXPECT_EQ(TextAt(sheet, 2010, 735)->colour, kSheetBlack);
    EXPECT_EQ(TextAt(sheet, 1000, 1800)->colour, kSheetWhite); // captions stay white on black
    int grey = 0;
    for (const SheetText &text : sheet.texts)
        grey += text.colour == kSheetGrey;
    EXPECT_EQ(grey, 12); // six rows each of Wah and Noise Gate
}

// A path too long for one line in the location font shrinks the font, then breaks at separators
// (inside a name only where the name alone is too wide); every text stays on the page above the
// blocks and together they hold the whole path, shown by the display rule.
TEST(PatchSheet, TheWholePathStaysReadableAboveTheBlocks) {
    const ModulePanels panels = AllOnPanels();
    const std::string longName(300, 'n');
    std::string deep;
    for (int i = 0; i < 40; ++i)
        deep += "/folder" + std::to_string(i);
    for (const std::string &path :
         {std::string("/home/me/Clean.rp350p"), "/home/me/" + std::string(60, 'x') + "/Clean.rp350p",
          "/mnt/" + longName + "/Clean.rp350p", deep + "/Caf\xE9.rp350p"}) {
        std::vector<const SheetText *> location;
        const PatchSheet sheet = BuildPatchSheet({panels, "x", "01", path});
        for (const SheetText &text : sheet.texts)
            if (text.font == SheetFont::Location)
                location.push_back(&text);
        ASSERT_FALSE(location.empty());
        std::string whole;
        for (const SheetText *text : location) {
            whole += text->text;
            const auto characters = std::count_if(text->text.begin(), text->text.end(), [](char c) {
                return (static_cast<unsigned char>(c) & 0xC0) != 0x80; // not a UTF-8 continuation byte
            });
            EXPECT_EQ(std::make_pair(text->x, text->height), std::make_pair(20, location.front()->height));
            EXPECT_LE(characters * kLocationAdvance * text->height, kSheetRight - 20) << path;
            EXPECT_GE(text->y, kLocationTop);
            EXPECT_LE(text->y + kLocationLineHeight * text->height, kBlocksTop) << path;
            if (text != location.back() && path.find(longName) == std::string::npos) {
                EXPECT_EQ(text->text.back(), '/') << path; // broken after a separator
            }
        }
        EXPECT_EQ(whole, "Patch Location: " + ToDisplayUtf8(path));
        if (path.size() < 40) {
            EXPECT_EQ(location.front()->height, LocationFontHeight(kSheetDpi)); // short paths as always
        } else if (location.size() > 1) {
            EXPECT_LE(location.front()->height, 80);
        }
    }
}

// The height rounds to the nearest whole unit, a half to the even neighbour.
TEST(PatchSheet, LocationFontHeightByResolution) {
    const std::pair<int, int> heights[] = {{300, 77}, {600, 153}, {1200, 307}, {72, 18},
                                           {180, 46}, {45, 12},   {135, 34}};
    for (const auto &[dpi, height] : heights)
        EXPECT_EQ(LocationFontHeight(dpi), height) << dpi;
}

} // namespace
} // namespace patchlens
