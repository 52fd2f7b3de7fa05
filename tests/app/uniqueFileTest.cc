// Output files of the file:// device never replace one another, never
// follow a planted link, and are the user's only. (Broken pages and images
// are shown end to end by hostile.sh and fuzzed by fuzz/appFuzzer.cc.)
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/devices/uniqueFile.h"

namespace corvane {
namespace {

TEST(UniqueFile, JobsOfOneNameNeverReplaceEachOtherNorFollowLinks) {
    const auto folder = std::filesystem::temp_directory_path() / ("corvane-unique-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink("/nonexistent/target", folder / "linked.pcl");

    std::vector<std::string> paths;
    for (const char* name : {"Untitled", "Untitled", "Untitled", "linked", "a/b\x01\xC3\xA9", ".hidden", ""}) {
        std::string path;
        const int fd = createUniqueFile(folder.string(), name, "pcl", path);
        ASSERT_GE(fd, 0) << name;
        EXPECT_EQ(::write(fd, "x", 1), 1);
        close(fd);
        paths.push_back(std::filesystem::path(path).filename().string());
        EXPECT_EQ(std::filesystem::status(path).permissions(),
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"Untitled.pcl", "Untitled-2.pcl", "Untitled-3.pcl", "linked-2.pcl",
                                               "a_b___.pcl", "_.hidden.pcl", "Untitled-4.pcl"}));
    EXPECT_EQ(std::filesystem::file_size(folder / "Untitled.pcl"), 1u);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace corvane
