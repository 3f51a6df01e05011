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

// Add puts the entry first in place of the module's entry of that name (a to z in any case);
// Rename moves the line to the top under its new name with its rows; every other line stays.
TEST(LibraryCommands, AddReplacesTheSameNameAndRenameMovesTheLineToTheTop) {
    const std::string text = "Wah,x,\r\nDelay,Funky,old,,,,,,\r\nWah,Funky,w,,,,,,\r\ntail";
    EXPECT_EQ(AddEntry(text, Entry("Delay", "funky")),
              "Delay,funky,r0,r1,r2,,,,\r\nWah,x,\r\nWah,Funky,w,,,,,,\r\ntail");
    EXPECT_EQ(AddEntry(text, Entry("Reverb", "Funky")), "Reverb,Funky,r0,r1,r2,,,,\r\n" + text);
    EXPECT_EQ(RenameEntry(text, 2, "Cry"), "Wah,Cry,w,,,,,,\r\nWah,x,\r\nDelay,Funky,old,,,,,,\r\ntail");
}

// Only CR LF terminated stretches are lines; deleting one keeps every other byte.
TEST(LibraryLines, OnlyCrLfTerminatedStretchesAreLinesAndDeleteKeepsTheRest) {
    const std::string text = "Wah,A,\r\n\r\nDelay,B,\r\nWah,unterminated,";
    EXPECT_EQ(LineCount(text), 3u);
    EXPECT_EQ(LineAt(text, 2), "Delay,B,");
    EXPECT_EQ(LineAt(text, 3), "");
    EXPECT_EQ(ListNames(text, "Wah"), std::vector<std::string>{"A"});
    EXPECT_EQ(FindEntry(text, "Wah", "unterminated"), std::nullopt);
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
    std::string text;
    for (const LibraryEntry &entry :
         {Entry("Wah", "Funky"), Entry("Delay", "funky"), Entry("Wah", "\xC9t\xE9"),
          Entry("Wah", "a", "first"), Entry("Wah", "A"), Entry("Wah", "a", "third"), Entry("Wah", "b,c")})
        text += FormatEntry(entry) + "\r\n";
    const std::pair<const char *, std::optional<std::size_t>> finds[] = {
        {"funky", 0}, {"FUNKY", 0}, {"\xC9T\xE9", 2}, {"\xE9T\xE9", {}}, {"A", 3}, {"b,c", {}}, {"b", 6}};
    for (const auto &[name, line] : finds)
        EXPECT_EQ(FindEntry(text, "Wah", name), line) << name;
    EXPECT_EQ(FindEntry(text, "Delay", "FUNKY"), 1u);
    EXPECT_EQ(FindEntry(text, "wah", "Funky"), std::nullopt);
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

namespace fs = std::filesystem;
using fs::perms;

class LibraryFileTest : public test::TempFolder {
protected:
    const fs::path library = folder / "LibraryRP350.dat";
};

// A missing library is created empty; a folder by its name or a file that cannot be read is no
// library at all (never an empty one, which the next write would make the file).
TEST_F(LibraryFileTest, AMissingFileIsCreatedEmptyAndAnUnreadableOneIsNoLibrary) {
    Result<LibraryText> read = ReadLibraryFile(library);
    EXPECT_TRUE(read.ok() && read->empty());
    EXPECT_EQ(fs::file_size(library), 0u);
    fs::remove(library);
    fs::create_directory(library);
    read = ReadLibraryFile(library);
    EXPECT_EQ(read.message().rfind("cannot be read: ", 0), 0u) << read.message();
    EXPECT_EQ(read.error().kind(), ErrorKind::Unreadable);
    EXPECT_FALSE(WriteLibraryFile(library, "Wah,x,,,,,,,\r\n").ok());
    EXPECT_FALSE(StoreLibraryFile(library, "", "Wah,x,,,,,,,\r\n").ok());
    EXPECT_TRUE(fs::is_directory(library));
    if (!test::kPermissionsLockAccess)
        GTEST_SKIP() << test::kNoAccessPermissions;
    fs::remove(library);
    Write(library, "Wah,keep,,,,,,,\r\n");
    fs::permissions(folder, perms::all);
    fs::permissions(library, perms::none);
    EXPECT_TRUE(test::AsUnprivileged([&] {
        const Result<LibraryText> refused = ReadLibraryFile(library);
        return !refused.ok() && refused.error().kind() == ErrorKind::Unreadable;
    }));
    fs::permissions(library, perms::owner_all);
    EXPECT_EQ(Read(library), "Wah,keep,,,,,,,\r\n");
}

// Permissions are mode bits on POSIX systems; on Windows what a file keeps is its attributes.
TEST_F(LibraryFileTest, WritesReplaceWholeAndKeepPermissions) {
    Write(library, "old\r\n");
#ifdef _WIN32
    ASSERT_TRUE(::SetFileAttributesW(library.c_str(), FILE_ATTRIBUTE_HIDDEN));
#else
    fs::permissions(library, perms::owner_read | perms::owner_write | perms::group_read);
#endif
    EXPECT_TRUE(WriteLibraryFile(library, "new\r\ncontent").ok());
    EXPECT_EQ(Read(library), "new\r\ncontent");
#ifdef _WIN32
    EXPECT_EQ(::GetFileAttributesW(library.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
              DWORD{FILE_ATTRIBUTE_HIDDEN});
#else
    EXPECT_EQ(fs::status(library).permissions() & perms::all,
              perms::owner_read | perms::owner_write | perms::group_read);
#endif
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(LibraryFileTest, AWriteThroughALinkReplacesTheTarget) {
    const fs::path target = Write("real.dat", "old\r\n");
    if (!test::MakeLink("real.dat", library, test::LinkTo::File))
        GTEST_SKIP() << test::kNoLinks;
    EXPECT_TRUE(WriteLibraryFile(library, "new\r\n").ok());
    EXPECT_TRUE(fs::is_symlink(library));
    EXPECT_EQ(Read(target), "new\r\n");
}

// A change is stored only over the text it was made from, never over what another program wrote
// since, which stays as it is.
TEST_F(LibraryFileTest, AChangeIsStoredOnlyOverTheTextItWasMadeFrom) {
    Write(library, "Delay,Mine,,,,,,,\r\n");
    const Status refused = StoreLibraryFile(library, "Delay,Old,,,,,,,\r\n", "new\r\n");
    EXPECT_EQ(refused.error().kind(), ErrorKind::Refused);
    EXPECT_NE(refused.message().find("changed by another program"), std::string::npos);
    EXPECT_EQ(Read(library), "Delay,Mine,,,,,,,\r\n");
    EXPECT_TRUE(StoreLibraryFile(library, "Delay,Mine,,,,,,,\r\n", "new\r\n").ok());
    EXPECT_EQ(Read(library), "new\r\n");
}

// A write that cannot be made (into a missing folder, over a read-only file, into a folder the
// user may not write) fails with a reason and leaves the old file whole.
TEST_F(LibraryFileTest, AWriteThatCannotBeMadeLeavesTheOldFileWhole) {
    EXPECT_EQ(WriteLibraryFile(folder / "gone" / "LibraryRP350.dat", "Wah,x,,,,,,,\r\n")
                  .message()
                  .rfind("cannot be written: ", 0),
              0u);
    EXPECT_FALSE(fs::exists(folder / "gone"));
    Write(library, "Wah,keep,,,,,,,\r\n");
    fs::permissions(folder, perms::all);
    fs::permissions(library, perms::owner_read | perms::group_read | perms::others_read);
    EXPECT_TRUE(test::AsUnprivileged([&] { return !WriteLibraryFile(library, "").ok(); }));
    EXPECT_EQ(Read(library), "Wah,keep,,,,,,,\r\n");
    fs::permissions(library, perms::owner_write, fs::perm_options::add);
    if (!test::kPermissionsLockAccess)
        GTEST_SKIP() << test::kNoAccessPermissions;
    Lock(folder, perms::owner_read | perms::owner_exec | perms::group_read | perms::group_exec |
                     perms::others_read | perms::others_exec);
    EXPECT_TRUE(test::AsUnprivileged([&] { return !WriteLibraryFile(library, "").ok(); }));
    EXPECT_EQ(Read(library), "Wah,keep,,,,,,,\r\n");
}

// An installation's library in a program folder the user may not write is copied for the user,
// once: the original is only read, and a copy the user has already changed is never replaced.
TEST_F(LibraryFileTest, ACopyForTheUserLeavesTheOriginalAndNeverReplaces) {
    if (!test::kPermissionsLockAccess)
        GTEST_SKIP() << test::kNoAccessPermissions;
    const fs::path original = Write("program/LibraryRP350.dat", "Delay,Slap,DM2,,,,,,\r\n");
    const fs::path copy = folder / "user" / "LibraryRP350.dat";
    fs::create_directories(folder / "user");
    const auto written = fs::last_write_time(original);
    const perms readOnly =
        perms::owner_all | perms::group_read | perms::group_exec | perms::others_read | perms::others_exec;
    fs::permissions(folder, readOnly);
    fs::permissions(folder / "program", readOnly);
    fs::permissions(folder / "user", perms::all);
    EXPECT_TRUE(test::AsUnprivileged([&] {
        return CopyFileWhenMissing(original, copy).ok() &&
               CopyFileWhenMissing(folder / "program" / "default.ini", folder / "user" / "default.ini")
                   .ok(); // nothing to copy
    }));
    EXPECT_EQ(Read(copy), "Delay,Slap,DM2,,,,,,\r\n");
    EXPECT_FALSE(fs::exists(folder / "user" / "default.ini"));
    EXPECT_EQ(Read(original), "Delay,Slap,DM2,,,,,,\r\n");
    EXPECT_EQ(fs::last_write_time(original), written);

    Write(copy, "Delay,Mine,,,,,,,\r\n");
    EXPECT_TRUE(CopyFileWhenMissing(original, copy).ok());
    EXPECT_EQ(Read(copy), "Delay,Mine,,,,,,,\r\n");
}

TEST_F(LibraryFileTest, StaleTemporaryFilesAreRemovedAndYoungOnesStay) {
    const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(5);
    const char *const kept[] = {".LibraryRP350.dat.tmp-x1", ".default.ini.tmp-7", "LibraryRP350.dat",
                                ".LibraryRP350.dat.tmp-"};
    for (const char *name : kept)
        fs::last_write_time(Write(name, "x"), old);
    fs::last_write_time(Write(".LibraryRP350.dat.tmp-123", "x"), old);
    Write(".LibraryRP350.dat.tmp-456", "a write in progress");
    EXPECT_EQ(RemoveStaleTemporaryFiles(folder, "LibraryRP350.dat", std::chrono::minutes(1)), 1u);
    EXPECT_FALSE(fs::exists(folder / ".LibraryRP350.dat.tmp-123"));
    EXPECT_TRUE(fs::exists(folder / ".LibraryRP350.dat.tmp-456"));
    for (const char *name : kept)
        EXPECT_TRUE(fs::exists(folder / name)) << name;
}

} // namespace
} // namespace patchlens
