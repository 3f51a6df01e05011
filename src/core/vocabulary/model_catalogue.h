#pragma once
// The effect model catalogue: for each module (but the Pickup) the parameter that tells whether
// it is in use, and for each model the five knobs the device's front panel shows with their
// device labels. Labels stay exactly as the device writes them, underscores and all.

#include <array>
#include <span>
#include <string_view>

namespace patchlens {

// A knob slot: a knob entry "id,LABEL" (a label may be empty, as in "770,") or the empty text.
struct KnobSlot {
    std::string_view entry;

    bool empty() const { return entry.empty(); }
    // The text before the first comma.
    std::string_view id() const;
    // The text between the first and the second comma, or to the end without a second comma.
    std::string_view label() const;
};

struct KnobList {
    std::string_view activityId; // empty: no activity parameter (the empty knob list)
    std::array<KnobSlot, 5> knobSlots{};
};

struct CatalogueModel {
    std::string_view name; // as the patch file writes it in the model parameter's value text
    std::array<std::string_view, 5> knobSlots;
};

struct CatalogueEntry {
    std::string_view context;
    std::string_view activityId;
    bool fixedLayout; // one layout whatever the model; then `models` holds that one layout
    std::span<const CatalogueModel> models;
};

// The fourteen entries, Wah to LFO 2.
std::span<const CatalogueEntry> ModelCatalogue();

// The knob list of the module named by `context` for the model named by `modelText` (matched
// exactly, whole text). Unknown contexts, and unknown models of per-model modules, give the
// empty knob list.
KnobList BuildKnobList(std::string_view context, std::string_view modelText);

} // namespace patchlens
