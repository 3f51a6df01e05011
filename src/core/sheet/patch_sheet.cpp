#include "sheet/patch_sheet.h"

namespace patchlens {

namespace {

enum class OnWhen { ListEnabled, LampOn };

struct Block {
    Module module;
    std::string_view caption;
    int x, y;
    OnWhen onWhen;
};

constexpr Block kBlocks[] = {
    {Module::Pickup, "Pickup_______", 20, 600, OnWhen::ListEnabled},
    {Module::Wah, "Wah_________", 1000, 600, OnWhen::ListEnabled},
    {Module::Compressor, "Compressor__", 2000, 600, OnWhen::ListEnabled},
    {Module::Distortion, "Distortion____", 3000, 600, OnWhen::ListEnabled},
    {Module::AmplifierA, "Amplifier A___", 4000, 600, OnWhen::ListEnabled},
    {Module::EqualizerA, "Equalizer A___", 5000, 600, OnWhen::ListEnabled},
    {Module::NoiseGate, "Noise Gate____", 1000, 1800, OnWhen::LampOn},
    {Module::ChorusFx, "Chorus/Fx____", 2000, 1800, OnWhen::LampOn},
    {Module::Delay, "Delay________", 3000, 1800, OnWhen::LampOn},
    {Module::Reverb, "Reverb______", 4000, 1800, OnWhen::LampOn},
    {Module::Expression, "Expression__", 5000, 1800, OnWhen::LampOn},
    {Module::AmplifierB, "Amplifier B___", 1000, 3000, OnWhen::LampOn},
    {Module::EqualizerB, "Equalizer B___", 2000, 3000, OnWhen::LampOn},
    {Module::Lfo1, "LFO 1_______", 4000, 3000, OnWhen::LampOn},
    {Module::Lfo2, "LFO 2_______", 5000, 3000, OnWhen::LampOn},
};

constexpr int kBoxWidth = 710;
constexpr int kBoxHeight = 750;
constexpr int kRowIndent = 10;
constexpr int kFirstRow = 135;
constexpr int kRowPitch = 100;
constexpr std::size_t kRows = 6;

const Block &BlockOf(Module module) {
    for (const Block &block : kBlocks)
        if (block.module == module)
            return block;
    return kBlocks[0];
}

} // namespace

int LocationFontHeight(int dpi) {
    // 16 points at `dpi` dots per inch, times 1.15: 23 * dpi / 90, rounded exactly.
    const long exact = 23L * dpi;
    const long whole = exact / 90;
    const long twiceRest = 2 * (exact % 90);
    if (twiceRest > 90 || (twiceRest == 90 && whole % 2 == 1))
        return static_cast<int>(whole + 1);
    return static_cast<int>(whole);
}

bool CountsAsOn(const ModulePanels &panels, Module module) {
    const ModulePanel &panel = panels[IndexOf(module)];
    return BlockOf(module).onWhen == OnWhen::ListEnabled ? panel.list.enabled : panel.lampOn;
}

PatchSheet BuildPatchSheet(const SheetInput &input) {
    PatchSheet sheet;
    auto text = [&](int x, int y, std::string content, SheetFont font = SheetFont::Sheet,
                    SheetColour colour = kSheetBlack, SheetColour background = kSheetWhite) {
        sheet.texts.push_back({x, y, font, colour, background, std::move(content)});
    };
    text(20, 300,
         "Patch Name: " + std::string(input.nameField) +
             "    PATCH NUMBER: " + std::string(input.numberField));
    text(20, 400, "Patch Location: " + std::string(input.path), SheetFont::Location);

    for (const Block &block : kBlocks) {
        const PanelList &list = input.panels[IndexOf(block.module)].list;
        const SheetColour colour = CountsAsOn(input.panels, block.module) ? kSheetBlack : kSheetGrey;
        text(block.x, block.y, std::string(block.caption), SheetFont::Sheet, kSheetWhite, kSheetBlack);
        if (block.module == Module::Pickup) {
            sheet.boxes.push_back({20, 600, 710, 850});
            text(30, 735, std::string(LineAt(list, 0)), SheetFont::Sheet, colour);
            continue;
        }
        sheet.boxes.push_back({block.x, block.y, block.x + kBoxWidth, block.y + kBoxHeight});
        for (std::size_t row = 0; row < kRows; ++row)
            text(block.x + kRowIndent, block.y + kFirstRow + kRowPitch * static_cast<int>(row),
                 std::string(LineAt(list, row)), SheetFont::Sheet, colour);
    }
    text(20, 4250, std::string(kSheetFooter));
    return sheet;
}

} // namespace patchlens
