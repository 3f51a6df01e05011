#include "vocabulary/model_naming.h"

#include <span>

#include "text/byte_text.h"
#include "vocabulary/link_targets.h"

namespace patchlens {

namespace {

struct Abbreviation {
    std::string_view pattern;
    std::string_view abbreviation;
};

constexpr Abbreviation kWah[] = {{"Cry Wah", "CRYWAH"}, {"Full Range", "FULLRNG"}, {"Clyde Wah", "CLYDE"}};

constexpr Abbreviation kDistortion[] = {
    {"Screamer", "SCREAM"}, {"808", "808"},           {"Spark", "Spark"},         {"Guy OD", "ODRIV"},
    {"DOD 250", "DOD250"},  {"Rodent", "RODENT"},     {"MX Dist", "MXDIST"},      {"DS Dist", "DSDIST"},
    {"Grunge", "GRUNGE"},   {"Zone", "ZONE"},         {"Death", "DEATH"},         {"Gonk", "GONKLT"},
    {"8tavia", "8TAVIA"},   {"Fuzzulator", "FUZLTR"}, {"Classic Fuzz", "CLASFZ"}, {"Fuzzy", "FUZZ"},
    {"Big MP", "BIG PI"},
};

constexpr Abbreviation kAmplifier[] = {
    {"57 Tweed Champ", "57CHMP"},
    {"57 Tweed Deluxe", "57DLUX"},
    {"59 Tweed Bassman", "59BMAN"},
    {"65 Blackface Twin", "65TWIN"},
    {"65 Blackface Deluxe", "65DLXR"},
    {"65 Plexi JTM-45", "45 JIM"},
    {"68 Plexi Lead 100", "68PLEX"},
    {"68 Marshall Jump", "JMPPNL"},
    {"77 Master Volume", "77MSTR"},
    {"83 JCM800", "800JCM"},
    {"93 JCM900", "900JCM"},
    {"62 AC-15", "VXAC15"},
    {"63 AC-30 TB", "TOPBST"},
    {"69 Hiwatt 100", "HIWTAG"},
    {"81 Boogie Mark II", "MARK2C"},
    {"01 Dual Rectifier", "RECTFR"},
    {"96 Matchless HC30", "MATCH"},
    {"Soldano 100", "SOLDNO"},
    {"Solo", "DIGSLO"},
    {"Metal", "DIGMTL"},
    {"Bright", "DIGBRT"},
    {"Clean", "DIGCLN"},
    {"High Gain", "DIGGAN"},
    {"GSP2101 Clean Tube", "2101CT"},
    {"GSP2101 Sat Tube", "2101ST"},
    {"Dread Acoustic", "ACDRED"},
    {"Jumbo Acoustic", "ACJMBO"},
    {"Direct", "DIRECT"},
};

enum class CabinetMatch { Contains, ContainsLength13, Equals };

struct CabinetRow {
    std::string_view pattern;
    CabinetMatch match;
    std::string_view abbreviation;
};

constexpr CabinetRow kCabinet[] = {
    {"Champ", CabinetMatch::Contains, "CHMP 18"},
    {"Deluxe", CabinetMatch::ContainsLength13, "DLX112"},
    {"Deluxe Reverb 1x12", CabinetMatch::Equals, "DRV112"},
    {"Blonde 2x12", CabinetMatch::Contains, "BMN212"},
    {"Twin 2x12", CabinetMatch::Contains, "TWN212"},
    {"British 2x12", CabinetMatch::Contains, "BRT212"},
    {"Bassman", CabinetMatch::Contains, "BMN410"},
    {"Slant V30 4x12", CabinetMatch::Contains, "BTQ412"},
    {"British Green 4x12", CabinetMatch::Contains, "GRN412"},
    {"Fane 4x12", CabinetMatch::Contains, "FAN412"},
    {"British 4x12", CabinetMatch::Contains, "CLS412"},
    {"Vintage V30 4x12", CabinetMatch::Contains, "VTG412"},
    {"Solo 4x12", CabinetMatch::Contains, "DIGSLO"},
    {"Bright 2x12", CabinetMatch::Contains, "DIGBRT"},
    {"Metal 4x12", CabinetMatch::Contains, "DIGMTL"},
    {"Rock 4x12", CabinetMatch::Contains, "DIGRCK"},
    {"Alt 4x12", CabinetMatch::Contains, "DIGALT"},
    {"Vntg 4x12", CabinetMatch::Contains, "DIGVTG"},
    {"Direct", CabinetMatch::Contains, "DIRECT"},
};

constexpr Abbreviation kEqualizer[] = {
    {"Mid Boost", "MIDBST"}, {"Scoop", "SCOOP"}, {"Bright", "BRGHT"}, {"Warm", "WARM"}};

constexpr Abbreviation kCompressor[] = {
    {"Digi Comp", "DIGCMP"}, {"CS Comp", "CSCOMP"}, {"Dyna Comp", "DYNCMP"}};

constexpr Abbreviation kNoiseGate[] = {{"Gate", "GATE___"}, {"Swell", "Swell"}};

constexpr Abbreviation kChorusFx[] = {
    {"CE Chorus", "CE CHS"},    {"TC Chorus", "TC CHS"},    {"Dual Chorus", "CHORUS"},
    {"Multi Chorus", "MCHORS"}, {"Flanger", "FLANGR"},      {"Trig Flanger", "TRGFLG"},
    {"MXR Flanger", "MXFLGR"},  {"EH Flanger", "EHFLGR"},   {"Phaser", "PHASER"},
    {"Trig Phaser", "TPHASE"},  {"MXR Phaser", "MXPHAS"},   {"EH Phaser", "EHPHAS"},
    {"Vibrato", "VIBRAT"},      {"Rotary", "ROTARY"},       {"VibroPan", "VIBPAN"},
    {"Unovibe", "UNOVIB"},      {"Tremolo", "TRMOLO"},      {"Panner", "PANNER"},
    {"Opto Tremolo", "OPTREM"}, {"Bias Tremolo", "BITREM"}, {"Envelope", "ENVLOP"},
    {"AutoYa", "AUTOYA"},       {"YaYa", "YAYA"},           {"Synth Talk", "SNTHTK"},
    {"Step Filter", "STPFLT"},  {"FX25", "FX25"},           {"Whammy", "WHAMMY"},
    {"Pitch Shift", "PITCH"},   {"Detune", "DETUNE"},       {"IPS", "IPS"},
    {"Octaver", "OCTAVR"},
};

constexpr Abbreviation kDelay[] = {{"Analog", "ALGDLY"},    {"DM-2", "DM_DLY"}, {"Digital", "DIGDLY"},
                                   {"Modulated", "MODDLY"}, {"Pong", "PNGDLY"}, {"Tape", "TAPDLY"},
                                   {"EchoPlex", "ECOPLX"}};

constexpr Abbreviation kReverb[] = {{"Twin Reverb", "TWINRV"},    {"Lexicon Ambience", "LEXAMB"},
                                    {"Lexicon Studio", "LEXSTD"}, {"Lexicon Room", "LEXROM"},
                                    {"Lexicon Hall", "LEXHAL"},   {"EMT240 Plate", "EMTPLT"}};

struct ModelGroup {
    std::string_view context;
    std::string_view modelId;
    std::span<const Abbreviation> rows; // empty for the assignment modules
};

constexpr ModelGroup kGroups[] = {
    {"Wah", "128", kWah},
    {"Compressor", "207", kCompressor},
    {"Distortion", "2432", kDistortion},
    {"Amp A", "2496", kAmplifier},
    {"EQ A", "3202", kEqualizer},
    {"NoiseGate", "704", kNoiseGate},
    {"ChorusFx", "768", kChorusFx},
    {"Delay", "1856", kDelay},
    {"Reverb", "1920", kReverb},
    {"Expression", "8194", {}},
    {"Amp B", "2496", kAmplifier},
    {"EQ B", "3202", kEqualizer},
    {"LFO1", "8258", {}},
    {"LFO2", "8258", {}},
};

const ModelGroup *GroupOf(std::string_view context) {
    for (const ModelGroup &group : kGroups)
        if (group.context == context)
            return &group;
    return nullptr;
}

bool IsAmplifier(std::string_view context) {
    return context == "Amp A" || context == "Amp B";
}

bool IsAssignment(std::string_view context) {
    return context == "Expression" || context == "LFO1" || context == "LFO2";
}

bool Contains(std::string_view text, std::string_view pattern) {
    return text.find(pattern) != std::string_view::npos;
}

} // namespace

std::string_view ModelParameterId(std::string_view context) {
    const ModelGroup *group = GroupOf(context);
    return group != nullptr ? group->modelId : std::string_view();
}

std::optional<std::string_view> AbbreviateModel(std::string_view context, std::string_view valueText) {
    const ModelGroup *group = GroupOf(context);
    if (group == nullptr)
        return std::nullopt;
    if (IsAmplifier(context)) {
        const Abbreviation *best = nullptr;
        for (const Abbreviation &row : group->rows)
            if (Contains(valueText, row.pattern) &&
                (best == nullptr || row.pattern.size() > best->pattern.size()))
                best = &row;
        if (best == nullptr)
            return std::nullopt;
        return best->abbreviation;
    }
    for (const Abbreviation &row : group->rows)
        if (row.pattern == valueText)
            return row.abbreviation;
    return std::nullopt;
}

std::optional<std::string_view> AbbreviateCabinet(std::string_view valueText) {
    for (const CabinetRow &row : kCabinet) {
        bool matches = false;
        switch (row.match) {
        case CabinetMatch::Contains:
            matches = Contains(valueText, row.pattern);
            break;
        case CabinetMatch::ContainsLength13:
            matches = valueText.size() == 13 && Contains(valueText, row.pattern);
            break;
        case CabinetMatch::Equals:
            matches = valueText == row.pattern;
            break;
        }
        if (matches)
            return row.abbreviation;
    }
    return std::nullopt;
}

bool IsAcousticOrDirect(std::string_view abbreviation) {
    return abbreviation == "ACDRED" || abbreviation == "ACJMBO" || abbreviation == "DIRECT";
}

// Room for the few lines a panel shows is made once, not line by line as they are added.
constexpr std::size_t kMostPanelLines = 8;

std::string ShowModelLine(const PatchText &text, std::string_view context, PanelList &list) {
    ClearLines(list);
    list.lines.reserve(kMostPanelLines);
    const std::string_view modelId = ModelParameterId(context);
    if (modelId.empty())
        return {};

    std::optional<std::string> model = FindParameter(text, context, modelId);
    if (IsAssignment(context)) {
        if (model)
            AppendLine(list, std::string(LookupLinkTarget(*model)));
        return model.value_or("");
    }
    if (model) {
        if (const auto abbreviation = AbbreviateModel(context, *model))
            AppendLine(list, std::string(*abbreviation));
    }
    if (IsAmplifier(context)) {
        if (const std::optional<std::string> cabinet = FindParameter(text, context, kCabinetParameterId)) {
            if (const auto abbreviation = AbbreviateCabinet(*cabinet))
                InsertLine(list, 1, std::string(*abbreviation));
        }
    }
    return model.value_or("");
}

void ApplyAcousticDirectRule(PanelList &list) {
    if (!IsAcousticOrDirect(LineAt(list, 0)))
        return;
    DeleteLine(list, 2);
    InsertLine(list, 3, std::string());
    std::string level = ReplaceAll(LineAt(list, 5), "AMPLVL", "LEVEL");
    DeleteLine(list, 5);
    InsertLine(list, 5, std::move(level));
}

} // namespace patchlens
