// default.ini and the folder remembered from a chosen file.

#include <gtest/gtest.h>

#include <tuple>

#include "patch/patch_folder.h"
#include "settings/settings_file.h"

namespace patchlens {
namespace {

TEST(SettingsFile, ThreeCrLfLinesBothWays) {
    const ViewerSettings settings{"/a b", "", "/c\xE9"};
    EXPECT_EQ(FormatSettings(settings), "/a b\r\n\r\n/c\xE9\r\n");
    const ViewerSettings read = ParseSettings(FormatSettings(settings));
    EXPECT_EQ(std::tie(read.lastPatchFolder, read.patchFolder, read.searchFolder),
              std::tie(settings.lastPatchFolder, settings.patchFolder, settings.searchFolder));
    // Missing lines read as empty; only CR LF ends a line.
    EXPECT_EQ(ParseSettings("").lastPatchFolder, "");
    EXPECT_EQ(ParseSettings("only\r\n").patchFolder, "");
    EXPECT_EQ(ParseSettings("a\nb\r\nc").lastPatchFolder, "a\nb");
    EXPECT_EQ(ParseSettings("a\r\nb\r\nc\r\nd\r\n").searchFolder, "c");
}

TEST(SettingsFile, FolderOfAChosenFile) {
    EXPECT_EQ(FolderOfChosenFile("no-separator.rp350p"), std::nullopt);
    EXPECT_EQ(FolderOfChosenFile("/home/me/patches/live/a.rp350p"), "/home/me/patches/live");
    EXPECT_EQ(FolderOfChosenFile("/a.rp350p"), "/");
}

TEST(PatchFolder, ExtensionInAnyLetterCase) {
    for (const char *name : {"a.rp350p", "A.RP350P", ".rp350p"})
        EXPECT_TRUE(HasPatchExtension(name)) << name;
    for (const char *name : {"a.rp350p.bak", "a.rp250p", "rp350p"})
        EXPECT_FALSE(HasPatchExtension(name)) << name;
}

}  // namespace
}  // namespace patchlens
