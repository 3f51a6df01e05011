// The library text: entries found, listed, added and removed line by line, with every line no
// command touches kept byte for byte and in place.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "file_system_support.h"
#include "files/whole_file.h"
#include "library/library_file.h"
#include "temp_folder.h"
#include "unprivileged.h"

namespace patchlens {
namespace {

LibraryEntry Entry(std::string module, std::string name, std::string first = "r0") {
    return {std::move(module), std::move(name), {std::move(first), "r1", "r2", "", "", ""}};
}

TEST(LibraryFormat, EightFieldsEachFollowedByAComma) {
    EXPECT_EQ(FormatEntry({"Wah", "Funky", {"r0", "r1", "r2", "r3", "r4", "r5"}}),
              "Wah,Funky,r0,r1,r2,r3,r4,r5,");
    EXPECT_EQ(FormatEntry({"Delay", "Empty", {}}), "Delay,Empty,,,,,,,"); // name, then seven commas
    EXPECT_EQ(InsertFirst("", "a,"), "a,\r\n");
    EXPECT_EQ(InsertFirst("b\r\ntail", "a,"), "a,\r\nb\r\ntail");
}

// Only CR LF terminated stretches are lines; deleting one keeps every other byte.
TEST(LibraryLines, OnlyCrLfTerminatedStretchesAreLinesAndDeleteKeepsTheRest) {
    const std::string text = "Wah,A,\r\n\r\nDelay,B,\r\nWah,unterminated,";
    EXPECT_EQ(LineCount(text), 3u);
    EXPECT_EQ(LineAt(text, 2), "Delay,B,");
    EXPECT_EQ(LineAt(text, 3), "");
    EXPECT_EQ(ListNames(text, "Wah"), std::vector<std::string>{"A"});
    EXPECT_EQ(FindEntry(text, "Wah", "unterminated"), -1);
    EXPECT_EQ(DeleteLine(text, 0), "\r\nDelay,B,\r\nWah,unterminated,");
    EXPECT_EQ(DeleteLine(text, 2), "Wah,A,\r\n\r\nWah,unterminated,");
    EXPECT_EQ(DeleteLine(text, 3), text); // the unterminated tail is no line
    EXPECT_EQ(DeleteLine(text, 99), text);
    EXPECT_EQ(DeleteLine("only\r\n", 0), "");
    EXPECT_EQ(DeleteLine("x\r\r\n\n", 0), "\n");
}

// A name is found ignoring the case of a to z only, the module exactly, the nearer of two names
// differing in case first; its rows are collected by the exact name. A comma ends the name field,
// and lines of no library module are never listed.
TEST(LibraryFind, NamesByTheCaseOfAToZModulesExactly) {
    const std::string text = FormatEntry(Entry("Wah", "Funky")) + "\r\n" + FormatEntry(Entry("Delay", "funky")) +
                             "\r\n" + FormatEntry(Entry("Wah", "\xC9t\xE9")) + "\r\n" +
                             FormatEntry(Entry("Wah", "a", "first")) + "\r\n" + FormatEntry(Entry("Wah", "A")) +
                             "\r\n" + FormatEntry(Entry("Wah", "a", "third")) + "\r\n" +
                             FormatEntry(Entry("Wah", "b,c")) + "\r\n";
    const std::pair<const char *, long> finds[] = {{"funky", 0},      {"FUNKY", 0}, {"\xC9T\xE9", 2},
                                                   {"\xE9T\xE9", -1}, {"A", 3},     {"b,c", -1},
                                                   {"b", 6}};
    for (const auto &[name, line] : finds)
        EXPECT_EQ(FindEntry(text, "Wah", name), line) << name;
    EXPECT_EQ(FindEntry(text, "Delay", "FUNKY"), 1);
    EXPECT_EQ(FindEntry(text, "wah", "Funky"), -1);
    EXPECT_TRUE(EntryRows(text, "Wah", "funky").empty());
    const auto groups = EntryRows(text, "Wah", "a");
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0][0], "first");
    EXPECT_EQ(groups[1][0], "third");
    EXPECT_EQ(EntryRows(text, "Wah", "b").front()[0], "c");

