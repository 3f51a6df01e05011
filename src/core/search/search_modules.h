#pragma once
// What can be searched: the five effect modules the search window offers, each with the ids of the
// two parameters the match test reads and the models its list offers.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace patchlens {

// Entry 0 of the module list and of the model list: nothing chosen yet.
inline constexpr std::string_view kModuleListPlaceholder = "Select Model";
inline constexpr std::string_view kSelectTypeEntry = "Select Type";

// One searchable module: its module list entry, the ids of its enable and type parameters
// (decimal text, as they stand between "<ID>" and "</ID>"), and its model list entries in list
// order (they follow "Select Type").
struct SearchModule {
    std::string_view entry;
    std::string_view enableId;
    std::string_view typeId;
    std::span<const std::string_view> models;
};

// The five searchable modules in module list order (they follow "Select Model"): Compressor,
// Distortion, Chorus/Fx, Delay, Reverb. The table lives as long as the program.
std::span<const SearchModule> SearchModules();

// The module whose entry is exactly `entry` (whole text, case-sensitive), or nullptr.
const SearchModule *FindSearchModule(std::string_view entry);

// The module whose entry is `name` without regard to letter case ("chorus/fx"), or nullptr. The
// command line takes names so; the window's lists give the entries as they are.
const SearchModule *FindSearchModuleIgnoringCase(std::string_view name);

// The model of `module` whose entry is `name` without regard to letter case, as the model list
// spells it ("Screamer" for "screamer"); none when the module has none of that name.
std::optional<std::string_view> FindSearchModelIgnoringCase(const SearchModule &module,
                                                            std::string_view name);

// What one search looks for: the module's two ids and the model text.
struct SearchTarget {
    std::string enableId;
    std::string typeId;
    std::string model;
};

SearchTarget MakeSearchTarget(const SearchModule &module, std::string_view model);

} // namespace patchlens
