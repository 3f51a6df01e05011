#include "vocabulary/model_catalogue.h"

#include <algorithm>

namespace patchlens {

namespace {

using M = CatalogueModel;

constexpr M kWah[] = {{"", {"8195,WAHMIN", "8196,WAHMAX", "", "", "133,WAHLVL"}}};

constexpr M kCompressor[] = {
    {"Digi Comp", {"208,SUSTAN", "209,TONE__", "211,ATTACK", "", "210,LEVEL_"}},
    {"CS Comp", {"208,SUSTAN", "", "211,ATTACK", "", "210,LEVEL_"}},
    {"Dyna Comp", {"213,SENSTV", "", "", "", "212,OUTPUT"}},
};

constexpr M kDistortion[] = {
    {"Screamer", {"2434,DRIVE_", "2435,TONE__", "", "", "2436,LEVEL_"}},
    {"808", {"2473,OVRDRV", "2474,TONE__", "", "", "2475,LEVEL_"}},
    {"Spark", {"2450,GAIN__", "2451,TONE__", "2452,CLEAN_", "", "2453,VOLUME"}},
    {"Guy OD", {"2448,DRIVE_", "", "", "", "2449,LEVEL_"}},
    {"DOD 250", {"2443,GAIN__", "", "", "", "2444,LEVEL_"}},
    {"Rodent", {"2437,DIST__", "2438,FILTER", "", "", "2439,LEVEL_"}},
    {"MX Dist", {"2468,DIST__", "", "", "", "2469,OUTPUT"}},
    {"DS Dist", {"2440,DRIVE_", "2441,TONE__", "", "", "2442,LEVEL_"}},
    {"Grunge", {"2454,GRUNGE", "2455,BUTT__", "2456,FACE__", "", "2457,LOUD_"}},
    {"Zone", {"2460,GAIN__", "2463,LOW___", "2462,MID___", "2464,HIGH__", "2465,LEVEL_"}},
    {"Death", {"", "2477,LOW___", "2476,MID___", "2479,HIGH__", "2478,LEVEL_"}},
    {"Gonk", {"2480,GUNK__", "2471,SMEAR_", "2470,SUCK__", "", "2472,HEAVE_"}},
    {"8tavia", {"2466,DRIVE_", "", "", "", "2467,VOLUME"}},
    {"Fuzzulator", {"2481,FUZZ__", "2482,TONE__", "2483,", "", "2484,LEVEL_"}},
    {"Classic Fuzz", {"2485,FUZZ__", "2486,TONE__", "", "", "2487,VOLUME"}},
    {"Fuzzy", {"2458,FUZZ__", "", "", "", "2459,VOLUME"}},
    {"Big MP", {"2445,SUSTAN", "2446,TONE__", "", "", "2447,VOLUME"}},
};

constexpr M kAmplifier[] = {{"", {"2497,AMPGAN", "", "", "2498,AMPLVL", ""}}};

constexpr M kEqualizer[] = {{"", {"3203,BASS__", "3204,MIDRNG,", "3205,TREBLE", "3206,", "3207,PRESNC"}}};

constexpr M kNoiseGate[] = {
    {"Gate", {"710,THRSH_", "712,ATTACK", "713,RELEASE", "714,ATTEN", ""}},
    {"Swell", {"", "712,ATTACK", "713,RELEAS", "714,ATTEN_", "711,SENSTV"}},
};

constexpr M kChorusFx[] = {
    {"CE Chorus", {"770,", "837,SPEED_", "838,DEPTH_", "", ""}},
    {"TC Chorus", {"770,", "837,SPEED_", "848,WIDTH_", "", "849,INTSTY"}},
    {"Dual Chorus", {"770,", "837,SPEED_", "838,DEPTH_", "840,", "836,LEVEL_"}},
    {"Multi Chorus", {"770,", "837,SPEED_", "838,DEPTH_", "840,", "836,LEVEL_"}},
    {"Flanger", {"770,", "902,SPEED_", "903,DEPTH_", "904,REGEN_", "901,LEVEL_"}},
    {"Trig Flanger", {"770,", "1030,SPEED_", "1031,SENSTV", "1028,LFO_ST", "1032,LEVEL_"}},
    {"MXR Flanger", {"770,", "902,SPEED_", "914,WIDTH_", "904,REGEN_", "917,MANUAL"}},
    {"EH Flanger", {"770,", "918,RATE__", "919,RANGE_", "916,COLOR_", ""}},
    {"Phaser", {"770,", "962,SPEED_", "963,DEPTH_", "966,REGEN_", "965,LEVEL_"}},
    {"Trig Phaser", {"770,", "1094,SPEED_", "1095,SENSTV", "1092,LFO_ST", "1096,LEVEL_"}},
    {"MXR Phaser", {"770,", "962,SPEED_", "976,INTSTY", "", ""}},
    {"EH Phaser", {"770,", "979,RATE__", "", "977,COLOR_", ""}},
    {"Vibrato", {"770,", "1284,SPEED_", "1285,DEPTH_", "", ""}},
    {"Rotary", {"770,", "1346,SPEED_", "1348,INTSTY", "1350,DOPLER", "1351,X_OVER"}},
    {"VibroPan", {"770,", "1314,SPEED_", "1315,DEPTH_", "1316,VIBPAN", "1317,"}},
    {"Unovibe", {"770,", "2884,SPEED_", "2883,INTSTY", "2882,", "2885,VOLUME"}},
    {"Tremolo", {"770,", "1156,SPEED_", "1155,DEPTH_", "1157,", ""}},
    {"Panner", {"770,", "1220,SPEED_", "1219,DEPTH_", "1221,", ""}},
    {"Opto Tremolo", {"770,", "1156,SPEED_", "1155,DEPTH_", "", ""}},
    {"Bias Tremolo", {"770,", "1156,SPEED_", "1155,DEPTH_", "", ""}},
    {"Envelope", {"770,", "1606,SENSTV", "1605,RANGE_", "", ""}},
    {"AutoYa", {"770,", "1478,SPEED_", "1482,INTSTY", "1483,RANGE_", ""}},
    {"YaYa", {"770,", "1410,PEDAL_", "1417,INTSTY", "1418,RANGE_", ""}},
    {"Synth Talk", {"770,", "1542,ATTACK", "1547,RELEAS", "1540,VOX___", "1544,SENSTV"}},
    {"Step Filter", {"770,", "3010,SPEED_", "3011,INTSTY", "", ""}},
    {"FX25", {"770,", "1608,BLEND_", "1606,SENSTV", "1605,RANGE_", ""}},
    {"Whammy", {"770,", "1797,", "", "1795,PEDAL_", "1796,MIX___"}},
    {"Pitch Shift", {"770,", "1730,", "", "", "1745,MIX___"}},
    {"Detune", {"770,", "1668,", "", "", "1667,LEVEL_"}},
    {"IPS", {"770,", "2754,", "2756,KEY___", "2755,", "2757,LEVEL_"}},
    {"Octaver", {"770,", "1746,OCT_1_", "1747,OCT_2_", "", "1748,DRYLVL"}},
};

constexpr M kDelay[] = {
    {"Analog", {"1888,", "1863,REPEAT", "", "", "1860,DLYLVL"}},
    {"DM-2", {"1894,REPRAT", "1895,ECHO__", "1896,INTSTY", "", ""}},
    {"Digital", {"1888,", "1863,REPEAT", "1889,DUKTHR", "1890,DUKLVL", "1860,DLYLVL"}},
    {"Modulated", {"1888,", "1863,REPEAT", "1873,DEPTH_", "", "1860,DLYLVL"}},
    {"Pong", {"1888,", "1863,REPEAT", "1889,DUKTHR", "1890,DUKLVL", "1860,DLYLVL"}},
    {"Tape", {"1888,", "1863,REPEAT", "1891,WOW___", "1892,FLUTTR", "1860,DLYLVL"}},
    {"EchoPlex", {"1897,TIME__", "1874,REPEAT", "", "", "1893,VOLUME"}},
};

constexpr M kReverb[] = {
    {"Twin Reverb", {"", "", "", "", "1925,REVERB"}},
    {"Lexicon Ambience", {"1922,PREDLY", "1927,DECAY_", "1933,LIVNES", "", "1925,RVBLVL"}},
    {"Lexicon Studio", {"1922,PREDLY", "1927,DECAY_", "1933,LIVNES", "", "1925,RVBLVL"}},
    {"Lexicon Room", {"1922,PREDLY", "1927,DECAY_", "1933,LIVNES", "", "1925,RVBLVL"}},
    {"Lexicon Hall", {"1922,PREDLY", "1927,DECAY_", "1933,LIVNES", "", "1925,RVBLVL"}},
    {"EMT240 Plate", {"1922,PREDLY", "1927,DECAY_", "1933,LIVNES", "", "1925,RVBLVL"}},
};

constexpr M kExpression[] = {{"", {"8195,", "8196,", "", "", ""}}};

constexpr M kLfo[] = {{"", {"8259,", "8260,", "8263,", "8262,", ""}}};

constexpr CatalogueEntry kCatalogue[] = {
    {"Wah", "129", true, kWah},
    {"Compressor", "193", false, kCompressor},
    {"Distortion", "2433", false, kDistortion},
    {"Amp A", "265", true, kAmplifier},
    {"EQ A", "3212", true, kEqualizer},
    {"NoiseGate", "705", false, kNoiseGate},
    {"ChorusFx", "769", false, kChorusFx},
    {"Delay", "1857", false, kDelay},
    {"Reverb", "1921", false, kReverb},
    {"Expression", "8194", true, kExpression},
    {"Amp B", "265", true, kAmplifier},
    {"EQ B", "3212", true, kEqualizer},
    {"LFO1", "8258", true, kLfo},
    {"LFO2", "8258", true, kLfo},
};

KnobList ListOf(const CatalogueEntry &entry, const CatalogueModel &model) {
    KnobList list;
    list.activityId = entry.activityId;
    for (std::size_t i = 0; i < model.knobSlots.size(); ++i)
        list.knobSlots[i] = KnobSlot{model.knobSlots[i]};
    return list;
}

} // namespace

// Entries are a few bytes long: their commas are looked for byte by byte.
std::string_view KnobSlot::id() const {
    return entry.substr(0,
                        static_cast<std::size_t>(std::find(entry.begin(), entry.end(), ',') - entry.begin()));
}

std::string_view KnobSlot::label() const {
    const auto comma = std::find(entry.begin(), entry.end(), ',');
    if (comma == entry.end())
        return {};
    const auto end = std::find(comma + 1, entry.end(), ',');
    return entry.substr(static_cast<std::size_t>(comma + 1 - entry.begin()),
                        static_cast<std::size_t>(end - comma - 1));
}

std::span<const CatalogueEntry> ModelCatalogue() {
    return kCatalogue;
}

KnobList BuildKnobList(std::string_view context, std::string_view modelText) {
    for (const CatalogueEntry &entry : kCatalogue) {
        if (entry.context != context)
            continue;
        if (entry.fixedLayout)
            return ListOf(entry, entry.models.front());
        for (const CatalogueModel &model : entry.models)
            if (model.name == modelText)
                return ListOf(entry, model);
        return {};
    }
    return {};
}

} // namespace patchlens
