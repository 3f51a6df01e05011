// The collection filter: reading every form, applying it to three patches whose lines are written
// as the panels show them, and the refusals with their messages and places.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "collection/patch_filter.h"
#include "search/search_modules.h"
#include "vocabulary/model_naming.h"

namespace patchlens {
namespace {

struct ModuleLines {
    Module module;
    bool on;
    std::vector<std::string_view> lines;
    std::string_view modelText;
};

// One patch's facts with the lines they view.
struct TestPatch {
    std::array<std::vector<std::string_view>, kModuleCount> lines;
    PatchFacts facts;

    TestPatch(std::string_view file, std::string_view name, std::initializer_list<ModuleLines> modules) {
        facts.file = file;
        facts.name = name;
        for (const ModuleLines &module : modules) {
            const std::size_t at = IndexOf(module.module);
            lines[at] = module.lines;
            facts.modules[at] = {module.on, module.on, lines[at], module.modelText};
        }
    }
    TestPatch(const TestPatch &) = delete;
};

// A: Screamer Blues, B: Rotary Organ, C: Blues Lead Phaser.
const TestPatch &Patch(char which) {
    using M = Module;
    static const TestPatch a(
        "blues/Screamer Blues.rp350p", "Screamer Blues",
        {{M::Pickup, true, {"HB->SC"}, ""},
         {M::Distortion, true, {"SCREAM", "DRIVE_= 60", "TONE__= 55", "", "", "LEVEL_= 70"}, "Screamer"},
         {M::AmplifierA, true, {"2101CT", "DRV112", "AMPGAN= 42", "", "", "AMPLVL= 80"}, ""},
         {M::EqualizerA, true, {"BRGHT", "BASS__= +3 ", "MIDRNG= -2 ", "TREBLE= +1 ", "= 800 Hz"}, ""},
         {M::ChorusFx, false, {"CE CHS", "= Post Amp", "SPEED_= 30", "DEPTH_= 45", "", ""}, "CE Chorus"},
         {M::Delay, true, {"TAPDLY", "= 450 ms", "REPEAT= 8", "WOW___= 25"}, "Tape"},
         {M::Reverb, true, {"TWINRV", "", "", "", "", "REVERB= 30"}, "Twin Reverb"},
         {M::Lfo1, true, {"CHO-SPEED", "= 0", "= 99", "= Triangle", "= 0.50 Hz", ""}, ""}});
    static const TestPatch b(
        "live/Rotary Organ.rp350p", "Rotary Organ",
        {{M::Pickup, true, {"HB->SC"}, ""},
         {M::Distortion, false, {"SCREAM", "DRIVE_= 60", "TONE__= 55", "", "", "LEVEL_= 70"}, "Screamer"},
         {M::AmplifierA, true, {"TOPBST", "BRT212", "AMPGAN= 30"}, ""},
         {M::ChorusFx, true, {"ROTARY", "= Post Amp", "SPEED_= Fast", "INTSTY= 70"}, "Rotary"},
         {M::Delay, false, {"ALGDLY", "= 450 ms", "REPEAT= 8"}, "Analog"},
         {M::Reverb, true, {"LEXSTD", "PREDLY= 20 ms", "DECAY_= 2.5 s", "LIVNES= 6"}, "Lexicon Studio"},
         {M::Lfo1, true, {"VOLPST", "= 0", "= 99", "= Square", "= 1.00 Hz"}, ""}});
    static const TestPatch c(
        "live/grunge/Blues Lead.rp350p", "Blues Lead Phaser",
        {{M::Distortion, true, {"GRUNGE", "GRUNGE= 80", "", "", "", "LEVEL_= 50"}, "Grunge"},
         {M::ChorusFx, true, {"TRGPHS", "SPEED_= 12", "RANGE_= 3"}, "Trig Phaser"},
         {M::Delay, true, {"DIGDLY", "= 300 ms", "REPEAT= 20"}, "Digital"},
         {M::Lfo1, false, {"NOLINK", "= 0", "= 99", "= Sine"}, ""}});
    return which == 'A' ? a : (which == 'B' ? b : c);
}

// The patches of A, B and C that pass the filter, as "AC".
std::string MatchingPatches(std::string_view text) {
    const Result<PatchFilter> filter = ParseFilter(text);
    if (!filter.ok())
        return "refused: " + filter.message();
    std::string found;
    for (const char which : {'A', 'B', 'C'})
        if (Matches(*filter, Patch(which).facts))
            found += which;
    return found;
}

TEST(PatchFilterTest, ModulesAreNamedByCaptionOrShortName) {
    const std::pair<std::string_view, Module> names[] = {{"Compressor", Module::Compressor},
                                                         {"Distortion", Module::Distortion},
                                                         {"AmpA", Module::AmplifierA},
                                                         {"Amp A", Module::AmplifierA},
                                                         {"amplifier_a", Module::AmplifierA},
                                                         {"EQB", Module::EqualizerB},
                                                         {"eq-a", Module::EqualizerA},
                                                         {"NoiseGate", Module::NoiseGate},
                                                         {"noise gate", Module::NoiseGate},
                                                         {"ChorusFx", Module::ChorusFx},
                                                         {"Chorus/Fx", Module::ChorusFx},
                                                         {"LFO1", Module::Lfo1},
                                                         {"lfo 2", Module::Lfo2},
                                                         {"Expression", Module::Expression},
                                                         {"Pickup", Module::Pickup},
                                                         {"Delay", Module::Delay},
                                                         {"REVERB", Module::Reverb},
                                                         {"Wah", Module::Wah},
                                                         {"AMPLIFIER B", Module::AmplifierB}};
    for (const auto &[name, module] : names)
        EXPECT_EQ(FindModuleByName(name), module) << name;
    // The Pickup has no short name: nothing is named by the empty text.
    for (const std::string_view unknown : {"", "_", " / ", "Amp", "Flanger", "Chorus Fx 2"})
        EXPECT_EQ(FindModuleByName(unknown), std::nullopt) << unknown;
}

TEST(PatchFilterTest, EveryFormPicksItsPatches) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        // The empty filter shows everything.
        {"", "ABC"},
        {"  ", "ABC"},
        // Lamps, by any of the module's names.
        {"Delay", "AC"},
        {"!Delay", "B"},
        {"! delay", "B"},
        {"\"Amp A\"", "AB"},
        {"Delay !LFO1", "C"},
        // Models: the model line as shown or the model text of the file; the module must be on.
        {"Distortion=Screamer", "A"},
        {"distortion = scream", "A"},
        {"Chorus/Fx=Phaser", "C"},
        {"ChorusFx=\"trig phaser\"", "C"},
        {"Chorus/Fx=rot", "B"},
        {"Reverb=\"Lexicon Studio\"", "B"},
        {"Reverb=LEXSTD", "B"},
        {"Pickup=hb->", "AB"},
        {"Distortion=\"\"", "AC"},
        // Knobs by label: any case, trailing '_' ignored, whether the module is on or off.
        {"Distortion.DRIVE >= 60", "AB"},
        {"Distortion.drive_=60", "AB"},
        {"Distortion Distortion.DRIVE >= 60", "A"},
        {"Distortion.DRIVE > 60", ""},
        {"Reverb.DECAY < 3", "B"},
        {"Reverb.decay_ >= 3", ""},
        {"Reverb.DECAY != 3", "B"}, // a module without the label does not match, != neither
        {"\"Amp A\".AMPGAN > 40", "A"},
        {"EqualizerA.BASS = +3", "A"},
        {"EQ_A.MIDRNG < -1", "A"},
        {"EQA.MIDRNG > -2", ""},
        {"ChorusFx.SPEED = fast", "B"},
        {"ChorusFx.SPEED ~ AS", "B"},
        {"ChorusFx.SPEED <= 12", "C"},
        {"Distortion.GRUNGE >= 80", "C"},
        // Knobs by row: row 1 is the model line; a row without '=' shows itself whole.
        {"Delay.2 >= 400", "AB"},
        {"Delay Delay.2 >= 400", "A"},
        {"Delay.2 < 400", "C"},
        {"Delay.2 = 450", "AB"},
        {"Delay.2 = \"450 ms\"", "AB"},
        {"Delay.2 != 450", "C"},
        {"Delay.2 ~ MS", "ABC"},
        {"Delay.1 = tapdly", "A"},
        {"Delay.1 ~ dly", "ABC"},
        {"LFO1.4 = triangle", "A"},
        {"LFO1.4 != TRIANGLE", "BC"},
        {"LFO1.4 > sine", "AB"},
        {"LFO1.5 = .5", "A"},
        {"LFO1.5 < 1", "A"},
        {"LFO1.5 = 0.500", "A"},
        {"LFO1.5 < 0.5000000000000001", "A"},
        {"LFO1.5 >= -1.5e9", "AB"}, // no exponents: -1.5 and a unit
        {"Distortion.4 = \"\"", "ABC"},
        {"Pickup.2 != x", ""}, // no such row
        {"Reverb.99999999999999999999999 = 1", ""},
        // Names and paths.
        {"name~blues", "AC"},
        {"name~\"blues lead\"", "C"},
        {"name = \"screamer BLUES\"", "A"},
        {"name=screamer", ""},
        {"file~live/", "BC"},
        {"file~LIVE/GRUNGE", "C"},
        {"file=\"live/Rotary Organ.rp350p\"", "B"},
        // Side by side binds tighter than or; parentheses group.
        {"Reverb Delay or Chorus/Fx", "ABC"},
        {"Reverb (Delay or Chorus/Fx)", "AB"},
        {"!Reverb or name~rotary", "BC"},
        {"Delay OR !Delay", "ABC"},
        {"((Delay)) ( name~lead or file~blues/ )", "AC"},
        {"Delay.2>=400 or(LFO1.4=sine)", "ABC"},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(MatchingPatches(text), expected) << text;
}

// The search finds a model where the file's model text holds it, letter case and all; the filter
// also looks at the model line. For every model of the search's lists both must agree.
TEST(PatchFilterTest, ModelsAgreeWithTheSearch) {
    for (const SearchModule &searched : SearchModules()) {
        const std::optional<Module> module = FindModuleByName(searched.entry);
        ASSERT_TRUE(module) << searched.entry;
        for (const std::string_view modelText : searched.models) {
            const std::optional<std::string_view> modelLine =
                AbbreviateModel(InfoOf(*module).context, modelText);
            ASSERT_TRUE(modelLine) << modelText;
            const std::string_view lines[] = {*modelLine};
            PatchFacts facts;
            facts.modules[IndexOf(*module)] = {true, true, lines, modelText};
            for (const std::string_view wanted : searched.models) {
                const std::string text =
                    "\"" + std::string(searched.entry) + "\"=\"" + std::string(wanted) + "\"";
                const Result<PatchFilter> filter = ParseFilter(text);
                ASSERT_TRUE(filter.ok()) << text;
                EXPECT_EQ(Matches(*filter, facts), modelText.find(wanted) != std::string_view::npos)
                    << text << " on " << modelText;
            }
        }
    }
}

TEST(PatchFilterTest, BadFiltersAreRefusedAtTheirPlace) {
    const std::string tooDeep = std::string(65, '(') + "Delay" + std::string(65, ')');
    const std::string termExpected = "a module, name~, file~, \"!\" or \"(\" expected";
    const struct {
        std::string text;
        std::string message;
        std::size_t offset;
    } cases[] = {
        {"Delay.", "after \"Delay.\": a label, a row number or a model expected", 6},
        {"Delay Delay. >= 3", "after \"Delay.\": a label, a row number or a model expected", 12},
        {"Delay.__ = 3", "after \"Delay.\": a label, a row number or a model expected", 6},
        {"Delay.0 > 1", "after \"Delay.\": rows count from 1 (the model line)", 6},
        {"Delay.2", "after \"Delay.2\": an operator expected (= != < <= > >= ~)", 7},
        {"Delay.2 400", "after \"Delay.2\": an operator expected (= != < <= > >= ~)", 8},
        {"Delay.2 == 400", "after \"Delay.2\": unknown operator \"==\"", 8},
        {"Delay.2=>400", "after \"Delay.2\": unknown operator \"=>\"", 7},
        {"Delay.2 >=", "after \"Delay.2 >=\": a value expected", 10},
        {"(Delay.2 >= )", "after \"Delay.2 >=\": a value expected", 12},
        {"Flanger", "unknown module \"Flanger\"", 0},
        {"Delay !Wha", "unknown module \"Wha\"", 7},
        {"\"Amp\".AMPGAN > 3", "unknown module \"Amp\"", 0},
        {"blues lead", "unknown module \"blues\"", 0},
        {"!", "after \"!\": a module expected", 1},
        {"!Delay.2 > 3", "after \"!Delay\": \"!\" takes a module alone, without a model or a knob", 6},
        {"! Distortion=Screamer",
         "after \"! Distortion\": \"!\" takes a module alone, without a model or a knob", 12},
        {"Distortion=", "after \"Distortion=\": a model expected", 11},
        {"Distortion~Screamer",
         "after \"Distortion\": \"=\" and a model, or \".\" and a label or row, expected", 10},
        {"Delay != 3", "after \"Delay\": \"=\" and a model, or \".\" and a label or row, expected", 6},
        {"name", "after \"name\": \"~\" or \"=\" expected", 4},
        {"file <= a", "after \"file\": \"~\" or \"=\" expected", 5},
        {"name~", "after \"name~\": a text expected", 5},
        {"name~\"blues lead", "the quote here is not closed", 5},
        {"\"Amp A", "the quote here is not closed", 0},
        {"(Delay Reverb", "after \"(Delay Reverb\": \")\" expected", 13},
        {"Delay)", "\")\" without a matching \"(\"", 5},
        {"Delay or", "after \"or\": " + termExpected, 8},
        {"Delay or or Reverb", "after \"or\": " + termExpected, 9},
        {"or Delay", "at the start: " + termExpected, 0},
        {"()", "after \"(\": " + termExpected, 1},
        {"Delay (or Reverb)", "after \"(\": " + termExpected, 7},
        {"Delay ~x", "after \"Delay\": \"=\" and a model, or \".\" and a label or row, expected", 6},
        {"name~x =y", "after \"name~x\": " + termExpected, 7},
        {tooDeep, "more than 64 parentheses inside each other", 64},
    };
    for (const auto &bad : cases) {
        const Result<PatchFilter> filter = ParseFilter(bad.text);
        ASSERT_FALSE(filter.ok()) << bad.text;
        EXPECT_EQ(filter.error().kind(), ErrorKind::Refused) << bad.text;
        EXPECT_EQ(filter.message(), bad.message) << bad.text;
        EXPECT_EQ(filter.error().position(), bad.offset) << bad.text;
    }
    // As deep as allowed still reads.
    EXPECT_EQ(MatchingPatches(std::string(64, '(') + "Delay" + std::string(64, ')')), "AC");
}

} // namespace
} // namespace patchlens
