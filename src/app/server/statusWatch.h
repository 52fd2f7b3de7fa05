// Keeps each printer's printer-state-reasons, its panel text and its supplies
// in step with what the printer says, and puts Identify-Printer messages on
// its panel. One thread per printer (a slow or absent printer holds up only
// its own status):
// - during a job it reads the job's back channel four times a second;
// - while idle it asks INFO STATUS every 5 seconds (every minute once two
//   questions in a row went unanswered or the printer cannot be reached),
//   at once after a job, and the Printer MIB's supplies over SNMP every
//   minute (every 5 minutes while SNMP does not answer);
// - it never waits for a reply more than 2 seconds.
// Only socket:// and usb:// printers of the "corvane" driver are asked.
// PAPPL's printer-state-message is fixed ("Idle.", "Printing.",
// "Stopped."): the panel text goes on the printer's web page, and into the
// job's job-state-message while a job meets a condition.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <pappl/pappl.h>

#include "app/devices/backChannel.h"
#include "app/driver/driverContext.h"

namespace corvane {

class statusWatch final : public printerStatus {
public:
    explicit statusWatch(pappl_system_t* system);
    ~statusWatch();
    statusWatch(const statusWatch&) = delete;
    statusWatch& operator=(const statusWatch&) = delete;

    // A job's back channel, from the job's start to its end (then a status
    // question at once).
    void jobStarts(pappl_printer_t* printer, int jobId, std::shared_ptr<backChannel> channel) override;
    void jobEnds(pappl_printer_t* printer) override;
    // Puts the text on the printer's panel as soon as the printer is free,
    // and takes it off again 10 seconds later.
    void identify(pappl_printer_t* printer, const std::string& text) override;
    // A question soon, at most one each 2 seconds.
    void refresh(pappl_printer_t* printer) override;
    // True once the printer answered: a job then waits longer for its first reply.
    bool answers(pappl_printer_t* printer) override;

private:
    class printerWatch;
    static bool tick(pappl_system_t* system, void* watch);
    printerWatch& watchOf(int printerId);

    pappl_system_t* system;
    std::mutex mutex;
    std::map<int, std::unique_ptr<printerWatch>> watches;
};

}  // namespace corvane
