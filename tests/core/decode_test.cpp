// Decoding a whole patch into the one Patch that lives across loads: the Pickup step, lamps and
// enabling, and what carries over from the patch shown before.

#include <gtest/gtest.h>

#include "patch/decode.h"
#include "patch_builder.h"

namespace patchlens {
namespace {

using test::PatchBuilder;
using Lines = std::vector<std::string>;

DecodeOutcome Decode(Patch &patch, const PatchBuilder &builder) {
    patch.text = MakePatchText(builder.Bytes());
    return DecodePatch(patch);
}

const ModulePanel &PanelOf(const Patch &patch, Module module) {
    return patch.panels[IndexOf(module)];
}

// Every module switched on, with a model that has knobs.
PatchBuilder AllOn() {
    PatchBuilder p;
    p.name = "All On";
    p.Param("65", "Pickup Enable", "On").Param("64", "Pickup Type", "SC&gt;HB");
    p.Param("129", "Wah Enable", "On").Param("128", "Wah Type", "Cry Wah");
    p.Param("193", "Compressor Enable", "On").Param("207", "Compressor Type", "Digi Comp");
    p.Param("2433", "Dist Enable", "On").Param("2432", "Dist Type", "Screamer");
    p.Param("265", "Amp A Enable", "On").Param("2496", "Amp A Type", "Clean");
    p.Param("3212", "EQ A Enable", "On").Param("3202", "EQ A Type", "Warm");
    p.Param("705", "Gate Enable", "On").Param("704", "Gate Type", "Gate");
    p.Param("769", "Chorus/FX Enable", "On").Param("768", "Chorus/FX Type", "Flanger");
    p.Param("1857", "Delay Enable", "On").Param("1856", "Delay Type", "Tape");
    p.Param("1921", "Reverb Enable", "On").Param("1920", "Reverb Type", "Lexicon Room");
    p.Param("8194", "Expression Assign", "Dist Drive");
    p.Param("265", "Amp B Enable", "On").Param("2496", "Amp B Type", "Metal");
    p.Param("3212", "EQ B Enable", "On").Param("3202", "EQ B Type", "Scoop");
    p.Param("8258", "LFO1 Assign", "Delay Level");
    p.Param("8258", "LFO2 Assign", "Chorus Speed");
    return p;
}

TEST(Pickup, TypeLineAndLamp) {
    struct Case {
        const char *type; // nullptr: no record
        const char *line;
    } cases[] = {{"SC&gt;HB", "SC->HB"}, {"S", "SC->HB"},  {"HB&gt;SC", "HB->SC"},
                 {"", "HB->SC"},         {"sc", "HB->SC"}, {nullptr, "NOTFND"}};
    for (const Case &c : cases) {
        PatchBuilder builder;
        if (c.type != nullptr)
            builder.Param("64", "Pickup Type", c.type);
        Patch patch;
        Decode(patch, builder);
        EXPECT_EQ(PanelOf(patch, Module::Pickup).list.lines, Lines{c.line}) << (c.type ? c.type : "none");
    }
}

TEST(Pickup, OnOffIsExactAndMissingKeepsTheLamp) {
    Patch patch;
    Decode(patch, PatchBuilder().Param("65", "Pickup Enable", "On"));
    EXPECT_TRUE(PanelOf(patch, Module::Pickup).lampOn);
    EXPECT_TRUE(PanelOf(patch, Module::Pickup).list.enabled);
    Decode(patch, PatchBuilder().Param("64", "Pickup Type", "S"));
    EXPECT_TRUE(PanelOf(patch, Module::Pickup).lampOn);
    Decode(patch, PatchBuilder().Param("65", "Pickup Enable", "ON"));
    EXPECT_FALSE(PanelOf(patch, Module::Pickup).lampOn);
    EXPECT_FALSE(PanelOf(patch, Module::Pickup).list.enabled);
}

TEST(Pickup, TakesTheFirstRecordWithoutANameTest) {
    Patch patch;
    Decode(patch, PatchBuilder().Param("64", "Amp A Gain", "HB").Param("64", "Pickup Type", "SC"));
    EXPECT_EQ(PanelOf(patch, Module::Pickup).list.lines, Lines{"HB->SC"});
}

TEST(Decode, BeforeAnyPatchEveryLampIsOffAndEveryListEmptyAndEnabled) {
    const Patch patch;
    EXPECT_EQ(patch.name, "------");
    EXPECT_FALSE(patch.loaded);
    for (const ModulePanel &panel : patch.panels) {
        EXPECT_FALSE(panel.lampOn);
        EXPECT_TRUE(panel.list.lines.empty());
        EXPECT_TRUE(panel.list.enabled);
        EXPECT_EQ(panel.list.selected, -1);
    }
}

TEST(Decode, AllModulesOn) {
    Patch patch;
    EXPECT_TRUE(Decode(patch, AllOn()).accepted);
    EXPECT_EQ(patch.name, "All On");
    for (const ModuleInfo &info : Modules()) {
        EXPECT_TRUE(PanelOf(patch, info.module).lampOn) << info.name;
        EXPECT_TRUE(PanelOf(patch, info.module).list.enabled) << info.name;
    }
    EXPECT_EQ(LineAt(PanelOf(patch, Module::Expression).list, 0), "DST-DRIVE");
    EXPECT_EQ(PanelOf(patch, Module::Expression).list.selected, 0);
    EXPECT_EQ(LineAt(PanelOf(patch, Module::Lfo1).list, 0), "DLY-LEVEL");
    EXPECT_EQ(LineAt(PanelOf(patch, Module::Lfo2).list, 0), "CHO-SPEED");
    EXPECT_EQ(LineAt(PanelOf(patch, Module::AmplifierB).list, 0), "DIGMTL");
    EXPECT_EQ(LineAt(PanelOf(patch, Module::EqualizerB).list, 0), "SCOOP");
}

TEST(Decode, ActivityValuesAreExact) {
    PatchBuilder builder;
    builder.Param("2433", "Dist Enable", "on").Param("2432", "Dist Type", "Screamer");
    builder.Param("8194", "Expression Assign", "none");
    Patch patch;
    Decode(patch, builder);
    EXPECT_FALSE(PanelOf(patch, Module::Distortion).lampOn);
    EXPECT_FALSE(PanelOf(patch, Module::Distortion).list.enabled);
    // A lower-case "none" is an assignment like any other: lamp on, shown unchanged.
    EXPECT_TRUE(PanelOf(patch, Module::Expression).lampOn);
    EXPECT_EQ(LineAt(PanelOf(patch, Module::Expression).list, 0), "none");
}

TEST(Decode, UnassignedExpressionAndLfosAreGreyedWithNolink) {
    Patch patch;
    Decode(patch, AllOn());
    PatchBuilder off;
    off.Param("8194", "Expression Assign", "None")
        .Param("8258", "LFO1 Assign", "None")
        .Param("8258", "LFO2 Assign", "None");
    Decode(patch, off);
    for (Module module : {Module::Expression, Module::Lfo1, Module::Lfo2}) {
        EXPECT_FALSE(PanelOf(patch, module).lampOn);
        EXPECT_FALSE(PanelOf(patch, module).list.enabled);
        EXPECT_EQ(PanelOf(patch, module).list.lines, Lines{"NOLINK"});
        EXPECT_EQ(PanelOf(patch, module).list.selected,
                  0); // the closing pass selects Expression's line 0 too
    }
}

TEST(Decode, MissingActivityParameterKeepsTheLampAndEnablingOfThePatchBefore) {
    Patch patch;
    Decode(patch, AllOn());
    PatchBuilder lacking; // models present, activity parameters absent
    lacking.Param("128", "Wah Type", "Cry Wah").Param("768", "Chorus/FX Type", "Flanger");
    lacking.Param("2496", "Amp A Type", "Clean");
    Decode(patch, lacking);
    EXPECT_TRUE(PanelOf(patch, Module::Wah).lampOn);
    EXPECT_TRUE(PanelOf(patch, Module::Wah).list.enabled);
    EXPECT_TRUE(PanelOf(patch, Module::ChorusFx).lampOn);
    EXPECT_TRUE(PanelOf(patch, Module::AmplifierA).list.enabled);
    EXPECT_EQ(LineAt(PanelOf(patch, Module::Wah).list, 0), "CRYWAH");

    PatchBuilder offs;
    offs.Param("129", "Wah Enable", "Off").Param("769", "Chorus/FX Enable", "Off");
    Decode(patch, offs);
    Decode(patch, lacking);
    EXPECT_FALSE(PanelOf(patch, Module::Wah).lampOn);
    EXPECT_FALSE(PanelOf(patch, Module::Wah).list.enabled);
}

TEST(Decode, ModuleWithoutAKnownModelLooksNothingUp) {
    Patch patch;
    Decode(patch, AllOn());
    // The enable record says Off, but the model names no model: no activity parameter.
    PatchBuilder unknown;
    unknown.Param("2433", "Dist Enable", "Off").Param("2432", "Dist Type", "Tube Screamer");
    Decode(patch, unknown);
    EXPECT_TRUE(PanelOf(patch, Module::Distortion).lampOn);
    EXPECT_EQ(PanelOf(patch, Module::Distortion).list.lines, (Lines{"", "", "", "", ""}));
}

TEST(Decode, LfoWithoutAssignmentKeepsItsLampAndIsEnabled) {
    Patch patch;
    Decode(patch, AllOn());
    Decode(patch, PatchBuilder().Param("8259", "LFO1 Min", "0"));
    EXPECT_TRUE(PanelOf(patch, Module::Lfo1).lampOn);
    EXPECT_TRUE(PanelOf(patch, Module::Lfo1).list.enabled);
    EXPECT_EQ(PanelOf(patch, Module::Lfo1).list.lines, Lines{""});
}

TEST(Decode, ListsFollowTheirLampsAfterTheClosingPass) {
    PatchBuilder builder = AllOn();
    builder.Param("3212", "EQ A Enable", "Off"); // a second EQ A record: the first one decides
    Patch patch;
    Decode(patch, builder);
    EXPECT_TRUE(PanelOf(patch, Module::EqualizerA).list.enabled);

    PatchBuilder offs;
    offs.Param("265", "Amp A Enable", "Off").Param("3212", "EQ A Enable", "Off");
    offs.Param("705", "Gate Enable", "Off").Param("704", "Gate Type", "Gate");
    offs.Param("3212", "EQ B Enable", "Off").Param("265", "Amp B Enable", "Off");
    Decode(patch, offs);
    for (Module module : {Module::AmplifierA, Module::EqualizerA, Module::NoiseGate, Module::AmplifierB,
                          Module::EqualizerB}) {
        EXPECT_FALSE(PanelOf(patch, module).lampOn) << InfoOf(module).name;
        EXPECT_FALSE(PanelOf(patch, module).list.enabled) << InfoOf(module).name;
    }
}

TEST(Decode, RefusedSchemaVersionChangesNothing) {
    Patch patch;
    Decode(patch, AllOn());
    const Patch before = patch;
    PatchBuilder newer = PatchBuilder().Param("65", "Pickup Enable", "Off");
    newer.schemaVersion = "1.3";
    newer.name = "Newer";
    const DecodeOutcome outcome = Decode(patch, newer);
    EXPECT_FALSE(outcome.accepted);
    EXPECT_EQ(outcome.message,
              "Wrong Schema Version!: 1.3\r\nProgram Supports Version : 1.2\r\nAsk for New Version.");
    EXPECT_EQ(patch.name, "All On");
    for (std::size_t i = 0; i < kModuleCount; ++i) {
        EXPECT_EQ(patch.panels[i].lampOn, before.panels[i].lampOn);
        EXPECT_EQ(patch.panels[i].list.lines, before.panels[i].list.lines);
        EXPECT_EQ(patch.panels[i].list.enabled, before.panels[i].list.enabled);
        EXPECT_EQ(patch.panels[i].list.selected, before.panels[i].list.selected);
    }
}

TEST(Decode, DecodingTwiceGivesTheSamePanels) {
    Patch once;
    Decode(once, AllOn());
    Patch twice = once;
    Decode(twice, AllOn());
    for (std::size_t i = 0; i < kModuleCount; ++i)
        EXPECT_EQ(once.panels[i].list.lines, twice.panels[i].list.lines);
}

TEST(Decode, BadInputDecodesByTheRules) {
    using namespace std::string_literals;
    const std::string nuls = "\0\0<ID>64</ID>\r\n\0\r\n\xff\r\n\x80\r\n<Text>S\0</Text>\r\n"s;
    const std::string inputs[] = {"",     "no line ends at all", "\r\r\n\n\r\n\r", nuls, "<ID>65</ID>",
                                  "<ID>", "\r\n\r\n\r\n<ID>"};
    for (const std::string &bytes : inputs) {
        Patch patch;
        patch.text = MakePatchText(bytes);
        EXPECT_TRUE(DecodePatch(patch).accepted);
        EXPECT_EQ(PanelOf(patch, Module::Pickup).list.lines.size(), 1u);
    }
    Patch patch;
    patch.text = MakePatchText(nuls);
    DecodePatch(patch);
    EXPECT_EQ(PanelOf(patch, Module::Pickup).list.lines, Lines{"SC->HB"});
}

TEST(Decode, LoadMarksThePatchLoadedEvenWhenRefusedOrUnreadable) {
    Patch patch;
    const LoadOutcome outcome = LoadPatchFile(patch, "/nonexistent/folder/x.rp350p");
    EXPECT_FALSE(outcome.readOk);
    EXPECT_TRUE(outcome.decode.accepted);
    EXPECT_TRUE(patch.loaded);
    EXPECT_EQ(patch.path, "/nonexistent/folder/x.rp350p");
    EXPECT_EQ(patch.name, "");
    EXPECT_EQ(PanelOf(patch, Module::Pickup).list.lines, Lines{"NOTFND"});
}

} // namespace
} // namespace patchlens
