// The diagnostic mode, run through the built filter with a private TMPDIR:
// the argument log and the copy of the stream, and links, FIFOs and
// directories planted at the file names by another process sharing the
// directory: their targets stay as they were, each costs at most the error
// line of its file, and the job still prints.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>

#include "filter/errorLog.h"
#include "filter/supportFunctions.h"
#include "support/filterRunner.h"
#include "support/rasterWriter.h"

namespace corvane {
namespace {

using namespace test;
namespace fs = std::filesystem;

// A file and a directory outside the temporary directory that nothing may change.
struct victims {
    TempDir place;
    std::string file = place.file("victim");
    std::string directory = place.file("victimDir");
    victims() {
        writeFile(file, "keep me");
        fs::create_directory(directory);
    }
    void expectUntouched() const {
        EXPECT_EQ(readFile(file), "keep me");
        EXPECT_TRUE(fs::is_empty(directory));
        EXPECT_EQ(std::distance(fs::directory_iterator(place.path), {}), 2);
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
    {"dangling symlink", [](const victims& v, const std::string& p) { fs::create_symlink(v.place.file("absent"), p); }},
    {"directory", [](const victims&, const std::string& p) { fs::create_directory(p); }},
};

bool isPrivateRegularFile(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && (status.st_mode & 0777) == 0600 &&
           status.st_nlink == 1;
}

TEST(PlantedFiles, ReplacedNotFollowedAtEveryName) {
    const std::string refusal = "ERROR: Cannot execute Corvane filter.\n";
    // Each name with the line that a directory planted there costs.
    const std::vector<std::pair<std::string, std::string>> names = {
        {"cvn_args", "ERROR: Cannot write to a file the supplied arguments.\n"},
        {"cvn_pcl", "ERROR: Cannot write to a file the data to process.\n"},
        {"cvn_pcl2", "ERROR: Cannot write to a file the data to print.\n"},
        {"cvn_version", "ERROR: Cannot write to a file the driver version.\n"},  // written on a refused job
        {"cvn_log", ""},  // the marker: only looked at, never opened
    };
    auto jobIn = [](const TempDir& tmp, bool refused) {
        FilterRun run{.env = {{"TMPDIR", tmp.path}}};
        if (refused) run.args = std::vector<std::string>{"too", "few"};
        else run.input = writeRaster({{2, 2, 0, {{0, 0, 0, 0xFF, 0xFF, 0xFF}, {0, 0, 0}}}});
        return run;
    };
    const TempDir plainTmp;
    const auto plain = runFilter(jobIn(plainTmp, false));
    for (const auto& [name, blockedLine] : names) {
        const bool refused = name == "cvn_version", marker = name == "cvn_log";
        for (const auto& planted : plants) {
            SCOPED_TRACE(std::string(planted.kind) + " at " + name);
            const TempDir tmp;
            const victims v;
            if (!marker) writeFile(tmp.file("cvn_log"), "");
            planted.make(v, tmp.file(name));
            const auto result = runFilter(jobIn(tmp, refused));
            v.expectUntouched();
            const bool blocked = std::string(planted.kind) == "directory";
            EXPECT_EQ(result.exitStatus, refused ? 1 : 0);
            EXPECT_EQ(result.err, (blocked ? blockedLine : "") + (refused ? refusal + refusal : ""));
            EXPECT_TRUE(marker || blocked || isPrivateRegularFile(tmp.file(name)));
            EXPECT_TRUE(!refused || blocked || readFile(tmp.file(name)) == "Version = 1.0\n");
            if (refused) continue;
            EXPECT_EQ(result.out, plain.out);
            // A marker link counts when it leads somewhere.
            const bool diagnosticsOn = !marker || std::string(planted.kind) != "dangling symlink";
            EXPECT_EQ(fs::exists(fs::symlink_status(tmp.file("cvn_pcl2"))), diagnosticsOn);
            EXPECT_TRUE(!diagnosticsOn || (blocked && name == "cvn_pcl2") ||
                        readFile(tmp.file("cvn_pcl2")) == result.out.substr(5000));
        }
    }
}

// Appends to the print copy go on only while the name still leads to the
// file the job created; whatever replaced it mid-job is left alone.
TEST(PlantedFiles, PrintCopySwappedDuringTheJobIsNotWritten) {
    const std::vector<std::uint8_t> bytes = {'P', 'C', 'L'};
    for (const auto& planted : plants) {
        SCOPED_TRACE(planted.kind);
        const TempDir tmp;
        const victims v;
        writeFile(tmp.file("cvn_log"), "");
        const errorLog errors(-1);
        supportFunctions diagnostics(tmp.path, errors);
        diagnostics.checkLogToDisk();
        diagnostics.copyToPrintFile(bytes);
        ASSERT_EQ(readFile(tmp.file("cvn_pcl2")), "PCL");

        fs::rename(tmp.file("cvn_pcl2"), tmp.file("moved"));
        planted.make(v, tmp.file("cvn_pcl2"));
        diagnostics.copyToPrintFile(bytes);
        v.expectUntouched();
        EXPECT_EQ(readFile(tmp.file("moved")), "PCL");
    }
}

FilterResult printIn(const TempDir& tmp, const std::string& options) {
    const std::vector<std::uint8_t> black = {0, 0, 0, 0xFF, 0xFF, 0xFF};
    return runFilter({.options = options,
                      .input = writeRaster({{2, 3, 0, {black, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, black}}}),
                      .env = {{"TMPDIR", tmp.path}, {"DEVICE_URI", "socket://printer.example:9100"}}});
}

TEST(Diagnostics, MarkerKeepsTheArgumentsAndACopyOfTheStream) {
    TempDir tmp;
    EXPECT_EQ(printIn(tmp, "media=A4").exitStatus, 0);
    EXPECT_TRUE(fs::is_empty(tmp.path)) << "no marker, no files";

    writeFile(tmp.file("cvn_log"), "");
    const auto result = printIn(tmp, "media=A4 com.apple.print.JobInfo.PMJobName=Report");
    EXPECT_EQ(result.err, "");
    ASSERT_GT(result.out.size(), 5000u);
    // The copy of the stream and its mode are checked with the planted files.
    EXPECT_EQ(readFile(tmp.file("cvn_pcl")), "");
    EXPECT_FALSE(fs::exists(fs::symlink_status(tmp.file("cvn_version"))));

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

}  // namespace
}  // namespace corvane
