// Comparing two patches, each side decoded from scratch (the samples compared in every form are
// in the command line's golden outputs).

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "compare/patch_compare.h"
#include "patch_builder.h"
#include "temp_folder.h"

namespace patchlens {
namespace {

const std::filesystem::path kSamples = PATCHLENS_SAMPLES;

class CompareTest : public test::TempFolder {};

TEST_F(CompareTest, RefusedAndUnreadableFilesAreNotUsable) {
    test::PatchBuilder newer;
    newer.schemaVersion = "1.3";
    const FreshPatch refused = DecodeFresh(Write("newer.rp350p", newer.Bytes()));
    EXPECT_EQ(refused.outcome.error().kind(), ErrorKind::Refused);
    for (const FreshPatch &fresh : {refused, DecodeFresh(folder / "missing.rp350p"), DecodeFresh(folder)})
        EXPECT_FALSE(fresh.usable()) << fresh.patch.path;
    EXPECT_TRUE(DecodeFresh(Write("empty.rp350p", "")).usable());
    const FreshPatch refusedBytes = DecodeFresh(folder / "gone.rp350p", newer.Bytes());
    EXPECT_FALSE(refusedBytes.usable());
    EXPECT_EQ(refusedBytes.outcome.error().kind(), ErrorKind::Refused);
}

// Bytes in memory decode as their file does, with nothing read: the file may be gone or changed.
TEST_F(CompareTest, BytesInMemoryDecodeAsTheirFileDid) {
    const std::filesystem::path path =
        Write("fuzz.rp350p", ReadPatchFile(kSamples / "Octave Fuzz.rp350p")->bytes());
    const FreshPatch fromFile = DecodeFresh(path);
    Write("fuzz.rp350p", test::PatchBuilder().Bytes());
    const FreshPatch fromBytes = DecodeFresh(path, fromFile.patch.text.bytes());
    std::filesystem::remove(path);
    ASSERT_TRUE(fromBytes.usable());
    EXPECT_EQ(fromBytes.patch.name, "Octave Fuzz");
    EXPECT_EQ(fromBytes.patch.path, path);
    EXPECT_FALSE(ComparePatches(fromFile.patch, fromBytes.patch).differs);
}

// A patch without activity parameters keeps the lamps of the patch before it in the viewer; decoded
// fresh, it shows the start-up state whatever was decoded before.
TEST_F(CompareTest, EachSideStartsFromTheStartUpState) {
    const std::filesystem::path bare = Write("bare.rp350p", test::PatchBuilder().Bytes());
    Patch viewer;
    ASSERT_TRUE(LoadPatchFile(viewer, kSamples / "Octave Fuzz.rp350p").ok());
    ASSERT_TRUE(LoadPatchFile(viewer, bare).ok());
    ASSERT_TRUE(viewer.panels[IndexOf(Module::Wah)].lampOn);

    ASSERT_TRUE(DecodeFresh(kSamples / "Octave Fuzz.rp350p").patch.panels[IndexOf(Module::Wah)].lampOn);
    const FreshPatch fresh = DecodeFresh(bare);
    for (const FreshPatch &each : {fresh, DecodeFresh(bare, test::PatchBuilder().Bytes())})
        for (const ModulePanel &panel : each.patch.panels)
            EXPECT_FALSE(panel.lampOn);
    EXPECT_TRUE(ComparePatches(fresh.patch, viewer).modules[IndexOf(Module::Wah)].lampDiffers());

    // The start-up Wah is off with its lines enabled; switched off, its lines are greyed too.
    const FreshPatch off =
        DecodeFresh(Write("off.rp350p", test::PatchBuilder().Param("129", "Wah Enable", "Off").Bytes()));
    const ComparedModule wah = ComparePatches(fresh.patch, off.patch).modules[IndexOf(Module::Wah)];
    EXPECT_FALSE(wah.lampDiffers());
    EXPECT_TRUE(wah.enabledA && !wah.enabledB && wah.differs);
}

} // namespace
} // namespace patchlens

namespace patchlens {
namespace {

bool SameAsShown(const Patch &a, const Patch &b) {
    return a.name == b.name && std::equal(a.panels.begin(), a.panels.end(), b.panels.begin(),
                                          [](const ModulePanel &x, const ModulePanel &y) {
                                              return x.lampOn == y.lampOn && x.list.lines == y.list.lines &&
                                                     x.list.enabled == y.list.enabled &&
                                                     x.list.selected == y.list.selected;
                                          });
}

// Decoding only reads what it is given: different patches decoded on several threads at once come
// out as each does alone, and one text may be read by all of them at the same time.
TEST(DecodeThreads, DifferentPatchesDecodeAtOnceAsEachDoesAlone) {
    std::vector<FreshPatch> alone;
    for (const auto &entry : std::filesystem::directory_iterator(kSamples))
        alone.push_back(DecodeFresh(entry.path()));
    ASSERT_GE(alone.size(), 8u);
    const PatchText &shared = alone.front().patch.text;
    constexpr std::size_t kThreads = 4, kRounds = 6;
    std::vector<std::size_t> wrong(kThreads);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (std::size_t round = 0; round < kRounds; ++round) {
                const FreshPatch &expected = alone[(t + round * kThreads) % alone.size()];
                const FreshPatch decoded = DecodeFresh(expected.patch.path, expected.patch.text.bytes());
                ModulePanels pickup;
                ShowPickup(shared, pickup);
                wrong[t] += !decoded.usable() || !SameAsShown(decoded.patch, expected.patch) ||
                            pickup[0].list.lines != alone.front().patch.panels[0].list.lines;
            }
        });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(wrong, std::vector<std::size_t>(kThreads, 0));
}

} // namespace
} // namespace patchlens
