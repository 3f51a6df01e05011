#pragma once
// The device's abbreviations of effect models and cabinets, and how a module's model parameter
// becomes the first line(s) of its panel.

#include <optional>
#include <string>
#include <string_view>

#include "panels/panel_list.h"
#include "patch/patch_text.h"

namespace patchlens {

inline constexpr std::string_view kCabinetParameterId = "2560";

// The id of the parameter whose value text names the module's model (for Expression and the
// LFOs: the assigned parameter); empty for a context without one.
std::string_view ModelParameterId(std::string_view context);

// The abbreviation of a model value text for a module. Equality groups match the whole text
// exactly. The amplifier group matches a contained pattern; of several, the longest pattern
// wins and equal lengths go to the earlier row. Nothing when no row matches.
std::optional<std::string_view> AbbreviateModel(std::string_view context, std::string_view valueText);

// The abbreviation of a cabinet value text: the first cabinet row that matches, in table order.
std::optional<std::string_view> AbbreviateCabinet(std::string_view valueText);

// True for the abbreviations of acoustic and direct amplifiers ("ACDRED", "ACJMBO", "DIRECT").
bool IsAcousticOrDirect(std::string_view abbreviation);

// Clears the panel and puts in the model line (for the amplifiers also the cabinet line at
// position 1; for Expression and the LFOs the device label of the assigned parameter).
// Returns the module's model text: the model parameter's value text, empty when not found.
std::string ShowModelLine(const PatchText &text, std::string_view context, PanelList &list);

// For an acoustic or direct amplifier: no gain line, and the level line named "LEVEL".
void ApplyAcousticDirectRule(PanelList &list);

} // namespace patchlens
