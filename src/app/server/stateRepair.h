// Repairs PAPPL's saved state before it is loaded after a crash. PAPPL (1.3.1
// and 1.4.11) brings a job that was printing back as "processing" with no
// thread behind it (it can neither print nor be cancelled, and it holds up
// shutdown), and PAPPL 1.3.1 reads each queued job's saved attributes on top
// of the ones it makes itself, so job-id, job-uri and job-uuid appear twice.
// It also saves a job's name as sent: a line break in it splits the job's
// line, and what follows would be read as lines of the state.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace corvane {

struct interruptedJob {
    int printerId;
    int jobId;
};

// Marks every job saved as processing (or stopped) as aborted by the system,
// removes its document and attribute files, and drops the attributes PAPPL
// makes again on load from the queued jobs' attribute files; a job line's
// quoted values are kept on that line. Returns the jobs it aborted; a
// missing state file is no error.
std::vector<interruptedJob> repairSavedState(const std::string& statePath,
                                             const std::string& spoolDirectory, std::time_t now);

// Which printers are paused, kept in the state for both PAPPL releases (1.3
// keeps none, 1.4 its own): the printers in `stoppedIds` are saved stopped,
// every other one idle. A stop pauses every printer to hold its queue back;
// those are not in the list, so that they come back idle.
void savePrinterStates(const std::string& statePath, const std::vector<int>& stoppedIds);
// The printers the state saves as stopped.
std::vector<int> savedStoppedPrinters(const std::string& statePath);

}  // namespace corvane
