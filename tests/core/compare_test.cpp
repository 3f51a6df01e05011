// Comparing two patches: what each module shows in A and in B, each side decoded from scratch.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "compare/patch_compare.h"
#include "file_system_support.h"
#include "patch_builder.h"
#include "temp_folder.h"

namespace patchlens {
namespace {

const std::filesystem::path kSamples = PATCHLENS_SAMPLES;

// The bytes with the text of parameter `id` replaced.
std::string WithText(std::string bytes, const std::string &id, std::string_view text) {
    const std::size_t open = bytes.find("<Text>", bytes.find("<ID>" + id + "</ID>")) + 6;
    return bytes.replace(open, bytes.find("</Text>", open) - open, text);
}

class CompareTest : public test::TempFolder {};

// Screamer Blues edited in one place: only the edited module differs, in its lamp and list
// enabling or in the lines the edit shows in.
TEST_F(CompareTest, EditedCopiesDifferWhereTheyWereEdited) {
    std::ifstream sample(kSamples / "Screamer Blues.rp350p", std::ios::binary);
    const std::string base{std::istreambuf_iterator<char>(sample), {}};
    const struct {
        const char *edit, *id, *text;
        Module module;
        bool lampAndList;
        std::vector<std::size_t> lines;
    } cases[] = {
        {"one knob", "2434", "61", Module::Distortion, false, {1}},
        {"switched off", "2433", "Off", Module::Distortion, true, {}},
        {"another model", "2432", "Death", Module::Distortion, false, {0, 1, 2, 3, 4, 5}},
        {"the other pickup", "64", "SC&gt;HB", Module::Pickup, false, {0}},
        {"delay off", "1857", "Off", Module::Delay, true, {}},
    };
    const FreshPatch a = DecodeFresh(Write("a.rp350p", base));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.edit);
        const FreshPatch b = DecodeFresh(Write("b.rp350p", WithText(base, c.id, c.text)));
        ASSERT_TRUE(b.usable());
        const PatchComparison comparison = ComparePatches(a.patch, b.patch);
        EXPECT_TRUE(comparison.differs);
        for (const ComparedModule &compared : comparison.modules) {
            const bool edited = compared.module == c.module;
            EXPECT_EQ(compared.differs, edited) << InfoOf(compared.module).name;
            EXPECT_EQ(compared.lampDiffers(), edited && c.lampAndList);
            EXPECT_EQ(compared.enabledA != compared.enabledB, edited && c.lampAndList);
            std::vector<std::size_t> differing;
            for (std::size_t i = 0; i < compared.lines.size(); ++i)
                if (compared.lines[i].differs)
                    differing.push_back(i);
            EXPECT_EQ(differing, edited ? c.lines : std::vector<std::size_t>{});
        }
    }
}

TEST_F(CompareTest, RefusedAndUnreadableFilesAreNotUsable) {
    test::PatchBuilder newer;
    newer.schemaVersion = "1.3";
    const FreshPatch refused = DecodeFresh(Write("newer.rp350p", newer.Bytes()));
    EXPECT_TRUE(refused.outcome.readOk);
    EXPECT_FALSE(refused.outcome.decode.accepted);
    for (const FreshPatch &fresh : {refused, DecodeFresh(folder / "missing.rp350p"), DecodeFresh(folder)})
        EXPECT_FALSE(fresh.usable()) << fresh.patch.path;
    EXPECT_TRUE(DecodeFresh(Write("empty.rp350p", "")).usable());
}

// A patch without activity parameters keeps the lamps of the patch before it in the viewer; decoded
// fresh, it shows the start-up state whatever was decoded before.
TEST_F(CompareTest, EachSideStartsFromTheStartUpState) {
    const std::filesystem::path bare = Write("bare.rp350p", test::PatchBuilder().Bytes());
    Patch viewer;
    LoadPatchFile(viewer, kSamples / "Octave Fuzz.rp350p");
    LoadPatchFile(viewer, bare);
    ASSERT_TRUE(viewer.panels[IndexOf(Module::Wah)].lampOn);

    ASSERT_TRUE(DecodeFresh(kSamples / "Octave Fuzz.rp350p").patch.panels[IndexOf(Module::Wah)].lampOn);
    const FreshPatch fresh = DecodeFresh(bare);
    for (const ModulePanel &panel : fresh.patch.panels)
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
