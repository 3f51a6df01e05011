// How a module's model and knob values become its panel lines: the naming rules, value edits,
// placement, and what a missing value does to the lines after it. The golden panels of the samples
// show the device's tables row by row; these cases show the rules the samples do not reach.

#include <gtest/gtest.h>

#include <array>

#include "panels/panel_list.h"
#include "patch_builder.h"
#include "vocabulary/link_targets.h"
#include "vocabulary/model_catalogue.h"
#include "vocabulary/model_naming.h"

namespace patchlens {
namespace {

using Lines = std::vector<std::string>;

TEST(PanelListRules, InsertBeyondTheEndIsRefusedAndSelectionFollowsItsLine) {
    PanelList list;
    EXPECT_FALSE(InsertLine(list, 1, "x"));
    EXPECT_TRUE(list.lines.empty());
    AppendLine(list, "a");
    AppendLine(list, "b");
    SelectLine(list, 1);
    EXPECT_TRUE(InsertLine(list, 0, "first"));
    EXPECT_EQ(list.selected, 2u);
    EXPECT_TRUE(InsertLine(list, 3, "end")); // at the end is allowed
    DeleteLine(list, 0);
    EXPECT_EQ(list.selected, 1u);
    DeleteLine(list, 1);
    EXPECT_FALSE(list.selected);
    DeleteLine(list, 9);
    EXPECT_EQ(list.lines, (Lines{"a", "end"}));
    EXPECT_EQ(LineAt(list, 5), "");
    SelectLine(list, 7);
    EXPECT_FALSE(list.selected);
}

TEST(ModelNaming, WholeTextsContainedAmplifiersAndTheFirstCabinetRow) {
    for (const char *text : {"screamer", "Screamer ", "Scream"})
        EXPECT_FALSE(AbbreviateModel("Distortion", text)) << text;
    // Of the amplifier patterns in the text the longest wins; of equal ones the earlier row.
    EXPECT_EQ(AbbreviateModel("Amp A", "Solo Metal"), "DIGMTL");
    EXPECT_EQ(AbbreviateModel("Amp A", "Clean Metal"), "DIGMTL");
    EXPECT_EQ(AbbreviateModel("Amp A", "Metal Clean"), "DIGMTL");
    EXPECT_FALSE(AbbreviateModel("Amp A", "clean"));
    EXPECT_EQ(AbbreviateCabinet("Deluxe 1x12"), std::nullopt); // "Deluxe" counts in 13 characters only
    EXPECT_EQ(AbbreviateCabinet("Champ Direct"), "CHMP 18");
    EXPECT_EQ(AbbreviateCabinet("direct"), std::nullopt);
    for (const char *unknown : {"Octaver Octave 2", "none", ""})
        EXPECT_EQ(LookupLinkTarget(unknown), unknown);
    // A catalogue model the naming does not know would show its knobs under no model line.
    for (const CatalogueEntry &entry : ModelCatalogue())
        for (const CatalogueModel &model : entry.models)
            EXPECT_TRUE(entry.fixedLayout || AbbreviateModel(entry.context, model.name)) << model.name;
}

TEST(KnobLines, ValueEditsAndWhereAMissingValueLeavesTheLinesAfterIt) {
    const struct {
        const char *what, *context;
        std::vector<std::array<const char *, 3>> params; // id, name line, text
        Lines lines;
    } cases[] = {
        {"the Wah drops dB from its level only", "Wah",
         {{"128", "Wah Type", "Cry Wah"}, {"8195", "Wah Min", "-3 dB"}, {"133", "Wah Vol. Boost", "+3 dB"}},
         {"CRYWAH", "WAHMIN= -3 dB", "", "", "WAHLVL= +3 "}},
        {"Expression: headings, &gt; and semitones edited", "Expression",
         {{"8194", "Expression Assign", "Pitch Shift Amount"},
          {"8195", "Expression Min", "0 semitones"},
          {"8196", "Expression Max", "a&gt;b&gt;c"}},
         {"PSH-SHIFT", "PEDAL MIN", "= 0 semit", "PEDAL MAX", "= a>b>c", ""}},
        {"an Expression heading stays without its value", "Expression",
         {{"8194", "Expression Assign", "Dist Drive"}, {"8196", "Expression Max", "99"}},
         {"DST-DRIVE", "PEDAL MIN", "PEDAL MAX", "= 99", ""}},
        {"an LFO keeps semitones", "LFO2",
         {{"8258", "LFO2 Assign", "Pitch Shift Amount"}, {"8259", "LFO2 Min", "-7 semitones"}},
         {"PSH-SHIFT", "= -7 semitones", ""}},
        {"an LFO without assignment shows only its empty last slot", "LFO1",
         {{"8259", "LFO1 Min", "0"}, {"8260", "LFO1 Max", "9"}},
         {""}},
        {"an LFO missing an earlier value refuses the later insertions", "LFO1",
         {{"8258", "LFO1 Assign", "Dist Drive"}, {"8260", "LFO1 Max", "9"}, {"8263", "LFO1 Waveform", "x"}},
         {"DST-DRIVE", ""}},
        {"a Reverb missing its predelay loses the values inserted after it", "Reverb",
         {{"1920", "Reverb Type", "Lexicon Hall"},
          {"1927", "Reverb Decay", "2.5 s"},
          {"1933", "Reverb Liveliness", "6"},
          {"1925", "Reverb Level", "30"}},
         {"LEXHAL", ""}},
        {"appended lines move up past missing values", "Distortion",
         {{"2432", "Dist Type", "Screamer"}, {"2436", "Dist Level", "70"}},
         {"SCREAM", "", "", "LEVEL_= 70"}},
        {"no cabinet line without an amplifier line", "Amp A",
         {{"2496", "Amp A Type", "Unknown Amp"},
          {"2560", "Cab A Type", "British 4x12"},
          {"2497", "Amp A Gain", "60"},
          {"2498", "Amp A Level", "70"}},
         {"AMPGAN= 60", "", "", "AMPLVL= 70", ""}},
    };
    for (const auto &c : cases) {
        test::PatchBuilder builder;
        for (const auto &[id, name, text] : c.params)
            builder.Param(id, name, text);
        // The model line and the knob lines of one module, as the module pass runs them.
        PatchText text = MakePatchText(builder.Bytes());
        PanelList list;
        const std::string model = ShowModelLine(text, c.context, list);
        ShowKnobLines(text, c.context, BuildKnobList(c.context, model), list);
        EXPECT_EQ(list.lines, c.lines) << c.what;
    }
}

} // namespace
} // namespace patchlens
