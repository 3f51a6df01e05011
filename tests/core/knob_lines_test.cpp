// How a module's model and knob values become its panel lines: model line, value edits,
// placement, and what a missing value does to the lines after it.

#include <gtest/gtest.h>

#include "panels/panel_list.h"
#include "patch_builder.h"
#include "vocabulary/link_targets.h"
#include "vocabulary/model_catalogue.h"
#include "vocabulary/model_naming.h"

namespace patchlens {
namespace {

using test::PatchBuilder;
using Lines = std::vector<std::string>;

// Runs the model line and the knob lines of one module over the patch, as the module pass does.
PanelList Show(const PatchBuilder &patch, std::string_view context) {
    PatchText text = MakePatchText(patch.Bytes());
    PanelList list;
    const std::string model = ShowModelLine(text, context, list);
    ShowKnobLines(text, context, BuildKnobList(context, model), list);
    return list;
}

TEST(PanelListRules, InsertBeyondTheEndIsRefusedAndSelectionFollowsItsLine) {
    PanelList list;
    EXPECT_FALSE(InsertLine(list, 1, "x"));
    EXPECT_TRUE(list.lines.empty());
    AppendLine(list, "a");
    AppendLine(list, "b");
    SelectLine(list, 1);
    EXPECT_TRUE(InsertLine(list, 0, "first"));
    EXPECT_EQ(list.selected, 2);
    EXPECT_TRUE(InsertLine(list, 3, "end")); // at the end is allowed
    DeleteLine(list, 0);
    EXPECT_EQ(list.selected, 1);
    DeleteLine(list, 1);
    EXPECT_EQ(list.selected, -1);
    DeleteLine(list, 9);
    EXPECT_EQ(list.lines, (Lines{"a", "end"}));
    EXPECT_EQ(LineAt(list, 5), "");
    SelectLine(list, 7);
    EXPECT_EQ(list.selected, -1);
}

TEST(KnobLines, WahDropsDbFromItsLevelOnly) {
    PatchBuilder patch;
    patch.Param("128", "Wah Type", "Cry Wah")
        .Param("8195", "Wah Min", "-3 dB")
        .Param("133", "Wah Vol. Boost", "+3 dB");
    EXPECT_EQ(Show(patch, "Wah").lines, (Lines{"CRYWAH", "WAHMIN= -3 dB", "", "", "WAHLVL= +3 "}));
}

TEST(KnobLines, EqualizerDropsEveryDb) {
    PatchBuilder patch;
    patch.Param("3202", "EQ A Type", "Warm")
        .Param("3203", "EQ A Bass", "+3 dB")
        .Param("3204", "EQ A Mid", "-2dBdB")
        .Param("3205", "EQ A Treb", "1 dB 2")
        .Param("3206", "EQ A Mid Freq", "800 Hz")
        .Param("3207", "EQ A Presence", "0dB");
    EXPECT_EQ(Show(patch, "EQ A").lines,
              (Lines{"WARM", "BASS__= +3 ", "MIDRNG= -2", "TREBLE= 1  2", "= 800 Hz", "PRESNC= 0"}));
}

TEST(KnobLines, ExpressionHeadingsAndEdits) {
    PatchBuilder patch;
    patch.Param("8194", "Expression Assign", "Pitch Shift Amount")
        .Param("8195", "Expression Min", "0 semitones")
        .Param("8196", "Expression Max", "a&gt;b&gt;c");
    const PanelList list = Show(patch, "Expression");
    EXPECT_EQ(list.lines, (Lines{"PSH-SHIFT", "PEDAL MIN", "= 0 semit", "PEDAL MAX", "= a>b>c", ""}));
}

TEST(KnobLines, ExpressionHeadingStaysWhenTheValueIsMissing) {
    PatchBuilder patch;
    patch.Param("8194", "Expression Assign", "Dist Drive").Param("8196", "Expression Max", "99");
    EXPECT_EQ(Show(patch, "Expression").lines, (Lines{"DST-DRIVE", "PEDAL MIN", "PEDAL MAX", "= 99", ""}));
}

TEST(KnobLines, UnassignedExpressionAndLfoStopAtOnce) {
    PatchBuilder patch;
    patch.Param("8194", "Expression Assign", "None")
        .Param("8195", "Expression Min", "0")
        .Param("8258", "LFO1 Assign", "None")
        .Param("8259", "LFO1 Min", "0");
    const PanelList expression = Show(patch, "Expression");
    EXPECT_EQ(expression.lines, Lines{"NOLINK"});
    EXPECT_EQ(expression.selected, -1);
    const PanelList lfo = Show(patch, "LFO1");
    EXPECT_EQ(lfo.lines, Lines{"NOLINK"});
    EXPECT_EQ(lfo.selected, 0);
}

TEST(KnobLines, LfoInsertsAtItsSlotAndKeepsSemitones) {
    PatchBuilder patch;
    patch.Param("8258", "LFO2 Assign", "Rotary Speed")
        .Param("8259", "LFO2 Min", "Slow&gt;Fast")
        .Param("8260", "LFO2 Max", "+7 semitones")
        .Param("8263", "LFO2 Waveform", "Sine")
        .Param("8262", "LFO2 Speed", "1.00 Hz");
    const PanelList list = Show(patch, "LFO2");
    EXPECT_EQ(list.lines, (Lines{"ROT-SPEED", "= Slow>Fast", "= +7 semitones", "= Sine", "= 1.00 Hz", ""}));
    EXPECT_EQ(list.selected, 0);
}

TEST(KnobLines, LfoWithoutAssignmentShowsOnlyItsEmptyLastSlot) {
    PatchBuilder patch;
    patch.Param("8259", "LFO1 Min", "0").Param("8260", "LFO1 Max", "9");
    EXPECT_EQ(Show(patch, "LFO1").lines, Lines{""});
}

TEST(KnobLines, LfoMissingEarlierValueRefusesTheLaterInsertions) {
    PatchBuilder patch;
    patch.Param("8258", "LFO1 Assign", "Dist Drive")
        .Param("8260", "LFO1 Max", "9") // slot 1 is missing, so position 2 does not exist yet
        .Param("8263", "LFO1 Waveform", "Sine");
    EXPECT_EQ(Show(patch, "LFO1").lines, (Lines{"DST-DRIVE", ""}));
}

TEST(KnobLines, ReverbWithoutModelLineShowsOnlyEmptySlots) {
    PatchBuilder patch;
    patch
        .Param("1920", "Reverb Type", "Lexicon hall") // no such model: no knob list either
        .Param("1922", "Reverb Predelay", "20 ms");
    EXPECT_EQ(Show(patch, "Reverb").lines, (Lines{"", "", "", "", ""}));

    PatchBuilder twin;
    twin.Param("1920", "Reverb Type", "Twin Reverb").Param("1925", "Reverb Level", "30");
    EXPECT_EQ(Show(twin, "Reverb").lines, (Lines{"TWINRV", "", "", "", "", "REVERB= 30"}));
}

TEST(KnobLines, ReverbMissingEarlierValueLosesTheInsertedValuesAfterIt) {
    PatchBuilder patch;
    patch.Param("1920", "Reverb Type", "Lexicon Hall")
        .Param("1927", "Reverb Decay", "2.5 s") // predelay missing: position 2 does not exist yet
        .Param("1933", "Reverb Liveliness", "6")
        .Param("1925", "Reverb Level", "30");
    EXPECT_EQ(Show(patch, "Reverb").lines, (Lines{"LEXHAL", ""}));
}

TEST(KnobLines, AppendingModulesMoveLaterLinesUpWhenAValueIsMissing) {
    PatchBuilder patch;
    patch.Param("2432", "Dist Type", "Screamer").Param("2436", "Dist Level", "70");
    // Drive and tone are missing: the empty knobSlots 3 and 4 and the level move up by two lines.
    EXPECT_EQ(Show(patch, "Distortion").lines, (Lines{"SCREAM", "", "", "LEVEL_= 70"}));
}

TEST(KnobLines, UnlabelledKnobsShowOnlyTheirValue) {
    PatchBuilder patch;
    patch.Param("768", "Chorus/FX Type", "Pitch Shift")
        .Param("770", "Chorus/FX Position", "Pre Amp")
        .Param("1730", "Pitch Shift Amount", "+7 semitones")
        .Param("1745", "Pitch Shift Mix", "50");
    EXPECT_EQ(Show(patch, "ChorusFx").lines,
              (Lines{"PITCH", "= Pre Amp", "= +7 semitones", "", "", "MIX___= 50"}));
}

TEST(AmplifierPanel, CabinetAtLine1AndTheSixthLineDeleted) {
    PatchBuilder patch;
    patch.Param("2496", "Amp A Type", "83 JCM800")
        .Param("2560", "Cab A Type", "British 4x12")
        .Param("2497", "Amp A Gain", "60")
        .Param("2498", "Amp A Level", "70");
    const PanelList list = Show(patch, "Amp A");
    EXPECT_EQ(list.lines, (Lines{"800JCM", "CLS412", "AMPGAN= 60", "", "", "AMPLVL= 70"}));
    EXPECT_EQ(list.selected, 0);
}

TEST(AmplifierPanel, NoCabinetLineWithoutAnAmplifierLine) {
    PatchBuilder patch;
    patch.Param("2496", "Amp A Type", "Unknown Amp")
        .Param("2560", "Cab A Type", "British 4x12")
        .Param("2497", "Amp A Gain", "60")
        .Param("2498", "Amp A Level", "70");
    EXPECT_EQ(Show(patch, "Amp A").lines, (Lines{"AMPGAN= 60", "", "", "AMPLVL= 70", ""}));
}

TEST(AmplifierPanel, AcousticAndDirectRule) {
    PatchBuilder patch;
    patch.Param("2496", "Amp B Type", "Direct")
        .Param("2560", "Cab B Type", "Direct")
        .Param("2497", "Amp B Gain", "60")
        .Param("2498", "Amp B Level", "AMPLVL 70");
    PanelList list = Show(patch, "Amp B");
    ApplyAcousticDirectRule(list);
    EXPECT_EQ(list.lines, (Lines{"DIRECT", "DIRECT", "", "", "", "LEVEL= LEVEL 70"}));

    PanelList other;
    other.lines = {"800JCM", "CLS412", "AMPGAN= 60", "", "", "AMPLVL= 70"};
    const Lines before = other.lines;
    ApplyAcousticDirectRule(other);
    EXPECT_EQ(other.lines, before);
}

} // namespace
} // namespace patchlens
