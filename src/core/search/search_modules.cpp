#include "search/search_modules.h"

#include <algorithm>

namespace patchlens {

namespace {

constexpr std::string_view kCompressorModels[] = {"Digi Comp", "CS Comp", "Dyna Comp"};
constexpr std::string_view kDistortionModels[] = {
    "Screamer", "808",   "Spark", "Guy OD", "DOD 250",    "Rodent",       "MX Dist", "DS Dist", "Grunge",
    "Zone",     "Death", "Gonk",  "8tavia", "Fuzzulator", "Classic Fuzz", "Fuzzy",   "Big MP"};
constexpr std::string_view kChorusFxModels[] = {
    "CE Chorus",  "TC Chorus", "Dual Chorus", "Multi Chorus", "Flanger",      "Trig Flanger", "MXR Flanger",
    "EH Flanger", "Phaser",    "Trig Phaser", "MXR Phaser",   "EH Phaser",    "Vibrato",      "Rotary",
    "VibroPan",   "Unovibe",   "Tremolo",     "Panner",       "Opto Tremolo", "Bias Tremolo", "Envelope",
    "AutoYa",     "YaYa",      "Synth Talk",  "Step Filter",  "FX25",         "Whammy",       "Pitch Shift",
    "Detune",     "IPS",       "Octaver"};
constexpr std::string_view kDelayModels[] = {"Analog", "DM-2", "Digital", "Modulated",
                                             "Pong",   "Tape", "EchoPlex"};
constexpr std::string_view kReverbModels[] = {"Twin Reverb",  "Lexicon Ambience", "Lexicon Studio",
                                              "Lexicon Room", "Lexicon Hall",     "EMT240 Plate"};

constexpr SearchModule kSearchModules[] = {
    {"Compressor", "193", "207", kCompressorModels}, {"Distortion", "2433", "2432", kDistortionModels},
    {"Chorus/Fx", "769", "768", kChorusFxModels},    {"Delay", "1857", "1856", kDelayModels},
    {"Reverb", "1921", "1920", kReverbModels},
};

// The entries are ASCII: letters compare by their ASCII case.
bool SameIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

std::span<const SearchModule> SearchModules() {
    return kSearchModules;
}

const SearchModule *FindSearchModule(std::string_view entry) {
    for (const SearchModule &module : kSearchModules)
        if (module.entry == entry)
            return &module;
    return nullptr;
}

const SearchModule *FindSearchModuleIgnoringCase(std::string_view name) {
    for (const SearchModule &module : kSearchModules)
        if (SameIgnoringCase(module.entry, name))
            return &module;
    return nullptr;
}

std::optional<std::string_view> FindSearchModelIgnoringCase(const SearchModule &module,
                                                            std::string_view name) {
    for (const std::string_view model : module.models)
        if (SameIgnoringCase(model, name))
            return model;
    return std::nullopt;
}

SearchTarget MakeSearchTarget(const SearchModule &module, std::string_view model) {
    return {std::string(module.enableId), std::string(module.typeId), std::string(model)};
}

} // namespace patchlens
