// Whole decodes against panels written out by hand: each folder under tests/data/golden holds an
// input patch, optionally a patch decoded before it, and the expected panels.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "patch/decode.h"

namespace patchlens {
namespace {

std::string ReadAll(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string Render(const Patch &patch) {
    std::string out = "name: " + patch.name + "\n";
    for (const ModuleInfo &info : Modules()) {
        const ModulePanel &panel = patch.panels[IndexOf(info.module)];
        out += std::string(info.name) + ": " + (panel.lampOn ? "on" : "off") + " " +
               (panel.list.enabled ? "enabled" : "greyed") +
               " selected=" + std::to_string(panel.list.selected) + "\n";
        for (const std::string &line : panel.list.lines)
            out += "| " + line + "\n";
    }
    return out;
}

TEST(Golden, DecodesMatchThePanelsWrittenByHand) {
    const std::filesystem::path root = std::filesystem::path(PATCHLENS_TEST_DATA) / "golden";
    int cases = 0;
    for (const auto &entry : std::filesystem::directory_iterator(root)) {
        const std::filesystem::path folder = entry.path();
        SCOPED_TRACE(folder.filename().string());
        Patch patch;
        if (std::filesystem::exists(folder / "before.rp350p")) {
            ASSERT_TRUE(LoadPatchFile(patch, folder / "before.rp350p").decode.accepted);
        }
        const LoadOutcome outcome = LoadPatchFile(patch, folder / "input.rp350p");
        ASSERT_TRUE(outcome.readOk);
        EXPECT_EQ(Render(patch), ReadAll(folder / "expected.txt"));
        ++cases;
    }
    EXPECT_GE(cases, 3);
}

TEST(Golden, SamplesDecodeAndShowEveryModule) {
    int samples = 0;
    Patch patch;
    for (const auto &entry : std::filesystem::directory_iterator(PATCHLENS_SAMPLES)) {
        if (entry.path().extension() != ".rp350p")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        const LoadOutcome outcome = LoadPatchFile(patch, entry.path());
        EXPECT_TRUE(outcome.readOk);
        EXPECT_TRUE(outcome.decode.accepted);
        EXPECT_EQ(patch.name + ".rp350p", entry.path().filename().string());
        // Every module but the unassigned ones shows a model line.
        for (const ModuleInfo &info : Modules()) {
            const PanelList &list = patch.panels[IndexOf(info.module)].list;
            EXPECT_FALSE(LineAt(list, 0).empty()) << info.name;
        }
        ++samples;
    }
    EXPECT_GE(samples, 6);
}

} // namespace
} // namespace patchlens