    const std::string foreign = "\r\nGarbage line\r\nAmplifier C,x,\r\n,Wah,\r\nwah,x,\r\n";
    for (const std::string_view module : LibraryModules())
        EXPECT_TRUE(ListNames(foreign, module).empty()) << module;
    EXPECT_EQ(ListNames("Wah\r\n", "Wah"), std::vector<std::string>{""}); // a module with an empty name
    EXPECT_EQ(LibraryModules().size(), 14u);
}

class LibraryFileTest : public test::TempFolder {};

// A missing library is created empty; a folder by its name or a file that cannot be read is no
// library at all (never an empty one, which the next write would make the file).
TEST_F(LibraryFileTest, AMissingFileIsCreatedEmptyAndAnUnreadableOneIsNoLibrary) {
    const auto path = folder / "LibraryRP350.dat";
    LibraryRead read = ReadLibraryFile(path);
    EXPECT_TRUE(read.ok && read.text.empty());
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    read = ReadLibraryFile(path);
    EXPECT_FALSE(read.ok || read.error.empty());
    EXPECT_FALSE(WriteLibraryFile(path, "Wah,x,,,,,,,\r\n").empty());
    EXPECT_TRUE(std::filesystem::is_directory(path));
    if (!test::kPermissionsLockAccess)
        GTEST_SKIP() << test::kNoAccessPermissions;
    std::filesystem::remove(path);
    std::ofstream(path, std::ios::binary) << "Wah,keep,,,,,,,\r\n";
    std::filesystem::permissions(folder, std::filesystem::perms::all);
    std::filesystem::permissions(path, std::filesystem::perms::none);
    EXPECT_TRUE(test::AsUnprivileged([&] {
        const LibraryRead refused = ReadLibraryFile(path);
        return !refused.ok && !refused.error.empty() && refused.text.empty();
    }));
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    EXPECT_EQ(Read(path), "Wah,keep,,,,,,,\r\n");
}

// Permissions are mode bits on POSIX systems; on Windows what a file keeps is its attributes.
TEST_F(LibraryFileTest, WritesReplaceWholeAndKeepPermissions) {
    const auto path = folder / "LibraryRP350.dat";
    std::ofstream(path, std::ios::binary) << "old\r\n";
#ifdef _WIN32
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
#else
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_read);
#endif
    EXPECT_EQ(WriteLibraryFile(path, "new\r\ncontent"), "");
    EXPECT_EQ(Read(path), "new\r\ncontent");
#ifdef _WIN32
    EXPECT_EQ(::GetFileAttributesW(path.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
              DWORD{FILE_ATTRIBUTE_HIDDEN});
#else
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
#endif
    // No temporary file is left behind.
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
}

TEST_F(LibraryFileTest, AWriteThroughALinkReplacesTheTarget) {
    const auto target = folder / "real.dat";
    std::ofstream(target, std::ios::binary) << "old\r\n";
    if (!test::MakeLink("real.dat", folder / "LibraryRP350.dat", test::LinkTo::File))
        GTEST_SKIP() << test::kNoLinks;
    EXPECT_EQ(WriteLibraryFile(folder / "LibraryRP350.dat", "new\r\n"), "");
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "LibraryRP350.dat"));
    EXPECT_EQ(Read(target), "new\r\n");
}

// A write that cannot be made (into a missing folder, a folder the user may not write, over a
// read-only file) fails with a reason and leaves the old file whole.
TEST_F(LibraryFileTest, AWriteThatCannotBeMadeLeavesTheOldFileWhole) {
    using std::filesystem::perms;
    EXPECT_NE(WriteLibraryFile(folder / "gone" / "LibraryRP350.dat", "Wah,x,,,,,,,\r\n"), "");
    EXPECT_FALSE(std::filesystem::exists(folder / "gone"));
    const auto path = folder / "LibraryRP350.dat";
    std::ofstream(path, std::ios::binary) << "Wah,keep,,,,,,,\r\n";
    std::filesystem::permissions(folder, perms::all);
    std::filesystem::permissions(path, perms::owner_read | perms::group_read | perms::others_read);
    EXPECT_TRUE(test::AsUnprivileged([&] { return !WriteLibraryFile(path, "").empty(); }));
    EXPECT_EQ(Read(path), "Wah,keep,,,,,,,\r\n");
    std::filesystem::permissions(path, perms::owner_write, std::filesystem::perm_options::add);
    if (!test::kPermissionsLockAccess)
        GTEST_SKIP() << test::kNoAccessPermissions;
    std::filesystem::permissions(folder, perms::owner_read | perms::owner_exec | perms::group_read |
                                             perms::group_exec | perms::others_read | perms::others_exec);
    EXPECT_TRUE(test::AsUnprivileged([&] { return !WriteLibraryFile(path, "").empty(); }));
    std::filesystem::permissions(folder, perms::owner_all);
    EXPECT_EQ(Read(path), "Wah,keep,,,,,,,\r\n");
}

