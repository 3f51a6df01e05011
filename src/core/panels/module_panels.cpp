#include "panels/module_panels.h"

#include <iterator>
#include <string>

#include "vocabulary/link_targets.h"
#include "vocabulary/model_naming.h"

namespace patchlens {

namespace {

constexpr ModuleInfo kModules[] = {
    {Module::Pickup, "Pickup", "", "PICKUP"},
    {Module::Wah, "Wah", "Wah", "WAH"},
    {Module::Compressor, "Compressor", "Compressor", "COMPRESSOR"},
    {Module::Distortion, "Distortion", "Distortion", "DISTORTION"},
    {Module::AmplifierA, "Amplifier A", "Amp A", "AMPLIFIER A"},
    {Module::EqualizerA, "Equalizer A", "EQ A", "EQUALIZER A"},
    {Module::NoiseGate, "Noise Gate", "NoiseGate", "NOISE GATE"},
    {Module::ChorusFx, "Chorus/Fx", "ChorusFx", "Chorus/Fx"},
    {Module::Delay, "Delay", "Delay", "Delay"},
    {Module::Reverb, "Reverb", "Reverb", "Reverb"},
    {Module::Expression, "Expression", "Expression", "Expression"},
    {Module::AmplifierB, "Amplifier B", "Amp B", "AMPLIFIER B"},
    {Module::EqualizerB, "Equalizer B", "EQ B", "EQUALIZER B"},
    {Module::Lfo1, "LFO 1", "LFO1", "LFO 1"},
    {Module::Lfo2, "LFO 2", "LFO2", "LFO 2"},
};
static_assert(std::size(kModules) == kModuleCount);

enum class StateRule { LampAndList, LampOnly, Assignment };

StateRule StateRuleOf(Module module) {
    switch (module) {
    case Module::AmplifierA:
    case Module::AmplifierB:
    case Module::EqualizerA:
    case Module::EqualizerB:
    case Module::NoiseGate:
        return StateRule::LampOnly;
    case Module::Expression:
    case Module::Lfo1:
    case Module::Lfo2:
        return StateRule::Assignment;
    default:
        return StateRule::LampAndList;
    }
}

void EnableByLamp(ModulePanel &panel) {
    panel.list.enabled = panel.lampOn;
}

void EnableUnlessUnassigned(ModulePanel &panel) {
    panel.list.enabled = LineAt(panel.list, 0) != "NOLINK";
}

} // namespace

std::span<const ModuleInfo> Modules() {
    return kModules;
}

const ModuleInfo &InfoOf(Module module) {
    return kModules[IndexOf(module)];
}

void ShowModule(const PatchText &text, Module module, ModulePanels &panels) {
    const std::string_view context = InfoOf(module).context;
    PanelList &list = panels[IndexOf(module)].list;
    const std::string modelText = ShowModelLine(text, context, list);
    const KnobList knobs = BuildKnobList(context, modelText);
    ShowKnobLines(text, context, knobs, list);
    ShowModuleState(text, module, knobs, panels);
}

void ShowModuleState(const PatchText &text, Module module, const KnobList &knobs, ModulePanels &panels) {
    if (knobs.activityId.empty())
        return;
    const std::optional<std::string> activity = FindParameter(text, InfoOf(module).context, knobs.activityId);
    if (!activity)
        return;
    ModulePanel &panel = panels[IndexOf(module)];
    switch (StateRuleOf(module)) {
    case StateRule::LampAndList:
        panel.lampOn = *activity == "On";
        panel.list.enabled = panel.lampOn;
        break;
    case StateRule::LampOnly:
        panel.lampOn = *activity == "On";
        break;
    case StateRule::Assignment:
        panel.lampOn = *activity != "None";
        break;
    }
}

void FinishPanels(ModulePanels &panels) {
    auto panel = [&](Module module) -> ModulePanel & { return panels[IndexOf(module)]; };
    EnableByLamp(panel(Module::Pickup));
    ApplyAcousticDirectRule(panel(Module::AmplifierA).list);
    ApplyAcousticDirectRule(panel(Module::AmplifierB).list);
    EnableByLamp(panel(Module::AmplifierA));
    EnableByLamp(panel(Module::AmplifierB));
    EnableByLamp(panel(Module::EqualizerA));
    EnableByLamp(panel(Module::EqualizerB));
    SelectLine(panel(Module::Expression).list, 0);
    EnableUnlessUnassigned(panel(Module::Expression));
    EnableUnlessUnassigned(panel(Module::Lfo1));
    EnableUnlessUnassigned(panel(Module::Lfo2));
    EnableByLamp(panel(Module::NoiseGate));
}

} // namespace patchlens
