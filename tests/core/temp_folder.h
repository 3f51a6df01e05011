#pragma once
// A folder of its own for each file test under the system's temporary folder, made empty before
// the test and removed after it, with the rights a test took from its folders given back.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "file_system_support.h"

namespace patchlens::test {

class TempFolder : public ::testing::Test {
protected:
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("patchlens-" + RunTag() + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::vector<std::filesystem::path> lockedFolders; // whose rights a test took

    void SetUp() override {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::error_code ec;
        lockedFolders.push_back(folder);
        for (const std::filesystem::path &path : lockedFolders)
            std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(folder, ec);
    }

    // Writes the bytes to a file in the folder, making the folders on the way; gives its path.
    std::filesystem::path Write(const std::filesystem::path &relative, const std::string &bytes) {
        const std::filesystem::path path = folder / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string Read(const std::filesystem::path &path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Sets the rights of a folder in the folder; the owner's come back after the test.
    void Lock(const std::filesystem::path &path,
              std::filesystem::perms rights = std::filesystem::perms::none) {
        std::filesystem::permissions(path, rights);
        lockedFolders.push_back(path);
    }
};

} // namespace patchlens::test
