#include <gtest/gtest.h>

#include "encoder/pjlCommands.h"
#include "support/bytes.h"
#include "support/capture.h"

namespace corvane {
namespace {

using test::pjlHeader;

std::string headerFor(const char* options) {
    test::capturedJob job;
    pjlCommands pjl(std::make_shared<const argumentStore>(options), job.diagnostics, job.output);
    pjl.createPJLCommands();
    return job.printed();
}

TEST(PjlHeader, WorkedExampleIs5211Bytes) {
    const std::string header =
        headerFor("com.apple.print.JobInfo.PMJobName=Report TonerDarkness=8");
    EXPECT_EQ(header.size(), 5211u);
    EXPECT_EQ(header, pjlHeader("Report", "@PJL SET DENSITY = 3\n@PJL SET ECONOMODE = OFF\n"));
}

TEST(PjlHeader, NoOptionsGivesSixLinesAndEmptyName) {
    EXPECT_EQ(headerFor(""), pjlHeader(""));
}

TEST(PjlHeader, TonerTable) {
    struct row {
        const char* value;
        const char* lines;
    };
    const row rows[] = {
        {"6", "@PJL SET DENSITY = 1\n@PJL SET ECONOMODE = OFF\n"},
        {"7", "@PJL SET DENSITY = 2\n@PJL SET ECONOMODE = OFF\n"},
        {"9", "@PJL SET DENSITY = 4\n@PJL SET ECONOMODE = OFF\n"},
        {"10", "@PJL SET DENSITY = 5\n@PJL SET ECONOMODE = OFF\n"},
        {"3", "@PJL SET DENSITY = 3\n@PJL SET ECONOMODE = ON\n"},
        {"06", "@PJL SET DENSITY = 06\n@PJL SET ECONOMODE = ON\n"},
        {"' 6'", "@PJL SET DENSITY =  6\n@PJL SET ECONOMODE = ON\n"},
        {"''", "@PJL SET DENSITY = \n@PJL SET ECONOMODE = ON\n"},
        {"PrinterS", ""},
        {"printers", "@PJL SET DENSITY = printers\n@PJL SET ECONOMODE = ON\n"},
    };
    for (const auto& [value, lines] : rows) {
        SCOPED_TRACE(value);
        EXPECT_EQ(headerFor((std::string("TonerDarkness=") + value).c_str()), pjlHeader("", lines));
    }
}

TEST(PjlHeader, JobNameGoesOutUnchangedInUtf8) {
    EXPECT_EQ(headerFor("com.apple.print.JobInfo.PMJobName='a\"b%s%d'"), pjlHeader("a\"b%s%d"));
    EXPECT_EQ(headerFor("com.apple.print.JobInfo.PMJobName=caf\xC3\xA9"),
              pjlHeader("caf\xE2\x88\x9A\xC2\xA9"));
    EXPECT_EQ(headerFor("com.apple.print.JobInfo.PMJobName=My<20>Job"), pjlHeader("My Job"));
    const std::string longName(5000, 'n');
    EXPECT_EQ(headerFor(("com.apple.print.JobInfo.PMJobName=" + longName).c_str()),
              pjlHeader(longName));
}

TEST(PjlTrailer, IsTheUelAlone) {
    test::capturedJob job;
    pjlCommands pjl(std::make_shared<const argumentStore>(""), job.diagnostics, job.output);
    pjl.createPJLCommands();
    job.printed();
    pjl.setGenericEndJob();
    EXPECT_EQ(job.printed(), std::string(test::uel));
}

}  // namespace
}  // namespace corvane
