// One print job from arguments to closing UEL: the order of the job and the
// page loop. Kept apart from main() so the whole job can also run in-process.
#pragma once

#include <span>
#include <string>

namespace corvane {

struct jobEndpoints {
    int rasterFd = 0;   // CUPS raster in
    int printerFd = 1;  // printer stream out
    int messageFd = 2;  // error and status lines; < 0 discards them
    std::string temporaryDirectory;  // where diagnostic files live
    bool statusLines = false;        // write INFO/PAGE/ATTR lines
};

// Runs the job for the filter arguments (program name first) and returns
// the exit status: 0 after a job, 1 for a wrong argument count or a printer
// that stopped taking the stream.
int runFilterJob(std::span<const char* const> arguments, const jobEndpoints& endpoints);

}  // namespace corvane
