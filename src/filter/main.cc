// rastertocorvane: CUPS raster on standard input to a PJL / PCL 5 printer
// stream on standard output.
#include <csignal>
#include <span>

#include "filter/diagnosticDirectory.h"
#include "filter/filterJob.h"
#include "filter/jobControl.h"
#include "filter/statusReporter.h"

int main(int argc, char* argv[]) {
    corvane::cancelSignal::install();
    // A printer connection that closes shows up as a failed write, which
    // ends the job, instead of killing the filter mid-page.
    std::signal(SIGPIPE, SIG_IGN);

    corvane::jobEndpoints endpoints;
    endpoints.temporaryDirectory = corvane::temporaryDirectory();
    endpoints.statusLines = corvane::statusReporter::runByPrintSystem();
    return corvane::runFilterJob(
        std::span<const char* const>(argv, static_cast<std::size_t>(argc)), endpoints);
}
