// The diagnostic mode, run through the built filter with a private TMPDIR.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "support/filterRunner.h"
#include "support/rasterWriter.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

const std::vector<std::uint8_t> blackRow = {0, 0, 0, 0xFF, 0xFF, 0xFF};

test::FilterResult printIn(const test::TempDir& tmp, const std::string& options = "media=A4") {
    test::FilterRun run;
    run.options = options;
    run.input = test::writeRaster({{2, 3, 0, {blackRow, test::whiteRow(6), blackRow}},
                                   {2, 1, 0, {blackRow}}});
    run.env["TMPDIR"] = tmp.path();
    run.env["DEVICE_URI"] = "socket://printer.example:9100";
    return test::runFilter(run);
}

const std::string separator(53, '=');

TEST(Diagnostics, OffWithoutTheMarker) {
    test::TempDir tmp;
    const auto result = printIn(tmp);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_TRUE(fs::is_empty(tmp.path()));
}

TEST(Diagnostics, MarkerKeepsArgumentsAndACopyOfTheStream) {
    test::TempDir tmp;
    test::writeFile(tmp.file("cvn_log"), "");
    const auto result = printIn(tmp, "media=A4 com.apple.print.JobInfo.PMJobName=Report");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err, "");
    ASSERT_GT(result.out.size(), 5000u);
    EXPECT_EQ(test::readFile(tmp.file("cvn_pcl2")), result.out.substr(5000));
    EXPECT_TRUE(test::fileExists(tmp.file("cvn_pcl")));
    EXPECT_EQ(test::readFile(tmp.file("cvn_pcl")), "");
    EXPECT_FALSE(test::fileExists(tmp.file("cvn_version")));

    const std::string log = test::readFile(tmp.file("cvn_args"));
    const std::string arguments =
        "[ 1 ] - 1\n\n[ 2 ] - user\n\n[ 3 ] - title\n\n[ 4 ] - 1\n\n"
        "[ 5 ] - media=A4 com.apple.print.JobInfo.PMJobName=Report\n\n" + separator + "\n";
    ASSERT_TRUE(log.starts_with(arguments)) << log;
    const std::string uriBlock = separator + "\n    URI for printer = socket://printer.example:9100\n" +
                                 separator + "\n";
    ASSERT_TRUE(log.ends_with(uriBlock)) << log;
    const std::string options = log.substr(arguments.size(), log.size() - arguments.size() - uriBlock.size());
    const std::string media = "media\n\tA4\n\n";
    const std::string name = "com.apple.print.JobInfo.PMJobName\n\tReport\n\n";
    EXPECT_TRUE(options == media + name || options == name + media) << options;

    struct stat status {};
    ASSERT_EQ(stat(tmp.file("cvn_pcl2").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST(Diagnostics, EmptyTicketLogsOnlyTheSeparatorBeforeTheUri) {
    test::TempDir tmp;
    test::writeFile(tmp.file("cvn_log"), "");
    printIn(tmp, "");
    const std::string log = test::readFile(tmp.file("cvn_args"));
    EXPECT_NE(log.find("[ 5 ] - \n\n" + separator + "\n" + separator + "\n    URI for printer"),
              std::string::npos)
        << log;
}

TEST(Diagnostics, RefusedArgumentCountStillCreatesTheFiles) {
    test::TempDir tmp;
    test::writeFile(tmp.file("cvn_log"), "");
    test::writeFile(tmp.file("cvn_pcl2"), "old job");
    test::FilterRun run;
    run.args = std::vector<std::string>{"1", "2"};
    run.env["TMPDIR"] = tmp.path();
    const auto result = test::runFilter(run);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "");
    for (const char* name : {"cvn_args", "cvn_pcl", "cvn_pcl2"})
        EXPECT_EQ(test::readFile(tmp.file(name)), "") << name;
    EXPECT_EQ(test::readFile(tmp.file("cvn_version")), "Version = 1.0\n");
}

// Links, FIFOs and directories planted at the file names: PlantedFiles.

TEST(Diagnostics, MissingTemporaryDirectoryMeansNoDiagnostics) {
    // Valgrind keeps its own files in $TMPDIR and cannot run without it.
    if (std::getenv("CORVANE_FILTER_WRAPPER")) GTEST_SKIP() << "runs the filter under a wrapper";
    test::TempDir tmp;
    test::FilterRun run;
    run.input = test::writeRaster({{2, 1, 0, {blackRow}}});
    run.env["TMPDIR"] = tmp.file("missing");
    const auto result = test::runFilter(run);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace corvane
