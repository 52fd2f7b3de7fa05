// Links, FIFOs and directories planted at the diagnostic file names by
// another process sharing the temporary directory: their targets stay as
// they were, each costs at most the error line of its file, and the job
// still prints. (Directories at the three log names are covered with the
// diagnostics tests.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

#include "diagnostics/errorLog.h"
#include "diagnostics/supportFunctions.h"
#include "support/filterRunner.h"
#include "support/rasterWriter.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

const std::vector<std::uint8_t> blackRow = {0, 0, 0, 0xFF, 0xFF, 0xFF};

// A file and a directory outside the temporary directory that nothing may change.
struct victims {
    test::TempDir place;
    std::string file = place.file("victim");
    std::string directory = place.file("victimDir");
    victims() {
        test::writeFile(file, "keep me");
        fs::create_directory(directory);
    }
    void expectUntouched() const {
        EXPECT_EQ(test::readFile(file), "keep me");
        EXPECT_TRUE(fs::is_empty(directory));
        EXPECT_EQ(std::distance(fs::directory_iterator(place.path()), {}), 2);
    }
};

struct plant {
    const char* kind;
    std::function<void(const victims&, const std::string& path)> make;
};

const std::vector<plant> plants = {
    {"symlink to a file", [](const victims& v, const std::string& p) { fs::create_symlink(v.file, p); }},
    {"hard link", [](const victims& v, const std::string& p) { fs::create_hard_link(v.file, p); }},
    {"FIFO", [](const victims&, const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }},
    {"symlink to a directory",
     [](const victims& v, const std::string& p) { fs::create_directory_symlink(v.directory, p); }},
    {"dangling symlink",
     [](const victims& v, const std::string& p) { fs::create_symlink(v.place.file("absent"), p); }},
};

test::FilterRun job(const test::TempDir& tmp) {
    test::FilterRun run;
    run.input = test::writeRaster({{2, 2, 0, {blackRow, blackRow}}});
    run.env["TMPDIR"] = tmp.path();
    return run;
}

bool isPrivateRegularFile(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           (status.st_mode & 0777) == 0600 && status.st_nlink == 1;
}

TEST(PlantedFiles, LogNamesAreReplacedNotFollowed) {
    test::TempDir plainTmp;
    const auto plain = test::runFilter(job(plainTmp));
    for (const char* name : {"cvn_args", "cvn_pcl", "cvn_pcl2"}) {
        for (const auto& planted : plants) {
            SCOPED_TRACE(std::string(planted.kind) + " at " + name);
            test::TempDir tmp;
            const victims v;
            test::writeFile(tmp.file("cvn_log"), "");
            planted.make(v, tmp.file(name));
            const auto result = test::runFilter(job(tmp));
            EXPECT_EQ(result.exitStatus, 0);
            EXPECT_EQ(result.err, "");
            EXPECT_EQ(result.out, plain.out);
            v.expectUntouched();
            EXPECT_TRUE(isPrivateRegularFile(tmp.file(name)));
            EXPECT_EQ(test::readFile(tmp.file("cvn_pcl2")), result.out.substr(5000));
        }
    }
}

TEST(PlantedFiles, VersionFileIsReplacedNotFollowed) {
    for (const auto& planted : plants) {
        SCOPED_TRACE(planted.kind);
        test::TempDir tmp;
        const victims v;
        planted.make(v, tmp.file("cvn_version"));
        test::FilterRun run;
        run.args = std::vector<std::string>{"too", "few"};
        run.env["TMPDIR"] = tmp.path();
        const auto result = test::runFilter(run);
        EXPECT_EQ(result.exitStatus, 1);
        v.expectUntouched();
        EXPECT_TRUE(isPrivateRegularFile(tmp.file("cvn_version")));
        EXPECT_EQ(test::readFile(tmp.file("cvn_version")), "Version = 1.0\n");
    }
    test::TempDir tmp;
    fs::create_directory(tmp.file("cvn_version"));
    test::FilterRun run;
    run.args = std::vector<std::string>{"too", "few"};
    run.env["TMPDIR"] = tmp.path();
    const auto result = test::runFilter(run);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err,
              "ERROR: Cannot write to a file the driver version.\n"
              "ERROR: Cannot execute Corvane filter.\nERROR: Cannot execute Corvane filter.\n");
}

TEST(PlantedFiles, MarkerIsOnlyLookedAt) {
    // A FIFO marker would block a filter that opened it; a link marker
    // counts when it leads somewhere, and its target is left alone.
    const std::vector<std::pair<plant, bool>> markers = {
        {plants[0], true}, {plants[2], true}, {plants[3], true}, {plants[4], false}};
    for (const auto& [planted, diagnosticsOn] : markers) {
        SCOPED_TRACE(planted.kind);
        test::TempDir tmp;
        const victims v;
        planted.make(v, tmp.file("cvn_log"));
        const auto result = test::runFilter(job(tmp));
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.err, "");
        v.expectUntouched();
        EXPECT_EQ(test::fileExists(tmp.file("cvn_pcl2")), diagnosticsOn);
    }
}

// Appends to the print copy go on only while the name still leads to the
// file the job created; whatever replaced it mid-job is left alone.
TEST(PlantedFiles, PrintCopySwappedDuringTheJobIsNotWritten) {
    const std::vector<std::uint8_t> bytes = {'P', 'C', 'L'};
    for (const auto& planted : plants) {
        SCOPED_TRACE(planted.kind);
        test::TempDir tmp;
        const victims v;
        test::writeFile(tmp.file("cvn_log"), "");
        const errorLog errors(-1);
        supportFunctions diagnostics(tmp.path(), errors);
        diagnostics.checkLogToDisk();
        diagnostics.copyToPrintFile(bytes);
        ASSERT_EQ(test::readFile(tmp.file("cvn_pcl2")), "PCL");

        fs::rename(tmp.file("cvn_pcl2"), tmp.file("moved"));
        planted.make(v, tmp.file("cvn_pcl2"));
        diagnostics.copyToPrintFile(bytes);
        v.expectUntouched();
        EXPECT_EQ(test::readFile(tmp.file("moved")), "PCL");
    }
}

}  // namespace
}  // namespace corvane