// An installation's library in a program folder the user may not write is copied for the user,
// once: the original is only read, and a copy the user has already changed is never replaced.
TEST_F(LibraryFileTest, ACopyForTheUserLeavesTheOriginalAndNeverReplaces) {
    if (!test::kPermissionsLockAccess)
        GTEST_SKIP() << test::kNoAccessPermissions;
    using std::filesystem::perms;
    const auto program = folder / "program";
    const auto user = folder / "user";
    std::filesystem::create_directories(program);
    std::filesystem::create_directories(user);
    std::ofstream(program / "LibraryRP350.dat", std::ios::binary) << "Delay,Slap,DM2,,,,,,\r\n";
    const auto written = std::filesystem::last_write_time(program / "LibraryRP350.dat");
    std::filesystem::permissions(folder, perms::owner_all | perms::group_read | perms::group_exec |
                                             perms::others_read | perms::others_exec);
    std::filesystem::permissions(program, perms::owner_all | perms::group_read | perms::group_exec |
                                              perms::others_read | perms::others_exec);
    std::filesystem::permissions(user, perms::all);
    EXPECT_TRUE(test::AsUnprivileged([&] {
        return CopyFileWhenMissing(program / "LibraryRP350.dat", user / "LibraryRP350.dat").empty() &&
               CopyFileWhenMissing(program / "default.ini", user / "default.ini").empty(); // nothing to copy
    }));
    EXPECT_EQ(Read(user / "LibraryRP350.dat"), "Delay,Slap,DM2,,,,,,\r\n");
    EXPECT_FALSE(std::filesystem::exists(user / "default.ini"));
    EXPECT_EQ(Read(program / "LibraryRP350.dat"), "Delay,Slap,DM2,,,,,,\r\n");
    EXPECT_EQ(std::filesystem::last_write_time(program / "LibraryRP350.dat"), written);

    std::ofstream(user / "LibraryRP350.dat", std::ios::binary) << "Delay,Mine,,,,,,,\r\n";
    EXPECT_EQ(CopyFileWhenMissing(program / "LibraryRP350.dat", user / "LibraryRP350.dat"), "");
    EXPECT_EQ(Read(user / "LibraryRP350.dat"), "Delay,Mine,,,,,,,\r\n");
}

TEST_F(LibraryFileTest, StaleTemporaryFilesAreRemovedAndYoungOnesStay) {
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(5);
    for (const char *name : {".LibraryRP350.dat.tmp-123", ".LibraryRP350.dat.tmp-x1", ".default.ini.tmp-7",
                             "LibraryRP350.dat", ".LibraryRP350.dat.tmp-"}) {
        std::ofstream(folder / name) << "x";
        std::filesystem::last_write_time(folder / name, old);
    }
    std::ofstream(folder / ".LibraryRP350.dat.tmp-456") << "a write in progress";
    EXPECT_EQ(RemoveStaleTemporaryFiles(folder, "LibraryRP350.dat", std::chrono::minutes(1)), 1u);
    EXPECT_FALSE(std::filesystem::exists(folder / ".LibraryRP350.dat.tmp-123"));
    for (const char *kept : {".LibraryRP350.dat.tmp-456", ".LibraryRP350.dat.tmp-x1", ".default.ini.tmp-7",
                             "LibraryRP350.dat", ".LibraryRP350.dat.tmp-"})
        EXPECT_TRUE(std::filesystem::exists(folder / kept)) << kept;
}

} // namespace
} // namespace patchlens
