// Shows why a printer cannot be reached. PAPPL 1.3.1 stops the printer and
// retries the device every 5 seconds while a job waits, but says why only in
// the log. The monitor looks once a second: a printer stopped with a job in
// progress is waiting for its device, so it gets the "offline" state reason,
// a line of text on its web page, and the job a job-state-message such as
// "Cannot connect to 192.0.2.7:9100"; all of it goes when the device opens.
#pragma once

#include <map>
#include <string>

#include <pappl/pappl.h>

namespace corvane {

// What to tell the user about a device URI that does not open.
std::string unreachableDeviceText(const std::string& deviceUri);

class deviceMonitor {
public:
    explicit deviceMonitor(pappl_system_t* system);
    deviceMonitor(const deviceMonitor&) = delete;
    deviceMonitor& operator=(const deviceMonitor&) = delete;

private:
    static bool tick(pappl_system_t* system, void* monitor);
    void check(pappl_printer_t* printer);

    struct shownProblem {
        std::string label;  // the text on the printer's web page
        int jobId;          // the job told about it
    };
    // Printers now marked unreachable, by printer ID.
    std::map<int, shownProblem> shown;
};

}  // namespace corvane
