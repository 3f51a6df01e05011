// The collection's entries: what each holds of its patch, the pools it shares, and its two
// fingerprints checked against the comparison itself.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collection/collection.h"
#include "compare/patch_compare.h"
#include "patch_builder.h"

namespace patchlens {
namespace {

namespace fs = std::filesystem;
const fs::path kSamples = PATCHLENS_SAMPLES;

const char *const kSampleNames[] = {"Acoustic Strum", "Clean Lead",  "Direct Whammy", "Grunge Phaser",
                                    "Metal Rhythm",   "Octave Fuzz", "Rotary Organ",  "Screamer Blues"};

std::string SampleBytes(std::string_view name) {
    return ReadPatchFile(kSamples / (std::string(name) + ".rp350p"))->bytes();
}

// Patches with their bytes, added to one collection in this order.
struct Case {
    std::string file;
    std::string bytes;
};

std::vector<Case> Cases() {
    std::vector<Case> cases;
    for (const char *name : kSampleNames)
        cases.push_back({std::string(name) + ".rp350p", SampleBytes(name)});
    const std::string blues = SampleBytes("Screamer Blues");
    cases.push_back({"renamed.rp350p", test::WithName(blues, "Blues Copy")});
    cases.push_back({"drive.rp350p", test::WithText(blues, "2434", "61")});
    cases.push_back({"renamed drive.rp350p", test::WithName(test::WithText(blues, "2434", "61"), "Other")});
    cases.push_back({"off.rp350p", test::WithText(blues, "2433", "Off")});
    // The same lamps and lines, one list greyed: a comparison tells them apart.
    cases.push_back({"bare.rp350p", test::PatchBuilder().Bytes()});
    cases.push_back({"wah off.rp350p", test::PatchBuilder().Param("129", "Wah Enable", "Off").Bytes()});
    return cases;
}

Collection Collect(const std::vector<Case> &cases) {
    Collection collection({"/music"});
    for (const Case &each : cases)
        collection.Add(ScanPatch(0, each.file, MakePatchText(each.bytes)));
    return collection;
}

// Same sound exactly when the comparison finds nothing, module by module too; the patch name plays
// no part. Same chain: the lamps and model lines agree.
TEST(CollectionTest, TheSoundIsWhatTheComparisonSees) {
    const std::vector<Case> cases = Cases();
    const Collection collection = Collect(cases);
    std::vector<FreshPatch> fresh;
    for (const Case &each : cases)
        fresh.push_back(DecodeFresh(each.file, each.bytes));
    for (std::size_t a = 0; a < cases.size(); ++a)
        for (std::size_t b = 0; b < cases.size(); ++b) {
            const PatchComparison comparison = ComparePatches(fresh[a].patch, fresh[b].patch);
            const CollectionEntry &x = collection.entry(a);
            const CollectionEntry &y = collection.entry(b);
            EXPECT_EQ(x.sound == y.sound, !comparison.differs) << cases[a].file << " / " << cases[b].file;
            for (std::size_t i = 0; i < kModuleCount; ++i)
                EXPECT_EQ(collection.SameForComparison(x.modules[i], y.modules[i]),
                          !comparison.modules[i].differs)
                    << cases[a].file << " / " << cases[b].file << " " << Modules()[i].name;
        }

    const auto sound = [&](std::size_t i) { return collection.entry(i).sound; };
    const auto chain = [&](std::size_t i) { return collection.entry(i).chain; };
    const std::size_t blues = 7, renamed = 8, drive = 9, renamedDrive = 10, off = 11, bare = 12, wahOff = 13;
    EXPECT_EQ(sound(renamed), sound(blues)); // a renamed copy: a duplicate
    EXPECT_EQ(chain(renamed), chain(blues));
    EXPECT_NE(sound(drive), sound(blues)); // one knob: a variant
    EXPECT_EQ(chain(drive), chain(blues));
    EXPECT_EQ(sound(renamedDrive), sound(drive));
    EXPECT_NE(sound(off), sound(blues)); // a module off: neither
    EXPECT_NE(chain(off), chain(blues));
    EXPECT_NE(sound(wahOff), sound(bare)); // the greying alone
    EXPECT_EQ(chain(wahOff), chain(bare));
    EXPECT_EQ(collection.SoundCount(), cases.size() - 2);
}

// Panels as no file may decode to: the sound still follows the comparison, which reads lines 0 to 5
// (the Pickup's line 0 only) and a missing line as the empty one.
TEST(CollectionTest, TheSoundReadsTheLinesTheComparisonReads) {
    using Lines = std::vector<std::string>;
    const Lines seven = {"A", "B", "C", "D", "E", "F", "G"};
    struct Pair {
        Module module;
        Lines a, b;
    };
    const Pair pairs[] = {
        {Module::Delay, {"A", "B"}, {"A", "B", ""}},
        {Module::Delay, seven, {"A", "B", "C", "D", "E", "F", "H"}},
        {Module::Delay, {"A", "B"}, {"A", "C"}},
        {Module::Delay, {"A"}, {"A", "", "x"}},
        {Module::Pickup, {"SC->HB", "x"}, {"SC->HB"}},
        {Module::Pickup, {"SC->HB"}, {"HB->SC"}},
    };
    for (const Pair &pair : pairs) {
        Collection collection;
        Patch a, b;
        for (const auto &[lines, patch] : {std::pair{&pair.a, &a}, std::pair{&pair.b, &b}}) {
            ScannedPatch scanned;
            scanned.modules[IndexOf(pair.module)].lines = *lines;
            patch->panels[IndexOf(pair.module)].list.lines = *lines;
            collection.Add(scanned);
        }
        EXPECT_EQ(collection.entry(0).sound == collection.entry(1).sound, !ComparePatches(a, b).differs)
            << pair.a.size() << " " << pair.b.size();
    }
}

// Each entry holds what the panels show, the texts and states kept once for the whole collection.
TEST(CollectionTest, EntriesHoldWhatThePanelsShowInSharedPools) {
    const std::vector<Case> cases = Cases();
    Collection collection = Collect(cases);
    for (std::size_t e = 0; e < cases.size(); ++e) {
        const FreshPatch fresh = DecodeFresh(cases[e].file, cases[e].bytes);
        EXPECT_EQ(collection.File(e), cases[e].file);
        EXPECT_EQ(collection.Name(e), fresh.patch.name);
        EXPECT_EQ(collection.FullPath(e), fs::path("/music") / cases[e].file);
        EXPECT_TRUE(collection.Reason(e).empty());
        const PatchFacts facts = collection.Facts(e);
        EXPECT_EQ(facts.file, cases[e].file);
        const ScannedPatch scanned = ScanPatch(0, cases[e].file, MakePatchText(cases[e].bytes));
        const ScannedFacts own(scanned);
        for (const ModuleInfo &info : Modules()) {
            const std::size_t i = IndexOf(info.module);
            const ModulePanel &panel = fresh.patch.panels[i];
            for (const ModuleFacts &module : {facts.modules[i], own.facts().modules[i]}) {
                EXPECT_EQ(module.lampOn, panel.lampOn) << cases[e].file << " " << info.name;
                EXPECT_EQ(module.enabled, panel.list.enabled) << cases[e].file << " " << info.name;
                EXPECT_EQ(std::vector<std::string>(module.lines.begin(), module.lines.end()),
                          panel.list.lines)
                    << cases[e].file << " " << info.name;
                EXPECT_EQ(module.modelText, facts.modules[i].modelText);
            }
            EXPECT_EQ(collection.ModuleLines(e, info.module).data(), facts.modules[i].lines.data());
        }
    }
    // The model texts as the file holds them, also for a module the search does not offer.
    const PatchFacts grunge = collection.Facts(3);
    EXPECT_EQ(grunge.modules[IndexOf(Module::Distortion)].modelText, "Grunge");
    EXPECT_EQ(grunge.modules[IndexOf(Module::ChorusFx)].modelText, "Trig Phaser");
    EXPECT_FALSE(grunge.modules[IndexOf(Module::AmplifierA)].modelText.empty());

    // The same patches again add entries, and no text and no state.
    const std::size_t texts = collection.TextCount(), states = collection.StateCount();
    const std::string_view firstLine = collection.ModuleLines(0, Module::AmplifierA)[0];
    for (const Case &each : cases)
        collection.Add(ScanPatch(0, "again/" + each.file, MakePatchText(each.bytes)));
    EXPECT_EQ(collection.size(), 2 * cases.size());
    EXPECT_EQ(collection.TextCount(), texts);
    EXPECT_EQ(collection.StateCount(), states);
    EXPECT_EQ(collection.entry(cases.size()).sound, collection.entry(0).sound);
    EXPECT_EQ(collection.ModuleLines(0, Module::AmplifierA)[0].data(), firstLine.data()); // nothing moved
}

// A refused file: its status, the load's own words, and every module as before any patch.
TEST(CollectionTest, RefusedFilesKeepTheReasonTheViewerGives) {
    test::PatchBuilder newer;
    newer.schemaVersion = "1.3";
    const FreshPatch fresh = DecodeFresh("newer.rp350p", newer.Bytes());
    struct Refusal {
        Result<PatchText> read;
        EntryStatus status;
        std::string reason;
    };
    const Refusal refusals[] = {
        {MakePatchText(newer.Bytes()), EntryStatus::NewerSchema, fresh.outcome.message()},
        {Error::TooLarge("too large: 9 bytes"), EntryStatus::TooLarge, "too large: 9 bytes"},
        {Error::Unreadable("Permission denied"), EntryStatus::Unreadable, "Permission denied"},
        {Error::NotFound("no such file"), EntryStatus::Unreadable, "no such file"},
    };
    EXPECT_NE(fresh.outcome.message().find("Wrong Schema Version!: 1.3"), std::string::npos);
    Collection collection;
    for (const Refusal &refusal : refusals) {
        const ScannedPatch scanned = ScanPatch(0, "x.rp350p", refusal.read);
        EXPECT_EQ(scanned.status, refusal.status);
        EXPECT_FALSE(scanned.accepted());
        EXPECT_EQ(scanned.reason, refusal.reason);
        const std::size_t at = collection.Add(scanned);
        EXPECT_EQ(collection.Reason(at), refusal.reason);
        EXPECT_EQ(collection.entry(at).status, refusal.status);
        EXPECT_TRUE(collection.Name(at).empty());
        for (const StateId state : collection.entry(at).modules)
            EXPECT_EQ(state, 0u);
    }
    const ModuleFacts none = collection.State(0);
    EXPECT_TRUE(!none.lampOn && none.enabled && none.lines.empty() && none.modelText.empty());
}

} // namespace
} // namespace patchlens
