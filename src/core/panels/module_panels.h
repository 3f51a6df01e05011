#pragma once
// The fifteen module panels as data: each a lamp (the module's on/off state) and a panel list.
// The window mirrors them; the library, the printed sheet and the command line read them.

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "panels/panel_list.h"
#include "patch/patch_text.h"
#include "vocabulary/model_catalogue.h"

namespace patchlens {

// The modules in decoding order.
enum class Module {
    Pickup,
    Wah,
    Compressor,
    Distortion,
    AmplifierA,
    EqualizerA,
    NoiseGate,
    ChorusFx,
    Delay,
    Reverb,
    Expression,
    AmplifierB,
    EqualizerB,
    Lfo1,
    Lfo2,
};
inline constexpr std::size_t kModuleCount = 15;

struct ModuleInfo {
    Module module;
    std::string_view name;    // as users read it: "Amplifier A", "Chorus/Fx", "LFO 1"
    std::string_view context; // as lookups and tables name it: "Amp A", "ChorusFx", "LFO1"
    std::string_view caption; // the lamp's caption: "AMPLIFIER A", "Chorus/Fx", "LFO 1"
};

// The fifteen modules in decoding order.
std::span<const ModuleInfo> Modules();

// The front panel: which module sits in which of its three rows and six columns; column 0 holds
// only the Pickup. The window, the printed sheet and the text dump lay their panels out by it.
inline constexpr std::size_t kPanelColumns = 6;
using PanelRow = std::array<std::optional<Module>, kPanelColumns>;
inline constexpr std::array<PanelRow, 3> kFrontPanel = {{
    {Module::Pickup, Module::Wah, Module::Compressor, Module::Distortion, Module::AmplifierA,
     Module::EqualizerA},
    {std::nullopt, Module::NoiseGate, Module::ChorusFx, Module::Delay, Module::Reverb, Module::Expression},
    {std::nullopt, Module::AmplifierB, Module::EqualizerB, std::nullopt, Module::Lfo1, Module::Lfo2},
}};
struct PanelCell {
    std::size_t row = 0, column = 0;
};
// Where the module sits on the front panel.
constexpr PanelCell CellOf(Module module) {
    for (std::size_t row = 0; row < kFrontPanel.size(); ++row)
        for (std::size_t column = 0; column < kPanelColumns; ++column)
            if (kFrontPanel[row][column] == module)
                return {row, column};
    return {};
}
const ModuleInfo &InfoOf(Module module);
constexpr std::size_t IndexOf(Module module) {
    return static_cast<std::size_t>(module);
}

struct ModulePanel {
    bool lampOn = false; // the lamp shows the on colour; every lamp is off at start
    PanelList list;      // created empty and enabled
};

using ModulePanels = std::array<ModulePanel, kModuleCount>;

// The module pass for one module other than the Pickup: model line, knob list, knob lines,
// then the on/off state.
void ShowModule(const PatchText &text, Module module, ModulePanels &panels);

// Sets the lamp (and, for some modules, the list's enabling) from the activity parameter named
// by the knob list. Without an activity parameter, or when the patch lacks it, nothing changes:
// the lamp keeps what the previous patch left.
void ShowModuleState(const PatchText &text, Module module, const KnobList &knobs, ModulePanels &panels);

// The closing pass after the last module: enabling by lamp for the Pickup, the amplifiers, the
// equalizers and the noise gate; the acoustic and direct amplifier rule; Expression and LFO
// lists greyed when unassigned ("NOLINK").
void FinishPanels(ModulePanels &panels);

} // namespace patchlens
