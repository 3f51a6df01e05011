// The device's tables: knob lists, model and cabinet abbreviations, link targets.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "vocabulary/link_targets.h"
#include "vocabulary/model_catalogue.h"
#include "vocabulary/model_naming.h"

namespace patchlens {
namespace {

std::vector<std::string> Entries(const KnobList &list) {
    std::vector<std::string> out;
    for (const KnobSlot &slot : list.knobSlots)
        out.emplace_back(slot.entry);
    return out;
}

TEST(KnobList, PerModelModulesMatchTheWholeModelTextExactly) {
    EXPECT_EQ(Entries(BuildKnobList("Distortion", "Death")),
              (std::vector<std::string>{"", "2477,LOW___", "2476,MID___", "2479,HIGH__", "2478,LEVEL_"}));
    EXPECT_EQ(BuildKnobList("Distortion", "Death").activityId, "2433");
    for (const char *unknown : {"Digi Comp ", "digi comp", "", "Digi"}) {
        const KnobList list = BuildKnobList("Compressor", unknown);
        EXPECT_EQ(list.activityId, "") << unknown;
        EXPECT_EQ(Entries(list), std::vector<std::string>(5)) << unknown;
    }
}

TEST(KnobList, FixedLayoutsIgnoreTheModelText) {
    for (const char *model : {"", "anything", "Death"}) {
        const KnobList amp = BuildKnobList("Amp B", model);
        EXPECT_EQ(amp.activityId, "265");
        EXPECT_EQ(Entries(amp), (std::vector<std::string>{"2497,AMPGAN", "", "", "2498,AMPLVL", ""}));
    }
    EXPECT_EQ(BuildKnobList("Expression", "None").activityId, "8194");
    EXPECT_EQ(BuildKnobList("LFO2", "").activityId, "8258");
}

TEST(KnobList, UnknownContextsGiveTheEmptyList) {
    for (const char *context : {"", "Amplifier A", "amp a", "Pickup"}) {
        EXPECT_EQ(BuildKnobList(context, "Screamer").activityId, "") << context;
    }
}

TEST(KnobList, SlotIdAndLabel) {
    EXPECT_EQ(KnobSlot{"3204,MIDRNG,"}.label(), "MIDRNG");
    EXPECT_EQ(KnobSlot{"3204,MIDRNG,"}.id(), "3204");
    EXPECT_EQ(KnobSlot{"770,"}.label(), "");
    EXPECT_EQ(KnobSlot{"713,RELEASE"}.label(), "RELEASE");
    EXPECT_EQ(KnobSlot{"2457,LOUD_"}.label(), "LOUD_");
}

TEST(KnobList, TremoloVariantsShareSpeedAndDepthButNotSlot4) {
    const KnobList tremolo = BuildKnobList("ChorusFx", "Tremolo");
    for (const char *variant : {"Opto Tremolo", "Bias Tremolo"}) {
        const KnobList list = BuildKnobList("ChorusFx", variant);
        EXPECT_EQ(list.knobSlots[1].entry, tremolo.knobSlots[1].entry);
        EXPECT_EQ(list.knobSlots[2].entry, tremolo.knobSlots[2].entry);
        EXPECT_TRUE(list.knobSlots[3].empty());
        EXPECT_FALSE(tremolo.knobSlots[3].empty());
    }
}

TEST(KnobList, CatalogueHoldsEveryModelOnce) {
    std::size_t models = 0;
    for (const CatalogueEntry &entry : ModelCatalogue()) {
        std::set<std::string_view> names;
        for (const CatalogueModel &model : entry.models)
            names.insert(model.name);
        EXPECT_EQ(names.size(), entry.models.size()) << entry.context;
        if (!entry.fixedLayout) {
            models += entry.models.size();
            // Every model of the catalogue has an abbreviation, and the other way round.
            for (const CatalogueModel &model : entry.models)
                EXPECT_TRUE(AbbreviateModel(entry.context, model.name).has_value()) << model.name;
        }
    }
    EXPECT_EQ(models, 3u + 17u + 2u + 31u + 7u + 6u);
}

TEST(ModelNaming, EqualityGroupsAreExact) {
    EXPECT_EQ(AbbreviateModel("Distortion", "Screamer"), "SCREAM");
    EXPECT_FALSE(AbbreviateModel("Distortion", "screamer"));
    EXPECT_FALSE(AbbreviateModel("Distortion", "Screamer "));
    EXPECT_EQ(AbbreviateModel("NoiseGate", "Gate"), "GATE___");
    EXPECT_EQ(AbbreviateModel("Wah", "Full Range"), "FULLRNG");
    EXPECT_EQ(AbbreviateModel("ChorusFx", "Octaver"), "OCTAVR");
    EXPECT_EQ(AbbreviateModel("EQ B", "Bright"), "BRGHT");
}

TEST(ModelNaming, AmplifierLongestContainedPatternWins) {
    EXPECT_EQ(AbbreviateModel("Amp A", "GSP2101 Clean Tube"), "2101CT");
    EXPECT_EQ(AbbreviateModel("Amp B", "'65 Blackface Twin\xAE"), "65TWIN");
    EXPECT_EQ(AbbreviateModel("Amp A", "Vox 62 AC-15 reissue"), "VXAC15");
    EXPECT_EQ(AbbreviateModel("Amp A", "Clean"), "DIGCLN");
    EXPECT_EQ(AbbreviateModel("Amp A", "Solo Metal"), "DIGMTL"); // "Metal" is longer than "Solo"
    // "Metal" and "Clean" are equally long: the earlier row wins, wherever it stands in the text.
    EXPECT_EQ(AbbreviateModel("Amp A", "Clean Metal"), "DIGMTL");
    EXPECT_EQ(AbbreviateModel("Amp A", "Metal Clean"), "DIGMTL");
    EXPECT_FALSE(AbbreviateModel("Amp A", "clean"));
}

TEST(ModelNaming, EveryAmplifierAndCabinetPatternMatchesItsOwnRow) {
    const std::pair<const char *, const char *> amps[] = {
        {"57 Tweed Champ", "57CHMP"},   {"68 Plexi Lead 100", "68PLEX"}, {"Soldano 100", "SOLDNO"},
        {"GSP2101 Sat Tube", "2101ST"}, {"High Gain", "DIGGAN"},         {"Direct", "DIRECT"}};
    for (const auto &[text, abbreviation] : amps)
        EXPECT_EQ(AbbreviateModel("Amp A", text), abbreviation) << text;
}

TEST(ModelNaming, CabinetRules) {
    EXPECT_EQ(AbbreviateCabinet("Deluxe Reverb 1x12"), "DRV112"); // 18 characters: not the 13-character rule
    EXPECT_EQ(AbbreviateCabinet("Deluxe 1x12 T"), "DLX112");      // 13 characters containing "Deluxe"
    EXPECT_EQ(AbbreviateCabinet("Deluxe 1x12"), std::nullopt);
    EXPECT_EQ(AbbreviateCabinet("Tweed Champ 1x8"), "CHMP 18");
    EXPECT_EQ(AbbreviateCabinet("British Green 4x12"), "GRN412");
    EXPECT_EQ(AbbreviateCabinet("British 4x12"), "CLS412");
    EXPECT_EQ(AbbreviateCabinet("Champ Direct"), "CHMP 18"); // first matching row only
    EXPECT_EQ(AbbreviateCabinet("direct"), std::nullopt);
}

TEST(ModelNaming, ModelParameterIds) {
    EXPECT_EQ(ModelParameterId("Amp B"), "2496");
    EXPECT_EQ(ModelParameterId("LFO2"), "8258");
    EXPECT_EQ(ModelParameterId("Expression"), "8194");
    EXPECT_EQ(ModelParameterId(""), "");
}

TEST(LinkTargets, TableAsTheDeviceWritesIt) {
    const auto table = LinkTargetTable();
    ASSERT_EQ(table.size(), 156u);
    EXPECT_EQ(table.front().displayName, "None");
    EXPECT_EQ(table[154].displayName, "Octaver Ocatave 2");
    EXPECT_EQ(table.back().deviceLabel, "OCT-DRYLVL");
    std::set<std::string_view> names;
    for (const LinkTarget &target : table) {
        names.insert(target.displayName);
        EXPECT_LE(target.displayName.size(), 22u);
        EXPECT_LE(target.deviceLabel.size(), 11u);
    }
    EXPECT_EQ(names.size(), 156u);
}

TEST(LinkTargets, Lookup) {
    EXPECT_EQ(LookupLinkTarget("Dist Volume"), "DST-LEVEL");
    EXPECT_EQ(LookupLinkTarget("Dist Level"), "DST-LEVEL");
    EXPECT_EQ(LookupLinkTarget("Octaver Ocatave 2"), "OCT-OCT 2");
    EXPECT_EQ(LookupLinkTarget("Octaver Octave 2"), "Octaver Octave 2");
    EXPECT_EQ(LookupLinkTarget("None"), "NOLINK");
    EXPECT_EQ(LookupLinkTarget("none"), "none");
    EXPECT_EQ(LookupLinkTarget("Trig Flanger Lfo Start"), "TFLA-LFO ST");
    EXPECT_EQ(LookupLinkTarget(""), "");
}

} // namespace
} // namespace patchlens
