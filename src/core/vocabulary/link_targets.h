#pragma once
// The parameters the Expression pedal and the two LFOs can be assigned to: the display name a
// patch file writes for the assignment, and the device label the front panel shows for it.

#include <span>
#include <string_view>

#include "panels/panel_list.h"
#include "patch/patch_text.h"
#include "vocabulary/model_catalogue.h"

namespace patchlens {

struct LinkTarget {
    std::string_view displayName;
    std::string_view deviceLabel;
};

// The 156 link targets in the device's order; display names are unique.
std::span<const LinkTarget> LinkTargetTable();

// The device label of the first row whose display name equals `text` (whole text, exact);
// `text` itself when no row names it.
std::string_view LookupLinkTarget(std::string_view text);

// Adds the knob lines of the module's five knobSlots to its panel: LABEL "= " value, with the
// module's value edits and placement (appended, or for Reverb and the LFOs inserted at the
// slot's line, which is refused when an earlier line is missing). Expression also gets its
// "PEDAL MIN" and "PEDAL MAX" headings; Expression and the LFOs stop at once when line 0 is
// "NOLINK". A knob the patch lacks adds no line.
void ShowKnobLines(const PatchText &text, std::string_view context, const KnobList &knobs, PanelList &list);

} // namespace patchlens
