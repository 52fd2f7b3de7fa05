// The diagnostic mode, run through the built filter with a private TMPDIR.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

#include "support/filterRunner.h"
#include "support/rasterWriter.h"

namespace corvane {
namespace {

using namespace test;

FilterResult printIn(const TempDir& tmp, const std::string& options) {
    const std::vector<std::uint8_t> black = {0, 0, 0, 0xFF, 0xFF, 0xFF};
    return runFilter({.options = options,
                      .input = writeRaster({{2, 3, 0, {black, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, black}}}),
                      .env = {{"TMPDIR", tmp.path}, {"DEVICE_URI", "socket://printer.example:9100"}}});
}

TEST(Diagnostics, MarkerKeepsTheArgumentsAndACopyOfTheStream) {
    TempDir tmp;
    EXPECT_EQ(printIn(tmp, "media=A4").exitStatus, 0);
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path)) << "no marker, no files";

    writeFile(tmp.file("cvn_log"), "");
    const auto result = printIn(tmp, "media=A4 com.apple.print.JobInfo.PMJobName=Report");
    EXPECT_EQ(result.err, "");
    ASSERT_GT(result.out.size(), 5000u);
    EXPECT_EQ(readFile(tmp.file("cvn_pcl2")), result.out.substr(5000));
    EXPECT_EQ(readFile(tmp.file("cvn_pcl")), "");
    EXPECT_TRUE(fileExists(tmp.file("cvn_pcl")));
    EXPECT_FALSE(fileExists(tmp.file("cvn_version")));
    struct stat status {};
    ASSERT_EQ(stat(tmp.file("cvn_pcl2").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    const std::string separator(53, '='), log = readFile(tmp.file("cvn_args"));
    const std::string arguments = "[ 1 ] - 1\n\n[ 2 ] - user\n\n[ 3 ] - title\n\n[ 4 ] - 1\n\n"
                                  "[ 5 ] - media=A4 com.apple.print.JobInfo.PMJobName=Report\n\n" + separator + "\n";
    const std::string uri = separator + "\n    URI for printer = socket://printer.example:9100\n" + separator + "\n";
    const std::string media = "media\n\tA4\n\n", name = "com.apple.print.JobInfo.PMJobName\n\tReport\n\n";
    EXPECT_TRUE(log == arguments + media + name + uri || log == arguments + name + media + uri) << log;

    printIn(tmp, "");
    EXPECT_NE(readFile(tmp.file("cvn_args")).find("[ 5 ] - \n\n" + separator + "\n" + separator + "\n    URI"),
              std::string::npos);
}

TEST(Diagnostics, RefusedArgumentCountStillCreatesTheFiles) {
    TempDir tmp;
    writeFile(tmp.file("cvn_log"), "");
    writeFile(tmp.file("cvn_pcl2"), "old job");
    const auto result = runFilter({.args = std::vector<std::string>{"1", "2"}, .env = {{"TMPDIR", tmp.path}}});
    EXPECT_EQ(result.exitStatus, 1);
    for (const char* name : {"cvn_args", "cvn_pcl", "cvn_pcl2"}) EXPECT_EQ(readFile(tmp.file(name)), "") << name;
    EXPECT_EQ(readFile(tmp.file("cvn_version")), "Version = 1.0\n");
}

TEST(Diagnostics, MissingTemporaryDirectoryMeansNoDiagnostics) {
    // Valgrind keeps its own files in $TMPDIR and cannot run without it.
    if (std::getenv("CORVANE_FILTER_WRAPPER")) GTEST_SKIP() << "runs the filter under a wrapper";
    TempDir tmp;
    const auto result = runFilter({.input = writeRaster({{1, 1, 0, {{0, 0, 0}}}}), .env = {{"TMPDIR", tmp.file("missing")}}});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace corvane
