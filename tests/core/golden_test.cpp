// Whole decodes against the panels expected, as text: every sample decoded from the start-up state
// against golden/samples/<sample>.txt, and each case folder under golden/ (an input patch, optionally
// a patch decoded before it, the expected panels) for what the samples do not show.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "patch/decode.h"

namespace patchlens {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Render(const Patch &patch) {
    std::string out = "name: " + patch.name + "\n";
    for (const ModuleInfo &info : Modules()) {
        const ModulePanel &panel = patch.panels[IndexOf(info.module)];
        out += std::string(info.name) + ": " + (panel.lampOn ? "on" : "off") + " " +
               (panel.list.enabled ? "enabled" : "greyed") +
               " selected=" + (panel.list.selected ? std::to_string(*panel.list.selected) : "-1") + "\n";
        for (const std::string &line : panel.list.lines)
            out += "| " + line + "\n";
    }
    return out;
}

const fs::path kGolden = fs::path(PATCHLENS_TEST_DATA) / "golden";

TEST(Golden, EverySampleDecodesToItsExpectedPanels) {
    int samples = 0;
    for (const auto &entry : fs::directory_iterator(PATCHLENS_SAMPLES)) {
        SCOPED_TRACE(entry.path().filename().string());
        Patch patch;
        EXPECT_TRUE(LoadPatchFile(patch, entry.path()).ok());
        EXPECT_EQ(Render(patch), ReadAll(kGolden / "samples" / (entry.path().stem().string() + ".txt")));
        ++samples;
    }
    EXPECT_GE(samples, 8);
}

TEST(Golden, CasesDecodeToThePanelsWrittenByHand) {
    int cases = 0;
    for (const auto &entry : fs::directory_iterator(kGolden)) {
        const fs::path folder = entry.path();
        if (!fs::exists(folder / "input.rp350p"))
            continue;
        SCOPED_TRACE(folder.filename().string());
        Patch patch;
        if (fs::exists(folder / "before.rp350p")) {
            ASSERT_TRUE(LoadPatchFile(patch, folder / "before.rp350p").ok());
        }
        const Status load = LoadPatchFile(patch, folder / "input.rp350p");
        ASSERT_TRUE(load.ok() || load.error().kind() == ErrorKind::Refused) << load.message();
        EXPECT_EQ(Render(patch), ReadAll(folder / "expected.txt"));
        ++cases;
    }
    EXPECT_GE(cases, 1);
}

} // namespace
} // namespace patchlens
