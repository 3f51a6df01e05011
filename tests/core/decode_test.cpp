// Decoding a whole patch into the one Patch that lives across loads: the Pickup step, lamps and
// enabling, and what carries over from the patch shown before.

#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "patch/decode.h"
#include "patch_builder.h"

namespace patchlens {
namespace {

using test::PatchBuilder;
using Lines = std::vector<std::string>;

// Decodes the builder's patch into `patch`; every builder's patch is accepted.
void Decode(Patch &patch, const PatchBuilder &builder) {
    patch.text = MakePatchText(builder.Bytes());
    ASSERT_TRUE(DecodePatch(patch).ok());
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

// The type line from the first record, whatever its name line; the lamp "On" exactly, kept
// when the patch has no enable record.
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
    Patch patch;
    Decode(patch, PatchBuilder().Param("64", "Amp A Gain", "HB").Param("64", "Pickup Type", "SC"));
    EXPECT_EQ(PanelOf(patch, Module::Pickup).list.lines, Lines{"HB->SC"});
    Decode(patch, PatchBuilder().Param("65", "Pickup Enable", "On"));
    Decode(patch, PatchBuilder().Param("64", "Pickup Type", "S"));
    EXPECT_TRUE(PanelOf(patch, Module::Pickup).lampOn && PanelOf(patch, Module::Pickup).list.enabled);
    Decode(patch, PatchBuilder().Param("65", "Pickup Enable", "ON"));
    EXPECT_FALSE(PanelOf(patch, Module::Pickup).lampOn || PanelOf(patch, Module::Pickup).list.enabled);
}

// What a patch leaves of the one decoded before it, where every module was on: a module without
// an activity parameter (or without a known model, which names none) keeps its lamp and enabling;
// activity values count exactly as written.
TEST(Decode, WhatIsKeptOfThePatchBefore) {
    using Params = std::vector<std::array<const char *, 3>>; // id, name line, text
    const struct {
        const char *what;
        Params between, patch; // `between` is decoded after the first patch, before `patch`
        Module module;
        bool lampOn, enabled;
        Lines lines;
    } cases[] = {
        {"no activity parameter", {}, {{"128", "Wah Type", "Cry Wah"}}, Module::Wah, true, true,
         {"CRYWAH", "", ""}},
        {"no activity parameter, off before", {{"129", "Wah Enable", "Off"}},
         {{"128", "Wah Type", "Cry Wah"}}, Module::Wah, false, false, {"CRYWAH", "", ""}},
        {"no known model", {}, {{"2433", "Dist Enable", "Off"}, {"2432", "Dist Type", "Tube Screamer"}},
         Module::Distortion, true, true, {"", "", "", "", ""}},
        {"no LFO assignment", {}, {{"8259", "LFO1 Min", "0"}}, Module::Lfo1, true, true, {""}},
        {"\"on\" is not On", {}, {{"2433", "Dist Enable", "on"}, {"2432", "Dist Type", "Screamer"}},
         Module::Distortion, false, false, {"SCREAM", "", ""}},
        {"\"none\" is an assignment", {}, {{"8194", "Expression Assign", "none"}}, Module::Expression, true,
         true, {"none", "PEDAL MIN", "PEDAL MAX", ""}},
        {"None is unassigned", {}, {{"8194", "Expression Assign", "None"}}, Module::Expression, false, false,
         {"NOLINK"}},
        {"None is unassigned", {}, {{"8258", "LFO2 Assign", "None"}}, Module::Lfo2, false, false, {"NOLINK"}},
    };
    for (const auto &c : cases) {
        Patch patch;
        Decode(patch, AllOn());
        for (const Params *params : {&c.between, &c.patch}) {
            PatchBuilder builder;
            for (const auto &[id, name, text] : *params)
                builder.Param(id, name, text);
            if (!params->empty())
                Decode(patch, builder);
        }
        const ModulePanel &panel = PanelOf(patch, c.module);
        EXPECT_EQ(panel.lampOn, c.lampOn) << c.what;
        EXPECT_EQ(panel.list.enabled, c.enabled) << c.what;
        EXPECT_EQ(panel.list.lines, c.lines) << c.what;
        EXPECT_EQ(panel.list.selected, 0u) << c.what;
    }
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
        const ModulePanel &panel = PanelOf(patch, module);
        EXPECT_FALSE(panel.lampOn || panel.list.enabled) << InfoOf(module).name;
    }
}

TEST(Decode, RefusedSchemaVersionChangesNothing) {
    Patch patch;
    Decode(patch, AllOn());
    const Patch before = patch;
    PatchBuilder newer = PatchBuilder().Param("65", "Pickup Enable", "Off");
    newer.schemaVersion = "1.3";
    newer.name = "Newer";
    patch.text = MakePatchText(newer.Bytes());
    const Status outcome = DecodePatch(patch);
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().kind(), ErrorKind::Refused);
    EXPECT_EQ(outcome.message(),
              "Wrong Schema Version!: 1.3\r\nProgram Supports Version : 1.2\r\nAsk for New Version.");
    EXPECT_EQ(patch.name, "All On");
    for (std::size_t i = 0; i < kModuleCount; ++i) {
        const ModulePanel &now = patch.panels[i], &was = before.panels[i];
        EXPECT_EQ(std::tie(now.lampOn, now.list.lines, now.list.enabled, now.list.selected),
                  std::tie(was.lampOn, was.list.lines, was.list.enabled, was.list.selected));
    }
}

// Any bytes decode; zero bytes are bytes like any other.
TEST(Decode, BadInputDecodesByTheRules) {
    using namespace std::string_literals;
    const std::string nuls = "\0\0<ID>64</ID>\r\n\0\r\n\xff\r\n\x80\r\n<Text>S\0</Text>\r\n"s;
    for (const std::string &bytes : {""s, "no CR LF"s, "\r\r\n\n\r\n"s, "<ID>65</ID>"s, "\r\n<ID>"s, nuls}) {
        Patch patch;
        patch.text = MakePatchText(bytes);
        EXPECT_TRUE(DecodePatch(patch).ok());
        EXPECT_EQ(PanelOf(patch, Module::Pickup).list.lines, Lines{bytes == nuls ? "SC->HB" : "NOTFND"});
    }
}

// Before any patch every lamp is off and every list empty and enabled; an unreadable file still
// counts as loaded and decodes as the empty patch.
TEST(Decode, StartUpStateAndAnUnreadableLoad) {
    Patch patch;
    EXPECT_EQ(patch.name, "------");
    EXPECT_FALSE(patch.loaded);
    for (const ModulePanel &panel : patch.panels) {
        EXPECT_TRUE(!panel.lampOn && panel.list.lines.empty());
        EXPECT_TRUE(panel.list.enabled && !panel.list.selected);
    }
    const Status outcome = LoadPatchFile(patch, "/nonexistent/folder/x.rp350p");
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().kind(), ErrorKind::NotFound);
    EXPECT_EQ(outcome.message(), "no such file");
    EXPECT_TRUE(patch.loaded);
    EXPECT_EQ(patch.path, "/nonexistent/folder/x.rp350p");
    EXPECT_EQ(patch.name, "");
    EXPECT_EQ(PanelOf(patch, Module::Pickup).list.lines, Lines{"NOTFND"});
}

} // namespace
} // namespace patchlens
