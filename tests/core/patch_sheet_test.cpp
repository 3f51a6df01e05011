// The printed sheet as data: captions, header, colours by module state, rows and boxes.

#include <gtest/gtest.h>

#include <algorithm>

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

// Each typed or stored text of the header is shown by the display rule on its own, so that a
// Windows-1252 number beside a UTF-8 name (or the other way round) reads right.
TEST(PatchSheet, HeaderLocationAndFooter) {
    const ModulePanels panels = AllOnPanels();
    const PatchSheet sheet = BuildPatchSheet({panels, "Caf\xE9", "\xE9", "/home/me/patches/Clean.rp350p"});
    EXPECT_EQ(TextOf(sheet, 20, 300), "Patch Name: Caf\xC3\xA9    PATCH NUMBER: \xC3\xA9");
    EXPECT_EQ(BuildPatchSheet({panels, "Caf\xC3\xA9", "01", "p"}).texts.front().text,
              "Patch Name: Caf\xC3\xA9    PATCH NUMBER: 01");
    EXPECT_EQ(TextOf(sheet, 20, 400), "Patch Location: /home/me/patches/Clean.rp350p");
    EXPECT_EQ(TextAt(sheet, 20, 400)->font, SheetFont::Location);
    EXPECT_EQ(TextOf(sheet, 20, 4250).rfind("Printed with Patchlens 1.21", 0), 0u);
    EXPECT_EQ(TextAt(sheet, 20, 300)->colour, kSheetBlack);
    EXPECT_EQ(TextAt(sheet, 20, 300)->background, kSheetWhite);
    EXPECT_EQ(TextOf(sheet, kSheetPageNumberLeft, 4250), "(nothing)"); // a page on its own has no number
    const PatchSheet page = BuildPatchSheet({panels, "Clean", "01", "p", 12, 500});
    EXPECT_EQ(TextOf(page, kSheetPageNumberLeft, 4250), "page 12 of 500");
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

// Fifteen boxes, each under its caption (white on black), one row a line; a missing line prints
// as an empty row.
TEST(PatchSheet, CaptionsBoxesAndRows) {
    ModulePanels panels = AllOnPanels();
    panels[IndexOf(Module::Delay)].list.lines = {"ALGDLY"};
    const PatchSheet sheet = BuildPatchSheet({panels, "x", "01", "p"});
    EXPECT_EQ(std::count_if(sheet.texts.begin(), sheet.texts.end(),
                            [](const SheetText &t) {
                                return t.background == kSheetBlack && t.colour == kSheetWhite;
                            }),
              15);
    EXPECT_EQ(TextOf(sheet, 2000, 3000), "Equalizer B___");
    EXPECT_EQ(TextOf(sheet, 3000, 3000), "(nothing)"); // the third row has no block in the middle
    ASSERT_EQ(sheet.boxes.size(), 15u);
    EXPECT_EQ(sheet.boxes[0], (SheetBox{20, 600, 710, 850})); // the Pickup's short box
    EXPECT_EQ(sheet.boxes[1], (SheetBox{1000, 600, 1710, 1350}));
    EXPECT_EQ(sheet.boxes[14], (SheetBox{5000, 3000, 5710, 3750}));
    EXPECT_EQ(TextOf(sheet, 30, 735), "SC->HB");
    EXPECT_EQ(TextOf(sheet, 30, 835), "(nothing)"); // the Pickup has one row
    EXPECT_EQ(TextOf(sheet, 1010, 735), "MODEL");
    EXPECT_EQ(TextOf(sheet, 1010, 1235), "KNOB5= 5");
    EXPECT_EQ(TextOf(sheet, 4010, 3135 + 300), ""); // an empty line is an empty row
    EXPECT_EQ(TextOf(sheet, 3010, 1935), "ALGDLY");
    for (int row = 1; row < 6; ++row) {
        EXPECT_EQ(TextOf(sheet, 3010, 1935 + 100 * row), "");
    }
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

// A path too long for one line in the location font shrinks the font, then breaks at separators;
// every text stays on the page above the blocks and together they hold the whole path.
TEST(PatchSheet, TheWholePathStaysReadableAboveTheBlocks) {
    const ModulePanels panels = AllOnPanels();
    const std::string oneLongName(300, 'n');
    for (const std::string &path :
         {std::string("/home/me/Clean.rp350p"),
          std::string("/home/guitarist/patches/live/2026/Clean Lead.rp350p"),
          "/home/me/" + std::string(60, 'x') + "/Clean.rp350p", "/mnt/" + oneLongName + "/Clean.rp350p", [] {
              std::string deep;
              for (int i = 0; i < 40; ++i)
                  deep += "/folder" + std::to_string(i);
              return deep + "/Caf\xE9.rp350p"; // a Windows-1252 name, shown by the display rule
          }()}) {
        const PatchSheet sheet = BuildPatchSheet({panels, "x", "01", path});
        std::vector<const SheetText *> location;
        for (const SheetText &text : sheet.texts)
            if (text.font == SheetFont::Location)
                location.push_back(&text);
        ASSERT_FALSE(location.empty());
        std::string whole;
        for (const SheetText *text : location) {
            whole += text->text;
            std::size_t characters = 0;
            for (const char c : text->text)
                characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
            EXPECT_EQ(text->x, 20);
            EXPECT_EQ(text->height, location.front()->height);
            EXPECT_LE(characters * kLocationAdvance * text->height, kSheetRight - 20) << path;
            EXPECT_GE(text->y, kLocationTop);
            EXPECT_LE(text->y + kLocationLineHeight * text->height, kBlocksTop) << path;
            if (text != location.back() && path.find(oneLongName) == std::string::npos) {
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
